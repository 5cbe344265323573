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
screen_area="1440x900+0+0"
start_program
xdotool windowfocus --sync "$window"
await_quiet "the script's window drawn and at rest" 60 start "$screen_area"

xdotool key ctrl+comma
settings=$(timeout 60 xdotool search --sync --onlyvisible --name "^General$" | head -1) ||
  fail "Ctrl+, showed no settings window named General within 60s"
await_quiet "the settings window drawn and at rest" 60 settings "$screen_area"
eval "$(xdotool getwindowgeometry --shell "$settings")"
# The pane buttons stand in a row at the top; the Controls one names the window after it. A click
# that shows another pane is answered before the next one is made, so that a slow answer does not
# let the row be walked past Controls; a click on the pane already shown changes nothing, and that
# is known once a moment has gone by without an answer.
settings_name() { xdotool getwindowname "$settings"; }
renamed() { [ "$(settings_name)" != "$1" ]; }
for dx in $(seq 20 25 400); do
  before=$(settings_name)
  xdotool mousemove --sync $((X + dx)) $((Y + 24)) click 1
  within 2 renamed "$before" || true
  [ "$(settings_name)" = "Controls" ] && break
done
if [ "$(settings_name)" != "Controls" ]; then
  fail "the Controls pane could not be shown (the settings window is named $(settings_name))"
fi
# Tab reaches the tab bar and then the Start field, which keeps the focus: Tab is no hot key.
xdotool windowfocus --sync "$settings"
xdotool key Tab Tab Tab
shot start-field
xdotool key k
# Written on the next turn of the event loop at the latest; quitting writes it for sure.
if ! within 30 grep -q "hotkeyToggleStart" "$work/config/Orvane/Orvane.plist"; then
  echo "(settings not yet written)"
fi
shot rebound
xdotool windowfocus --sync "$window"
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
await_quiet "the script's window drawn and at rest" 60 edit "$screen_area"
xdotool key ctrl+Return
await_change "Ctrl+Return to enter Prompt mode" 60 edit-2 "$screen_area"
await_quiet "Prompt mode at rest" 60 prompt "$screen_area"
# Space has nothing to show for itself now; Down, pressed after it, scrolls the script a step, and
# once that shows, Space has been handled too. The step eases out; then a second without motion, on
# purpose: Space must not have started the script.
xdotool key space
xdotool key Down
await_change "Down, pressed after Space, to scroll the script a step" 30 prompt-2 "$text_area"
pair_span=1 within 30 still_pair space "$text_area" || true
still=$(changed space-1 space-2 "$text_area")
echo "text pixels changed after Space: $still"
if [ "${still%%.*}" -ne 0 ]; then
  fail "Space still starts the prompter"
fi
xdotool key k
await_motion "K to start the prompter after the restart" 30 moving "$text_area"
echo "text pixels changed while running after K: $found"
xdotool key k
# Scrolling may ease out after a stop: what is asked is that it comes to rest.
await_still "the script to stop moving after the second K" 30 stopped "$text_area"
echo "text pixels changed after the second K: $found"
xdotool key Escape
await_change "Esc to leave Prompt mode" 60 stopped-2 "$screen_area"
xdotool key ctrl+q
wait_for_exit
trap - EXIT
echo "passed"
EOF

run_session 1440x900x24
