#!/usr/bin/env bash
# Installs, only when missing, every Debian package the three builds and the
# tests need, fetches Debian's source packages of bzip2 and pugixml into
# build/deps/src (the Windows builds compile what they use of them, see
# cmake/dependencies.cmake) and builds GoogleTest for both mingw toolchains
# from the sources libgtest-dev ships into build/deps/<toolchain>.
# Idempotent: a second run with everything present only checks.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/build/deps"

packages=(build-essential cmake ninja-build pkg-config dpkg-dev
  libbz2-dev libpugixml-dev libgtest-dev googletest bzip2
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
  wine wine64 xvfb x11-utils imagemagick clang libclang-rt-14-dev
  python3 time osslsigncode openssl lbzip2 python3-yaml python3-jsonschema)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

need_src=0
for pkg in bzip2 pugixml; do
  [ -n "$(find "$deps/src" -maxdepth 1 -type d -name "$pkg-*" 2>/dev/null | head -n 1)" ] || need_src=1
done

if [ "${#missing[@]}" -gt 0 ] || { [ "$need_src" -eq 1 ] && ! grep -rqs '^Types: deb deb-src\|^Types: deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; }; then
  # Source packages come from the same Debian mirror as the binaries.
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        | as_root tee /etc/apt/sources.list.d/tolvane-src.sources >/dev/null
    else
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
        | as_root tee /etc/apt/sources.list.d/tolvane-src.list >/dev/null
    fi
  fi
  echo "setup: apt-get update"
  as_root apt-get update -qq
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

mkdir -p "$deps/src"
fetch_source() { # package -> directory of the unpacked source
  local pkg=$1
  local dir
  dir=$(find "$deps/src" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$deps/src" && apt-get source -qq "$pkg" >/dev/null 2>&1) || { echo "setup: apt-get source $pkg failed" >&2; exit 1; }
    dir=$(find "$deps/src" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  fi
  echo "$dir"
}

build_gtest() { # toolchain
  local t=$1
  local out="$deps/$t"
  [ -f "$out/.done-googletest" ] && return
  cmake -S /usr/src/googletest -B "$out/build-googletest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$t.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$out" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$out/build-googletest" >/dev/null
  cmake --install "$out/build-googletest" >/dev/null
  touch "$out/.done-googletest"
}

fetch_source bzip2 >/dev/null
fetch_source pugixml >/dev/null
# GoogleTest is two files to compile per toolchain: both toolchains at
# once keep two cores busy.
pids=()
for t in x86_64-w64-mingw32 i686-w64-mingw32; do
  build_gtest "$t" &
  pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
[ "$failed" -eq 0 ] || { echo "setup: GoogleTest did not build for both mingw toolchains" >&2; exit 1; }
echo "setup: packages present; bzip2 and pugixml sources in $deps/src, GoogleTest built for both mingw toolchains in $deps"
