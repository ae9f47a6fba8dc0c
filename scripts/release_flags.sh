# Sourced: moves to the checkout and sets TEXTORIN_RELEASE_ARGUMENTS, the CMake arguments
# of the package's build, and release_build_is DIR, true when DIR was configured with
# them. Needs dpkg-dev.
# Debian's hardening flags, as its own packages are built with them; from the
# checkout, which they map source paths from.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
TEXTORIN_RELEASE_ARGUMENTS=(
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
  -DCMAKE_INSTALL_PREFIX=/usr)

release_build_is() {
  local cache="$1/CMakeCache.txt" argument name line
  [[ -f $cache ]] || return 1
  for argument in "${TEXTORIN_RELEASE_ARGUMENTS[@]}"; do
    name="${argument#-D}" name="${name%%=*}"
    line="$(grep -m1 "^$name:[A-Z]*=" "$cache")" || return 1
    [[ ${line#*=} == "${argument#*=}" ]] || return 1
  done
}
