#!/usr/bin/env bash
# The built program under openbox: a right click on the script's selected first line shows the text
# menu where the pointer is; Invert Selection All Colors, chosen in it with the keys, turns the line
# dark on a light highlight, and Ctrl+Z turns it back. Then the Open dialog, opened with Ctrl+O
# while the preview panel floats at the first start, opens above the panel.
#   context_menu_and_dialog_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool xprop import convert openbox
fresh_work

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
fail() { echo "FAIL: $1"; exit 1; }
# await WHAT SECONDS COMMAND...: until the command succeeds, every tenth of a second, or a failure
# naming WHAT and what the command printed last.
await() {
  local what=$1 deadline=$((${EPOCHREALTIME/./} + $2 * 1000000)) seen=
  shift 2
  until seen=$("$@" 2>&1); do
    [ "${EPOCHREALTIME/./}" -lt "$deadline" ] || fail "waited for $what (last seen: $seen)"
    sleep 0.1
  done
}

openbox >"$work/openbox.log" 2>&1 &
wm=$!
at_exit 'kill $wm 2>/dev/null || true'
await "openbox to take the screen" 30 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 0x'
start_program
at_exit 'kill $pid 2>/dev/null || true'
[ -n "$window" ] || fail "the script's window did not open"
xdotool windowactivate --sync "$window"
window_geometry

# The brightness (0...1000) of the first line of text, or of the area just below and right of the
# pointer, where the menu opens.
line_area="560x30+$((X + 90))+$((Y + 75))"
line() { shot line; lit line "$line_area"; }
under_pointer() { shot pointer; lit pointer "150x80+$((X + 420))+$((Y + 125))"; }
brighter() { [ "$(awk -v v="$("$1")" -v t="$2" 'BEGIN { print (v > t) }')" = 1 ] && echo "$("$1")"; }
darker() { [ "$(awk -v v="$("$1")" -v t="$2" 'BEGIN { print (v < t) }')" = 1 ] && echo "$("$1")"; }

# The first line: white on the page's black; then selected with the keys.
xdotool key ctrl+Home
before=$(line)
menu_before=$(under_pointer)
xdotool key shift+End

xdotool mousemove $((X + 400)) $((Y + 105)) click 3
await "the text menu to open under the pointer (brightness there was $menu_before)" 30 brighter under_pointer 600
shot menu
# The menu's last items are Invert Selection All Colors, Apply Default Style to Selection and Set
# Selection as Default Style: the third from the end.
xdotool key Up Up Up Return
# Off the selection, whose colour would cover the line's own.
xdotool key Right
await "the inverted line to turn light (it was $before)" 30 brighter line 600
inverted=$(line)
shot inverted
xdotool key ctrl+z Right
await "Ctrl+Z to turn the line back (it was $before)" 30 darker line 400
echo "first line brightness before $before, inverted $inverted, after undo $(line)"

panel=$(xdotool search --onlyvisible --name "^Preview" | head -1) || fail "the preview panel is not open"
xdotool key ctrl+o
await "the Open dialog" 30 xdotool search --onlyvisible --name "^Open$"
dialog=$(xdotool search --onlyvisible --name "^Open$" | head -1)
# The window manager's stacking order, bottom to top, as decimal window numbers.
stacked() { xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*' | while read -r id; do echo $((id)); done; }
above_panel() {
  local order
  order=$(stacked | tr '\n' ' ')
  echo "stacking $order"
  [[ " $order" == *" $panel "*" $dialog "* || " $order" == *" $panel $dialog "* ]]
}
await "the Open dialog above the preview panel (panel $panel, dialog $dialog)" 30 above_panel
shot dialog
xdotool key Escape
kill $pid
echo "passed"
SESSION

run_session 1280x900x24
