#!/usr/bin/env bash
# Installs what is missing, then configures and builds Textorin in build/.
# Usage: scripts/build.sh [--release [CMAKE_ARGUMENTS...]]
#   --release  builds as the package is built (scripts/package.sh): Release, Debian's
#              hardening flags, installed under /usr. Without it a folder configured
#              before keeps its configuration; a new one is RelWithDebInfo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TEXTORIN_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
arguments=()
if [[ ${1:-} == --release ]]; then
  shift
  source "$root/scripts/release_flags.sh"
  arguments=("${TEXTORIN_RELEASE_ARGUMENTS[@]}" "$@")
elif [[ -n ${CMAKE_BUILD_TYPE:-} || ! -f $build/CMakeCache.txt ]]; then
  arguments=(-DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}")
fi
cmake -S "$root" -B "$build" -G Ninja "${arguments[@]}" >/dev/null
cmake --build "$build"
