#!/usr/bin/env bash
# Installs what is missing, then configures and builds Textorin in build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TEXTORIN_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build"
