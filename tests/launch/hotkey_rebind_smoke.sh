#!/usr/bin/env bash
# The built program on a real X server, driven as a person would: in the settings window's Controls
# pane the Start key is rebound to K with the keyboard; after a restart K starts and stops the script
# in Prompt mode and Space no longer does.
#   hotkey_rebind_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert compare
fresh_work

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
start_program
xdotool windowfocus --sync "$window"
sleep 1

xdotool key ctrl+comma
settings=$(timeout 10 xdotool search --sync --onlyvisible --name "^General$" | head -1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$settings")"
# The pane buttons stand in a row at the top; the Controls one names the window after it.
for dx in $(seq 20 25 400); do
  xdotool mousemove --sync $((X + dx)) $((Y + 24)) click 1
  sleep 0.3
  [ "$(xdotool getwindowname "$settings")" = "Controls" ] && break
done
if [ "$(xdotool getwindowname "$settings")" != "Controls" ]; then
  fail "the Controls pane could not be shown"
fi
# Tab reaches the tab bar and then the Start field, which keeps the focus: Tab is no hot key.
xdotool windowfocus --sync "$settings"
xdotool key Tab Tab Tab
sleep 0.3
shot start-field
xdotool key k
sleep 0.5
shot rebound
if ! grep -q "hotkeyToggleStart" "$work/config/Orvane/Orvane.plist" 2>/dev/null; then
  # Written on the next turn of the event loop at the latest; quitting writes it for sure.
  echo "(settings not yet written)"
fi
xdotool windowfocus --sync "$window"
sleep 0.5
xdotool key ctrl+q
wait_for_exit
if kill -0 $pid 2>/dev/null; then
  fail "Ctrl+Q did not end the program"
fi
if ! grep -A1 "hotkeyToggleStart" "$work/config/Orvane/Orvane.plist" | grep -q "<integer>75</integer>"; then
  echo "FAIL: K was not stored as the Start key"
  cat "$work/config/Orvane/Orvane.plist" || true
  exit 1
fi

start_program
window_geometry
text_area="$((WIDTH - 80))x$((HEIGHT - 220))+$((X + 60))+$((Y + 120))"
xdotool windowfocus --sync "$window"
sleep 1
xdotool key ctrl+Return
sleep 1.5
xdotool key space
sleep 1
shot space1
sleep 1
shot space2
still=$(changed space1 space2 "$text_area")
echo "text pixels changed after Space: $still"
if [ "${still%%.*}" -ne 0 ]; then
  fail "Space still starts the prompter"
fi
xdotool key k
sleep 1
shot moving1
sleep 1
shot moving2
moved=$(changed moving1 moving2 "$text_area")
echo "text pixels changed while running after K: $moved"
if [ "${moved%%.*}" -lt 500 ]; then
  fail "K did not start the prompter after the restart"
fi
xdotool key k
sleep 1
shot stopped1
sleep 1
shot stopped2
stopped=$(changed stopped1 stopped2 "$text_area")
echo "text pixels changed after the second K: $stopped"
if [ "${stopped%%.*}" -ne 0 ]; then
  fail "the script kept moving after the second K"
fi
xdotool key Escape
sleep 1
xdotool key ctrl+q
wait_for_exit
trap - EXIT
echo "passed"
EOF

run_session 1440x900x24
