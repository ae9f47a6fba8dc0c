#!/usr/bin/env bash
# Installs what is needed, builds, and starts Textorin.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
exec "${TEXTORIN_BUILD_DIR:-$root/build}/src/textorin" "$@"
