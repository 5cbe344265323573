#!/usr/bin/env bash
# The built program on a real X server: Format > Invert Colors, chosen with the mouse in the window's
# menu bar, turns the sample's black page white with dark text, and Ctrl+Z turns it black again.
#   restyle_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert
fresh_work

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
start_program
window_geometry
xdotool windowfocus --sync "$window"
await_quiet "the script's window drawn and at rest" 60 start "${WIDTH}x${HEIGHT}+${X}+${Y}"

# The mean brightness (0...1000) of a strip of the page near the window's bottom right, away from
# the preview panel.
page() {
  shot "$1"
  convert "$work/$1.png" -crop "$((WIDTH / 3))x40+$((X + WIDTH / 2))+$((Y + HEIGHT - 60))" -format '%[fx:mean*1000]' info:
}
before=$(page before)
# page_passes TEST LEVEL SHOT: whether the strip's brightness in a new shot SHOT passes
# "[ BRIGHTNESS TEST LEVEL ]", for a page that is repainted a moment after the command.
page_passes() { awk -v p="$(page "$3")" -v l="$2" -v t="$1" 'BEGIN { exit !(t == ">" ? p > l : p < l) }'; }

# Format is the bar's third menu; its items are the four size items, a separator, then Invert Colors.
closed=$(popup_windows)
xdotool mousemove $((X + 110)) $((Y + 10)) click 1
await_true "the Format menu to open" 30 menu_opened "$closed"
import -window root "$work/menu.png"
xdotool mousemove $((X + 150)) $((Y + 124)) click 1
within 30 page_passes ">" 800 inverted || true
inverted=$(page inverted)
xdotool key ctrl+z
within 30 page_passes "<" 200 undone || true
undone=$(page undone)
echo "page brightness before $before, inverted $inverted, after undo $undone"
if ! awk -v b="$before" -v i="$inverted" -v u="$undone" 'BEGIN { exit !(b < 200 && i > 800 && u < 200) }'; then
  fail "Invert Colors did not turn the black page white and back"
fi
kill $pid
trap - EXIT
echo "passed"
SESSION

run_session 1440x900x24
