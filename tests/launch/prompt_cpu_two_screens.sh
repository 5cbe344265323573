#!/usr/bin/env bash
# The built program prompting a long script on a real X server with two equal 1080p monitors, the
# talent window showing: the processor time it uses (user and system, from /proc/PID/stat) over ten
# seconds of prompting stays below LIMIT_PERCENT of one core, with the talent window checked as mapped
# before and after. Both views used to be drawn whole at every tick, a fifth of a core at any speed;
# a tick now copies what is drawn and draws only the lines that come into view and the scroller's
# knob.
#   prompt_cpu_two_screens.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X [LIMIT_PERCENT [FRAME_RATE_OPTION]]
# FRAME_RATE_OPTION is the Advanced pane's frame rate (1 the refresh rate, 2 half of it); without it
# the automatic rate of a first start.
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
two_screen_x=$4
# Prompting here takes 2.3-2.8% of a core on an eight-core machine running other work (6.5-6.7% while
# the overlay scroller was drawn again down its whole track at every tick), so 4.5 leaves a busy
# machine room and still fails at once if either view draws more than it must.
limit=${5:-4.5}
frame_rate_option=${6:-}

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require compare

rm -rf "$work"
mkdir -p "$work"
fresh_settings ${frame_rate_option:+"<key>frameRateOptionTag</key><integer>$frame_rate_option</integer>"}
# A megabyte of script, so that ten seconds of prompting never reach its end.
{
  printf '{\\rtf1\\ansi\\ansicpg1252{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n\\f0\\fs96 '
  yes 'Good evening. This is the long script, read line after line until the end of the evening.\par' |
    head -c $((1024 * 1024)) || true # yes ends on a broken pipe
  printf '}\n'
} >"$work/Script.ovdocument/Content.rtfd/TXT.rtf"

start_x 1920x1080 1920x1080
talent_x=1920
talent_width=1920
start_orvane prompt
await "the talent window to cover exactly the talent monitor (1920,0 1920x1080)" 60 covers "1920 0 1920 1080"
xdotool windowfocus --sync "$operator"
enter_prompt_mode prompt "1920x1080+0+0"
xdotool key --clearmodifiers space
await_motion "Space to start the talent window scrolling" 60 started "1920x1080+1920+0"
# Ten seconds of prompting once what starting it costs once is done: idle_share waits for the share
# to settle under the limit first, and measures twice when the first ten seconds are over it.
shot moving1
prompting=$(idle_share "$limit")
shot moving2
echo "prompting on two 1080p monitors: ${prompting}% of a core"
# The figure counts only with the talent window mapped all along: a talent window the program had
# unmapped would cost nothing to draw. It covers its monitor after the measurement as before it, and
# its pixels moved in between.
covers "1920 0 1920 1080" >/dev/null ||
  fail "the talent window no longer covers the talent monitor after the measurement (seen: $(talent_windows))"
moved=$(changed moving1 moving2 "1920x1080+1920+0")
echo "talent pixels changed while prompting: $moved"
if [ "${moved%%.*}" -lt 500 ]; then
  fail "the talent window did not scroll"
fi
xdotool key --clearmodifiers space
xdotool key --clearmodifiers Escape
quit_orvane
if ! awk -v s="$prompting" -v l="$limit" 'BEGIN { exit !(s < l) }'; then
  fail "prompting used ${prompting}% of a core (limit ${limit}%)"
fi
echo "passed"
