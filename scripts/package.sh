#!/usr/bin/env bash
# Builds textorin_<version>_<arch>.deb: a stripped Release build, installed under /usr.
# Usage: scripts/package.sh [OUTPUT_DIR]   (default: the checkout's folder)
# A build folder (TEXTORIN_PACKAGE_BUILD_DIR) already configured as the package is
# built, such as scripts/test.sh's, is packaged as it is, with its tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${TEXTORIN_PACKAGE_BUILD_DIR:-$root/build-package}")"
output="$(realpath -m "${1:-$root}")"
"$root/scripts/setup.sh" --package
source "$root/scripts/release_flags.sh"
if release_build_is "$build"; then
  cmake --build "$build"
else
  TEXTORIN_BUILD_DIR="$build" "$root/scripts/build.sh" --release -DBUILD_TESTING=OFF
fi
mkdir -p "$output"
rm -rf "$build/cpack"
(cd "$build" && cpack -G DEB -B "$build/cpack" >/dev/null)
deb="$(find "$build/cpack" -maxdepth 1 -name 'textorin_*.deb' -print -quit)"
mv -f "$deb" "$output/"
echo "$output/$(basename "$deb")"
