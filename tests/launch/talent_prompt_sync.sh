#!/usr/bin/env bash
# The built program on a real X server with two monitors, prompting: the talent window scrolls with
# the operator's while the prompter runs and stands still while it is paused, and blanking turns the
# talent monitor black and back.
#   talent_prompt_sync.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
two_screen_x=$4

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require compare

rm -rf "$work"
mkdir -p "$work"

# Two equal monitors: the talent window covers the second.
fresh_settings
start_x 1920x1080 1920x1080
talent_x=1920
talent_width=1920
talent_area="1920x1080+1920+0"
start_orvane prompt
sleep 2
windows=$(talent_windows)
echo "windows on the talent monitor: ${windows:-none}"
if [ "$windows" != "1920 0 1920 1080" ]; then
  fail "the talent window does not cover exactly the talent monitor (1920,0 1920x1080)"
fi
xdotool windowfocus --sync "$operator"
sleep 1

# Into Prompt mode and started: two ticks of the prompter a second apart differ on the talent monitor.
xdotool key --clearmodifiers ctrl+Return
sleep 1
xdotool key --clearmodifiers space
sleep 1
shot tick1
sleep 1.5
shot tick2
moved=$(changed tick1 tick2 "$talent_area")
echo "talent pixels changed between two ticks: $moved"
if [ "${moved%%.*}" -lt 500 ]; then
  fail "the talent window does not scroll with the operator"
fi
operator_moved=$(changed tick1 tick2 "1920x1080+0+0")
echo "operator pixels changed between the same ticks: $operator_moved"

# Paused, the talent stands still with the operator.
xdotool key --clearmodifiers space
sleep 1
shot paused1
sleep 1
shot paused2
still=$(changed paused1 paused2 "$talent_area")
echo "talent pixels changed while paused: $still"
if [ "${still%%.*}" -gt 100 ]; then
  fail "the talent window moves while the prompter is paused"
fi
echo "talent monitor lit before blanking: $(lit paused2 "$talent_area")"
if ! awk -v l="$(lit paused2 "$talent_area")" 'BEGIN { exit !(l > 5) }'; then
  fail "the talent monitor shows no script"
fi

# Blanking (the B hot key) turns the talent monitor black; again brings the script back.
xdotool key --clearmodifiers b
sleep 1
shot blanked
echo "talent monitor lit while blanked: $(lit blanked "$talent_area")"
if ! awk -v l="$(lit blanked "$talent_area")" 'BEGIN { exit !(l < 0.5) }'; then
  fail "blanking does not turn the talent monitor black"
fi
xdotool key --clearmodifiers b
sleep 1
shot unblanked
echo "talent monitor lit after blanking: $(lit unblanked "$talent_area")"
if ! awk -v l="$(lit unblanked "$talent_area")" 'BEGIN { exit !(l > 5) }'; then
  fail "the script does not come back after blanking"
fi
xdotool key --clearmodifiers Escape
sleep 0.5
quit_orvane
echo "passed"
