#!/usr/bin/env bash
# The built program on a real X server with two equal monitors, tried as a new user would: an image
# added through Prompt > Blanking Options > Add Image… becomes the blanking image; blanking in Prompt
# mode shows it centred on the talent monitor, "Blanking is on" shows over the operator's script, the
# script comes back when blanking goes off, and after a restart with the talent output flipped the
# image shows mirrored.
#   blanking_two_screens.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X
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
talent_x=1920
talent_width=1920

# The talent monitor's colour at a point, as "R,G,B".
colour() { convert "$work/$1.png" -crop "1x1+$2+$3" -depth 8 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:; }
# Whether two colours are within 40 of each other in every channel.
near() {
  awk -v a="$1" -v b="$2" 'BEGIN { split(a, x, ","); split(b, y, ",");
    for (i = 1; i <= 3; i++) { d = x[i] - y[i]; if (d < -40 || d > 40) exit 1 } }'
}
expect_colour() {
  local got
  got=$(colour "$1" "$2" "$3")
  if ! near "$got" "$4"; then
    fail "$5 (at $2,$3: $got, expected $4)"
  fi
}
blue=0,80,255
orange=255,140,0
black=0,0,0
# blanked SHOT: the image's left half on the talent monitor's left, as blanking with it shows.
blanked() {
  local got
  got=$(colour "$1" 2600 540)
  echo "$got at 2600,540"
  near "$got" "$blue"
}
# mirrored_image SHOT: the image's right half on the talent monitor's left, as a flipped one shows.
mirrored_image() {
  local got
  got=$(colour "$1" 2600 540)
  echo "$got at 2600,540"
  near "$got" "$orange"
}
# unblanked SHOT: the script back on the talent monitor, the image gone.
unblanked() {
  local talent_lit at
  talent_lit=$(lit "$1" "1920x1080+1920+0")
  at=$(colour "$1" 2600 540)
  echo "talent monitor lit $talent_lit, $at at 2600,540"
  awk -v l="$talent_lit" 'BEGIN { exit !(l > 5) }' && ! near "$at" "$blue"
}
# The operator's monitor, where Prompt mode takes the whole screen below the toolbar.
operator_area="1920x1080+0+0"

# An 800 x 400 picture, blue on the left and orange on the right: centred on the 1920 x 1080 talent
# monitor it spans x 2480-3280 and y 340-740.
convert -size 400x400 xc:'#0050ff' -size 400x400 xc:'#ff8c00' +append "$work/logo.png"

fresh_settings
start_x 1920x1080 1920x1080
start_orvane first
await "the talent window to cover exactly the talent monitor (1920,0 1920x1080)" 60 covers "1920 0 1920 1080"
await_quiet "the operator's window drawn and at rest" 60 start "$operator_area"
eval "$(xdotool getwindowgeometry --shell "$operator")"
xdotool windowfocus --sync "$operator"

# Prompt is the bar's fourth menu; Blanking Options its last item, Add Image… the second item of
# that, reached along the submenu as a hand would.
closed=$(popup_windows)
xdotool mousemove $((X + 154)) $((Y + 7)) click 1
await_true "the Prompt menu to open" 30 menu_opened "$closed"
xdotool mousemove $((X + 215)) $((Y + 279))
await_true "Blanking Options to open its submenu" 30 menu_opened "$((closed + 1))"
# Along the item into the submenu and down, a hand's pace, so the submenu stays open on the way.
xdotool mousemove $((X + 380)) $((Y + 279))
sleep 0.3
xdotool mousemove $((X + 440)) $((Y + 303))
sleep 0.3
xdotool click 1
if ! dialog=$(timeout 60 xdotool search --sync --onlyvisible --name "Select images for Blanking" | head -1); then
  fail "Add Image… opened no file dialog asking for images"
fi
xdotool windowfocus --sync "$dialog" || true
xdotool type --delay 20 "$work/logo.png"
xdotool key Return
stored_image() { ls "$work/data/Orvane/Blanking Items" 2>/dev/null | grep '^Item .*\.png$'; }
await "the chosen image to be copied into the blanking items" 30 stored_image
echo "stored blanking items: $found"
await_true "the file dialog to close" 30 bash -c "! xwininfo -id $dialog 2>/dev/null | grep -q IsViewable"

