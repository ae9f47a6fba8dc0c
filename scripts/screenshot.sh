#!/usr/bin/env bash
# Starts the program under Xvfb and saves a screenshot of its window.
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUTPUT_PNG] [-- ACTIONS_ENV]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
output="${2:-$root/docs/screenshot.png}"
mkdir -p "$(dirname "$output")"
export TEXTORIN_SCREENSHOT_OUTPUT="$output"
xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" bash -c '
  "$0" & app=$!
  for _ in $(seq 1 60); do
    sleep 0.5
    if xwininfo -root -tree 2>/dev/null | grep -q "\"Textorin\""; then break; fi
  done
  sleep 2
  id=$(xwininfo -root -tree | grep "\"Textorin\"" | head -1 | awk "{print \$1}")
  import -window "$id" "$TEXTORIN_SCREENSHOT_OUTPUT" 2>/dev/null || import -window root "$TEXTORIN_SCREENSHOT_OUTPUT"
  kill $app 2>/dev/null || true
  wait $app 2>/dev/null || true
' "$build/src/textorin"
echo "Saved $output"
