#!/usr/bin/env bash
# Builds textorin_<version>_<arch>.deb: a stripped Release build, installed under /usr.
# Usage: scripts/package.sh [OUTPUT_DIR]   (default: the checkout's folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${TEXTORIN_PACKAGE_BUILD_DIR:-$root/build-package}")"
output="$(realpath -m "${1:-$root}")"
"$root/scripts/setup.sh" --package
# Debian's hardening flags, as its own packages are built with them; from the
# checkout, which they map source paths from.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build"
mkdir -p "$output"
rm -rf "$build/cpack"
(cd "$build" && cpack -G DEB -B "$build/cpack" >/dev/null)
deb="$(find "$build/cpack" -maxdepth 1 -name 'textorin_*.deb' -print -quit)"
mv -f "$deb" "$output/"
echo "$output/$(basename "$deb")"
