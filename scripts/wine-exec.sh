#!/usr/bin/env bash
# Runs a Windows program of the win64 build under wine64 with the project's
# private prefix (build/wineprefix unless WINEPREFIX is set).
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
