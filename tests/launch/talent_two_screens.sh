#!/usr/bin/env bash
# The built program on a real X server with two monitors: with the second display chosen and the
# text mirrored, a borderless window covers exactly the talent monitor, shows the script mirrored and
# follows typing in the operator window; on a smaller talent monitor it covers that monitor and turns
# the text upside down when asked; with a talent monitor larger than the operator's it stays hidden.
#   talent_two_screens.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X
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
# A line of wide letters and three new lines typed at the script's start, and time to draw them.
type_at_start() {
  xdotool key --clearmodifiers ctrl+Home
  xdotool type --delay 30 "WWWWWWWWWWWWWWWW"
  xdotool key Return Return Return
  sleep 1.5
}
# The text mirrored for a beam-splitter.
mirrored=$(printf '\t<key>horizontallyFlipped</key>\n\t<true/>')

# Two equal monitors: the talent window covers the second exactly and shows the script mirrored.
fresh_settings "$mirrored"
start_x 1920x1080 1920x1080
talent_x=1920
talent_width=1920
talent_area="1920x1080+1920+0"
start_orvane equal
sleep 2
windows=$(talent_windows)
echo "windows on the talent monitor: ${windows:-none}"
if [ "$windows" != "1920 0 1920 1080" ]; then
  fail "the talent window does not cover exactly the talent monitor (1920,0 1920x1080)"
fi
xdotool windowfocus --sync "$operator"
sleep 1
shot before
echo "talent monitor lit: $(lit before "$talent_area")"
if ! awk -v l="$(lit before "$talent_area")" 'BEGIN { exit !(l > 5) }'; then
  fail "the talent monitor shows no script"
fi
# Mirrored left to right, the lines start at the right: more light in the right half than the left.
left=$(lit before "960x1080+1920+0")
right=$(lit before "960x1080+2880+0")
echo "talent halves lit: left $left, right $right"
if ! awk -v l="$left" -v r="$right" 'BEGIN { exit !(r > 2 * l) }'; then
  fail "the talent text is not mirrored"
fi

# Typing in the operator window reaches the talent monitor.
type_at_start
shot after
difference=$(changed before after "$talent_area")
echo "talent pixels changed by typing: $difference"
if [ "${difference%%.*}" -lt 500 ]; then
  fail "typing in the operator window did not reach the talent monitor"
fi
quit_orvane
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# A smaller talent monitor and the text upside down: the window covers it, and what is typed at the
# script's start shows at the bottom of the talent monitor, not at its top.
upside_down=$(printf '\t<key>verticallyFlipped</key>\n\t<true/>')
fresh_settings "$upside_down"
start_x 1920x1080 1280x800
talent_x=1920
talent_width=1280
start_orvane smaller
sleep 2
windows=$(talent_windows)
echo "windows on a smaller talent monitor: ${windows:-none}"
if [ "$windows" != "1920 0 1280 800" ]; then
  fail "the talent window does not cover exactly the smaller talent monitor (1920,0 1280x800)"
fi
xdotool windowfocus --sync "$operator"
sleep 1
shot upright
type_at_start
shot typed
top=$(changed upright typed "1280x400+1920+0")
bottom=$(changed upright typed "1280x400+1920+400")
echo "talent pixels changed by typing at the start: top half $top, bottom half $bottom"
if ! awk -v t="${top%%.*}" -v b="${bottom%%.*}" 'BEGIN { exit !(b > 500 && b > 2 * t) }'; then
  fail "the start of the script is not at the bottom of the upside-down talent monitor"
fi
quit_orvane
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# A talent monitor larger than the operator's: the window stays hidden.
fresh_settings "$mirrored"
start_x
talent_x=1280
talent_width=1920
start_orvane larger
sleep 2
windows=$(talent_windows)
echo "windows on a larger talent monitor: ${windows:-none}"
if [ -n "$windows" ]; then
  fail "the talent window shows on a talent monitor larger than the operator's"
fi
shot larger
echo "larger talent monitor lit: $(lit larger "1920x1080+1280+0")"
if ! awk -v l="$(lit larger "1920x1080+1280+0")" 'BEGIN { exit !(l < 1) }'; then
  fail "something is drawn on a talent monitor larger than the operator's"
fi
quit_orvane
echo "passed"
