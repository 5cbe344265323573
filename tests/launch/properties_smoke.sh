#!/usr/bin/env bash
# The built program on a real X server: File > Properties… through the menu bar, keywords typed into
# the sheet with real keys, OK, then undo and redo, each seen in the saved script. Screenshots of the
# sheet are left in WORKDIR.
#   properties_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert
fresh_work

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"

# The keywords the saved script holds, as its text's document information.
saved_keywords() {
  xdotool key ctrl+s
  sleep 1
  grep -o '{\\keywords [^}]*}' "$work/Script.ovdocument/Content.rtfd/TXT.rtf" || true
}

start_program
window_geometry
xdotool windowfocus --sync "$window"
sleep 1

# File is the bar's first menu; Properties… is the third item from its end (before Settings… and Quit).
open_properties() {
  xdotool mousemove $((X + 20)) $((Y + 10)) click 1
  sleep 0.7
  xdotool key Up Up Up Return
  sheet=$(timeout 10 xdotool search --sync --onlyvisible --name "^Properties$" | head -1)
  if [ -z "$sheet" ]; then
    fail "File > Properties… showed no sheet"
  fi
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$sheet" | sed 's/^/SHEET_/')"
}
open_properties
shot sheet
# A double-click into the Keywords value edits it with its text selected; OK is clicked while the
# cell is still being edited.
xdotool mousemove $((SHEET_X + 259)) $((SHEET_Y + 235)) click --repeat 2 --delay 80 1
sleep 0.5
xdotool type --delay 30 " news ,, weather,sport "
sleep 0.3
shot typing
xdotool mousemove $((SHEET_X + SHEET_WIDTH - 223)) $((SHEET_Y + SHEET_HEIGHT - 24)) click 1
sleep 0.8
if xdotool search --onlyvisible --name "^Properties$" >/dev/null 2>&1; then
  fail "OK did not close the sheet"
fi

set_keywords=$(saved_keywords)
echo "after OK the saved script holds: $set_keywords"
[ "$set_keywords" = '{\keywords news, weather, sport}' ] || { echo "FAIL: the keywords were not set"; exit 1; }
xdotool key ctrl+z
undone=$(saved_keywords)
echo "after undo: ${undone:-no keywords}"
[ -z "$undone" ] || { echo "FAIL: undo left the keywords"; exit 1; }
xdotool key ctrl+shift+z
redone=$(saved_keywords)
echo "after redo: $redone"
[ "$redone" = "$set_keywords" ] || { echo "FAIL: redo did not set them again"; exit 1; }

# Opened again, the sheet shows them as one comma-separated line, with the comma tooltip.
open_properties
xdotool mousemove $((SHEET_X + 259)) $((SHEET_Y + 235))
sleep 1.5
shot sheet-again
xdotool key Escape
kill $pid
trap - EXIT
echo "passed"
EOF

run_session 1280x800x24
