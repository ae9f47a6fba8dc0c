#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Textorin.
# Works as root or, through sudo, as a normal user; does nothing when all is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  chromium
  xvfb xauth imagemagick fonts-liberation
  iputils-ping python3
)

case "${1:-}" in
  --bench) PACKAGES+=(lynx) ;;
  --screenshot) PACKAGES+=(openbox xdotool x11-utils) ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
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
