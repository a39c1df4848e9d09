#!/usr/bin/env bash
# Installs, only when missing, every Debian package the three builds and the
# tests need, then builds libbz2, pugixml and GoogleTest for both mingw
# toolchains from Debian's own sources into build/deps/<toolchain>.
# Idempotent: a second run with everything present only checks.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/build/deps"

packages=(build-essential cmake ninja-build pkg-config dpkg-dev
  libbz2-dev libpugixml-dev libgtest-dev googletest bzip2
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
  wine wine64 xvfb x11-utils imagemagick clang libclang-rt-14-dev
  python3 time osslsigncode openssl lbzip2)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

need_src=0
for lib in bzip2 pugixml; do
  for t in x86_64-w64-mingw32 i686-w64-mingw32; do
    [ -f "$deps/$t/.done-$lib" ] || need_src=1
  done
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

build_bzip2() { # toolchain
  local t=$1 src out
  out="$deps/$t"
  [ -f "$out/.done-bzip2" ] && return
  src=$(fetch_source bzip2)
  mkdir -p "$out/include" "$out/lib" "$out/obj-bzip2"
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    "$t-gcc" -O2 -D_FILE_OFFSET_BITS=64 -c "$src/$f.c" -o "$out/obj-bzip2/$f.o"
  done
  rm -f "$out/lib/libbz2.a"
  "$t-ar" rcs "$out/lib/libbz2.a" "$out"/obj-bzip2/*.o
  cp "$src/bzlib.h" "$out/include/"
  touch "$out/.done-bzip2"
}

build_cmake_lib() { # toolchain name srcdir extra-args...
  local t=$1 name=$2 src=$3; shift 3
  local out="$deps/$t"
  [ -f "$out/.done-$name" ] && return
  cmake -S "$src" -B "$out/build-$name" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$t.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$out" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  cmake --build "$out/build-$name" >/dev/null
  cmake --install "$out/build-$name" >/dev/null
  touch "$out/.done-$name"
}

for t in x86_64-w64-mingw32 i686-w64-mingw32; do
  build_bzip2 "$t"
  build_cmake_lib "$t" pugixml "$(fetch_source pugixml)"
  build_cmake_lib "$t" googletest /usr/src/googletest -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF
done
echo "setup: packages present; libbz2, pugixml and GoogleTest built for both mingw toolchains in $deps"
