#!/usr/bin/env bash
# Installs what is needed, builds as the package is built, and runs every test headless;
# the package's test packages this very build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TEXTORIN_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh" --test
"$root/scripts/build.sh" --release
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --no-tests=error -j "$(nproc)" "$@"
