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
operator_area="1920x1080+0+0"
start_orvane prompt
await "the talent window to cover exactly the talent monitor (1920,0 1920x1080)" 60 covers "1920 0 1920 1080"
echo "windows on the talent monitor: $found"
xdotool windowfocus --sync "$operator"

# Into Prompt mode and started: two ticks of the prompter 1.5 seconds apart differ on the talent
# monitor.
enter_prompt_mode prompt "$operator_area"
xdotool key --clearmodifiers space
pair_span=1.5 await_motion "the talent window to scroll with the operator" 30 tick "$talent_area"
echo "talent pixels changed between two ticks: $found"
operator_moved=$(changed tick-1 tick-2 "$operator_area")
echo "operator pixels changed between the same ticks: $operator_moved"

# Paused, the talent stands still with the operator.
# The prompter may ease to a stop: what is asked is that it comes to rest and stays there a second.
xdotool key --clearmodifiers space
paused_pair() { pair_moved "$1" "$2" -le 100; }
pair_span=1 await "the talent window to stand still while the prompter is paused" 30 paused_pair paused "$talent_area"
echo "talent pixels changed while paused: $found"
echo "talent monitor lit before blanking: $(lit paused-2 "$talent_area")"
if ! awk -v l="$(lit paused-2 "$talent_area")" 'BEGIN { exit !(l > 5) }'; then
  fail "the talent monitor shows no script"
fi

# Blanking (the B hot key) turns the talent monitor black; again brings the script back.
xdotool key --clearmodifiers b
within 30 shot_passes blanked lit_passes "$talent_area" "<" 0.5 || true
echo "talent monitor lit while blanked: $(lit blanked "$talent_area")"
if ! awk -v l="$(lit blanked "$talent_area")" 'BEGIN { exit !(l < 0.5) }'; then
  fail "blanking does not turn the talent monitor black"
fi
xdotool key --clearmodifiers b
within 30 shot_passes unblanked lit_passes "$talent_area" ">" 5 || true
echo "talent monitor lit after blanking: $(lit unblanked "$talent_area")"
if ! awk -v l="$(lit unblanked "$talent_area")" 'BEGIN { exit !(l > 5) }'; then
  fail "the script does not come back after blanking"
fi
xdotool key --clearmodifiers Escape
await_change "Esc to leave Prompt mode" 60 unblanked "$operator_area"
quit_orvane
echo "passed"
