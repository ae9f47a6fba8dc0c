#!/usr/bin/env bash
# Starts Textorin under Xvfb with a window manager, loads the sample sites and
# saves screenshots of the window, of a row's context menu (NAME-menu.png) and
# of the options dialog (NAME-options.png).
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
output="$(realpath -m "${2:-$root/docs/screenshot.png}")"
"$root/scripts/setup.sh" --screenshot
mkdir -p "$(dirname "$output")"
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
# The folder an ordinary user sees at the first start: their desktop.
mkdir -p "$config/Tavrine"
printf '[Textorin]\nDownload Location=/home/alex/Desktop\n' >"$config/Tavrine/Tavrine.ini"
export XDG_CONFIG_HOME="$config" TEXTORIN_SHOT="$output" TEXTORIN_BIN="$build/src/textorin"
# No offline notice in the picture, unless it is wanted.
[ -n "${TEXTORIN_SHOT_BOX:-}" ] || export TEXTORIN_NO_ONLINE_CHECK=1
xvfb-run -a -s "-screen 0 1100x800x24 -dpi 96" bash -c '
  set -u
  openbox >/dev/null 2>&1 & wm=$!
  "$TEXTORIN_BIN" >/dev/null 2>&1 & app=$!
  id=""
  for _ in $(seq 1 60); do
    sleep 0.5
    for candidate in $(xdotool search --name "^Textorin$" 2>/dev/null || true); do
      geometry=$(xdotool getwindowgeometry "$candidate" 2>/dev/null || true)
      if grep -q "Geometry: 536x377" <<<"$geometry"; then
        id=$candidate
      elif [ -n "${TEXTORIN_SHOT_BOX:-}" ] && ! grep -q "Geometry: 1x1" <<<"$geometry"; then
        # The offline notice comes before the window: keep a picture of it, then close it.
        import -window root "$TEXTORIN_SHOT_BOX" 2>/dev/null || true
        TEXTORIN_SHOT_BOX=""
        xdotool windowactivate --sync "$candidate" key Return 2>/dev/null || true
      elif ! grep -q "Geometry: 1x1" <<<"$geometry"; then
        xdotool windowactivate --sync "$candidate" key Return 2>/dev/null || true
      fi
    done
    [ -n "$id" ] && break
  done
  sleep 1
  # Press "Load Sample/Example Sites" (five tabs from the list) so the list shows rows.
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --delay 100 Tab Tab Tab Tab Tab space
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 70))+$((X - 20))+$((Y - 45))" "$TEXTORIN_SHOT"
  # A row'"'"'s context menu: a right-click on the first row.
  xdotool mousemove --window "$id" 120 36 click 3
  sleep 1
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 70))+$((X - 20))+$((Y - 45))" "${TEXTORIN_SHOT%.png}-menu.png"
  xdotool key Escape
  sleep 0.5
  # The options dialog (Ctrl+,).
  xdotool windowactivate --sync "$id" 2>/dev/null || true
  xdotool key ctrl+comma
  sleep 1.5
  options=$(xdotool search --name "^Options$" 2>/dev/null | tail -1 || true)
  if [ -n "$options" ]; then
    eval "$(xdotool getwindowgeometry --shell "$options")"
    import -window root -crop "$((WIDTH + 20))x$((HEIGHT + 50))+$((X - 10))+$((Y - 35))" "${TEXTORIN_SHOT%.png}-options.png"
  fi
  kill $app $wm 2>/dev/null || true
' 
echo "Saved $output and ${output%.png}-menu.png, ${output%.png}-options.png"
