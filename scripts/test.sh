#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test headless.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TEXTORIN_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh" --test
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --no-tests=error -j "$(nproc)" "$@"
