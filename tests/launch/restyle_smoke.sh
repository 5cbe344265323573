#!/usr/bin/env bash
# The built program on a real X server: Format > Invert Colors, chosen with the mouse in the window's
# menu bar, turns the sample's black page white with dark text, and Ctrl+Z turns it black again.
#   restyle_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

for tool in xvfb-run Xvfb xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it as root)"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work/config" "$work/data" "$work/cache"
cp -r "$script" "$work/Script.ovdocument"

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=xcb

"$orvane" "$work/Script.ovdocument" >"$work/orvane.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --name "Script" | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool windowfocus --sync "$window"
sleep 1

# The mean brightness (0...1000) of a strip of the page near the window's bottom right, away from
# the preview panel.
page() {
  import -window root "$work/$1.png"
  convert "$work/$1.png" -crop "$((WIDTH / 3))x40+$((X + WIDTH / 2))+$((Y + HEIGHT - 60))" -format '%[fx:mean*1000]' info:
}
before=$(page before)

# Format is the bar's third menu; its items are the four size items, a separator, then Invert Colors.
xdotool mousemove $((X + 110)) $((Y + 10)) click 1
sleep 0.8
import -window root "$work/menu.png"
xdotool mousemove $((X + 150)) $((Y + 124)) click 1
sleep 0.8
inverted=$(page inverted)
xdotool key ctrl+z
sleep 0.8
undone=$(page undone)
echo "page brightness before $before, inverted $inverted, after undo $undone"
if ! awk -v b="$before" -v i="$inverted" -v u="$undone" 'BEGIN { exit !(b < 200 && i > 800 && u < 200) }'; then
  echo "FAIL: Invert Colors did not turn the black page white and back"
  exit 1
fi
kill $pid
trap - EXIT
echo "passed"
SESSION

xvfb-run -a -s "-screen 0 1440x900x24" bash "$work/session.sh" "$work" "$orvane"
