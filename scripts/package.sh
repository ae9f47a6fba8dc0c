#!/usr/bin/env bash
# Builds textorin_<version>_<arch>.deb: a stripped Release build, installed under /usr.
# Usage: scripts/package.sh [OUTPUT_DIR]   (default: the checkout's folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TEXTORIN_PACKAGE_BUILD_DIR:-$root/build-package}"
output="$(realpath -m "${1:-$root}")"
"$root/scripts/setup.sh" --package
# Debian's hardening flags, as its own packages are built with them.
flags="$(cd "$root" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) \
$(cd "$root" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
links="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$links" \
  -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build"
mkdir -p "$output"
rm -rf "$build/cpack"
(cd "$build" && cpack -G DEB -B "$build/cpack" >/dev/null)
deb="$(find "$build/cpack" -maxdepth 1 -name 'textorin_*.deb' -print -quit)"
mv -f "$deb" "$output/"
echo "$output/$(basename "$deb")"
