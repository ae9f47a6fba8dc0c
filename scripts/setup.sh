#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Textorin.
# Works as root or, through sudo, as a normal user; does nothing when all is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  chromium-headless-shell
  xvfb xauth imagemagick fonts-liberation
  iputils-ping python3
  poppler-utils libnss3-tools
  libsqlite3-dev libdtl-dev
)

# The package's tools; the tests also validate what it installs.
PACKAGE_TOOLS=(dpkg-dev file)
TEST_TOOLS=("${PACKAGE_TOOLS[@]}" appstream desktop-file-utils man-db bash-completion)

case "${1:-}" in
  --package) PACKAGES+=("${PACKAGE_TOOLS[@]}") ;;
  --test) PACKAGES+=("${TEST_TOOLS[@]}") ;;
  # lynx, the full chromium the reference script runs, and the documentation bench/docs_bench.py reads: Sphinx (cmake-doc,
  # developers-reference, python-django-doc), Doxygen, gi-docgen, rustdoc and mdBook (cargo-doc, rust-doc), DocBook
  # (maint-guide, valgrind) and AsciiDoc (tig, ccache) pages; Python's manual for bench/speed_bench.py.
  --bench) PACKAGES+=(chromium lynx cmake-doc developers-reference python-django-doc libjsoncpp-doc libpango1.0-doc
                      cargo-doc rust-doc maint-guide valgrind tig ccache python3-doc) ;;
  --screenshot) PACKAGES+=(openbox xdotool x11-utils) ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# Node.js and npm install the page libraries; a machine with its own npm keeps it.
if ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi

install_page_libraries() {
  local root
  root="$(cd "$(dirname "$0")/.." && pwd)"
  # Installed once for each lock file.
  if cmp -s "$root/package-lock.json" "$root/node_modules/.textorin-lock" 2>/dev/null; then
    return
  fi
  if ! (cd "$root" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error); then
    echo "npm ci failed: the page libraries could not be installed" >&2
    exit 1
  fi
  cp "$root/package-lock.json" "$root/node_modules/.textorin-lock"
}

if ((${#missing[@]} == 0)); then
  install_page_libraries
  exit 0
fi

SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  SUDO=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_page_libraries
