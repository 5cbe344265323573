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
keywords() { grep -o '{\\keywords [^}]*}' "$work/Script.ovdocument/Content.rtfd/TXT.rtf" || true; }
keywords_are() { [ "$(keywords)" = "$1" ]; }
# saved_keywords EXPECTED: the keywords the script holds once saved, given up to thirty seconds to
# become EXPECTED (the save before held others), for the verdict to weigh.
saved_keywords() {
  xdotool key ctrl+s
  within 30 keywords_are "$1" || true
  keywords
}

start_program
window_geometry
xdotool windowfocus --sync "$window"
await_quiet "the script's window drawn and at rest" 60 start "${WIDTH}x${HEIGHT}+${X}+${Y}"

# File is the bar's first menu; Properties… is the third item from its end (before Settings… and Quit).
sheet_geometry() { xdotool getwindowgeometry --shell "$sheet" | tr '\n' ' '; }
open_properties() {
  local closed
  closed=$(popup_windows)
  xdotool mousemove $((X + 20)) $((Y + 10)) click 1
  await_true "the File menu to open" 30 menu_opened "$closed"
  xdotool key Up Up Up Return
  sheet=$(timeout 60 xdotool search --sync --onlyvisible --name "^Properties$" | head -1 || true)
  if [ -z "$sheet" ]; then
    fail "File > Properties… showed no sheet within 60s"
  fi
  # The sheet is placed over the window once shown, maybe in more than one step.
  await_steady "the Properties sheet to stay put for half a second" 30 0.5 sheet_geometry
  eval "$(xdotool getwindowgeometry --shell "$sheet" | sed 's/^/SHEET_/')"
  await_quiet "the Properties sheet drawn" 60 sheet-drawn "${SHEET_WIDTH}x${SHEET_HEIGHT}+${SHEET_X}+${SHEET_Y}"
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
sheet_gone() { ! xdotool search --onlyvisible --name "^Properties$" >/dev/null 2>&1; }
within 30 sheet_gone || true
if xdotool search --onlyvisible --name "^Properties$" >/dev/null 2>&1; then
  fail "OK did not close the sheet"
fi

set_keywords=$(saved_keywords '{\keywords news, weather, sport}')
echo "after OK the saved script holds: $set_keywords"
[ "$set_keywords" = '{\keywords news, weather, sport}' ] || { echo "FAIL: the keywords were not set"; exit 1; }
xdotool key ctrl+z
undone=$(saved_keywords '')
echo "after undo: ${undone:-no keywords}"
[ -z "$undone" ] || { echo "FAIL: undo left the keywords"; exit 1; }
xdotool key ctrl+shift+z
redone=$(saved_keywords "$set_keywords")
echo "after redo: $redone"
[ "$redone" = "$set_keywords" ] || { echo "FAIL: redo did not set them again"; exit 1; }

# Opened again, the sheet shows them as one comma-separated line, with the comma tooltip.
open_properties
tips=$(popup_windows)
xdotool mousemove $((SHEET_X + 259)) $((SHEET_Y + 235))
# Only for the screenshot left behind: the tooltip, once it shows.
within 30 menu_opened "$tips" || echo "(no tooltip showed over the keywords)"
shot sheet-again
xdotool key Escape
kill $pid
trap - EXIT
echo "passed"
EOF

run_session 1280x800x24