# Prompt mode, blanking on: the image centred on black on the talent monitor, the notice over the
# operator's script. Without a window manager nobody hands the keyboard back to the window the dialog
# came from: a click into the script does, as a user would. Return closed the dialog, so Ctrl+Return
# right after proves the program does not take it for a held key.
xdotool mousemove $((X + 400)) $((Y + 300)) click 1
enter_prompt_mode first "$operator_area"
xdotool key --clearmodifiers b
await_shot "b to blank the talent monitor with the image" 60 blanked blanked
expect_colour blanked 2600 540 "$blue" "the left half of the image is not on the talent monitor's left"
expect_colour blanked 3150 540 "$orange" "the right half of the image is not on the talent monitor's right"
expect_colour blanked 2470 540 "$black" "the image is not centred: left of it is not black"
expect_colour blanked 3290 540 "$black" "the image is not centred: right of it is not black"
expect_colour blanked 2880 330 "$black" "the image is not centred: above it is not black"
expect_colour blanked 2880 750 "$black" "the image is not centred: below it is not black"
# The operator's prompter fills the first monitor below its toolbar; the notice sits at its top centre.
notice_area="240x36+840+66"
# The notice may be drawn a moment after the talent monitor turns: a shot with it lit, as blanked.
notice_shown() {
  local now before
  now=$(lit "$1" "$notice_area")
  before=$(lit first-prompt-2 "$notice_area")
  echo "operator's top centre lit $now, $before before blanking"
  awk -v a="$now" -v b="$before" 'BEGIN { exit !(a > b + 20) }'
}
within 30 shot_passes blanked notice_shown || true
echo "blanked: the image is centred on the talent monitor"

# Blanking off: the script is back.
xdotool key --clearmodifiers b
within 60 shot_passes unblanked unblanked || true
lit=$(lit unblanked "1920x1080+1920+0")
echo "talent monitor lit after blanking off: $lit"
if ! awk -v l="$lit" 'BEGIN { exit !(l > 5) }' || near "$(colour unblanked 2600 540)" "$blue"; then
  fail "the script did not come back when blanking went off"
fi
with_notice=$(lit blanked "$notice_area")
without_notice=$(lit unblanked "$notice_area")
echo "operator's top centre lit: $with_notice blanked, $without_notice not"
if ! awk -v a="$with_notice" -v b="$without_notice" 'BEGIN { exit !(a > b + 20) }'; then
  fail "no \"Blanking is on\" over the operator's script while blanked"
fi
xdotool key --clearmodifiers Escape
await_change "Esc to leave Prompt mode" 60 unblanked "$operator_area"
quit_orvane
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# Flipped left to right for a beam-splitter: after a restart the chosen image shows mirrored.
sed -i 's|</dict>|\t<key>horizontallyFlipped</key>\n\t<true/>\n</dict>|' "$work/config/Orvane/Orvane.plist"
start_x 1920x1080 1920x1080
start_orvane flipped
await "the talent window to cover exactly the talent monitor (1920,0 1920x1080)" 60 covers "1920 0 1920 1080"
xdotool windowfocus --sync "$operator" || true
enter_prompt_mode flipped "$operator_area"
xdotool key --clearmodifiers b
await_shot "b to blank the flipped talent monitor with the image" 60 mirrored mirrored_image
expect_colour mirrored 2600 540 "$orange" "the image is not mirrored on the flipped talent monitor"
expect_colour mirrored 3150 540 "$blue" "the image is not mirrored on the flipped talent monitor"
expect_colour mirrored 2470 540 "$black" "the mirrored image is not centred"
echo "flipped: the image shows mirrored"
xdotool key --clearmodifiers b
xdotool key --clearmodifiers Escape
await_change "Esc to leave Prompt mode" 60 mirrored "$operator_area"
quit_orvane
echo "passed"
