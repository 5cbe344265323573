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
# A line of wide letters and three new lines typed at the script's start.
type_at_start() {
  xdotool key --clearmodifiers ctrl+Home
  xdotool type --delay 30 "WWWWWWWWWWWWWWWW"
  xdotool key Return Return Return
}
# covers GEOMETRY: the one talent window, once it stands exactly at "X Y WIDTH HEIGHT".
covers() { local windows; windows=$(talent_windows); [ "$windows" = "$1" ] && echo "$windows"; }
# The text mirrored for a beam-splitter.
mirrored=$(printf '\t<key>horizontallyFlipped</key>\n\t<true/>')

# Two equal monitors: the talent window covers the second exactly and shows the script mirrored.
fresh_settings "$mirrored"
start_x 1920x1080 1920x1080
talent_x=1920
talent_width=1920
talent_area="1920x1080+1920+0"
start_orvane equal
await "the talent window to cover exactly the talent monitor (1920,0 1920x1080)" 60 covers "1920 0 1920 1080"
xdotool windowfocus --sync "$operator"
# Mirrored left to right, the lines start at the right: more light in the right half than the left.
shows_mirrored() {
  local all left right
  all=$(lit "$1" "$talent_area")
  left=$(lit "$1" "960x1080+1920+0")
  right=$(lit "$1" "960x1080+2880+0")
  awk -v a="$all" -v l="$left" -v r="$right" 'BEGIN { exit !(a > 5 && r > 2 * l) }' &&
    echo "lit $all, left half $left, right half $right"
}
await_shot "the talent monitor to show the script mirrored" 30 before shows_mirrored
echo "talent monitor: $found"

# Typing in the operator window reaches the talent monitor.
cp "$work/before.png" "$work/after.png"
type_at_start
await_change "typing in the operator window to reach the talent monitor" 30 after "$talent_area"
echo "talent pixels changed by typing: $found"
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
await "the talent window to cover exactly the smaller talent monitor (1920,0 1280x800)" 60 covers "1920 0 1280 800"
xdotool windowfocus --sync "$operator"
await_still "the talent monitor drawn and at rest" 30 upright "1280x800+1920+0"
type_at_start
start_at_the_bottom() {
  local top bottom
  top=$(changed upright-2 "$1" "1280x400+1920+0")
  bottom=$(changed upright-2 "$1" "1280x400+1920+400")
  awk -v t="${top%%.*}" -v b="${bottom%%.*}" 'BEGIN { exit !(b > 500 && b > 2 * t) }' &&
    echo "top half $top, bottom half $bottom"
}
await_shot "what is typed at the script's start to show at the bottom of the upside-down talent monitor" \
  30 typed start_at_the_bottom
echo "talent pixels changed by typing at the start: $found"
quit_orvane
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# A talent monitor larger than the operator's: the window stays hidden.
fresh_settings "$mirrored"
start_x
talent_x=1280
talent_width=1920
start_orvane larger
# A talent window shows with the start, as it did on the other monitors: once the operator's window
# is drawn and at rest, and a span beside, it has stayed hidden.
await_quiet "the operator's window drawn and at rest" 60 larger-start "1280x800+0+0"
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
