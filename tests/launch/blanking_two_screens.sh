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

# An 800 x 400 picture, blue on the left and orange on the right: centred on the 1920 x 1080 talent
# monitor it spans x 2480-3280 and y 340-740.
convert -size 400x400 xc:'#0050ff' -size 400x400 xc:'#ff8c00' +append "$work/logo.png"

fresh_settings
start_x 1920x1080 1920x1080
start_orvane first
sleep 2
eval "$(xdotool getwindowgeometry --shell "$operator")"
xdotool windowfocus --sync "$operator"
sleep 0.5

# Prompt is the bar's fourth menu; Blanking Options its last item, Add Image… the second item of
# that, reached along the submenu as a hand would.
xdotool mousemove $((X + 154)) $((Y + 7)) click 1
sleep 0.7
xdotool mousemove $((X + 215)) $((Y + 279))
sleep 0.8
xdotool mousemove $((X + 380)) $((Y + 279))
sleep 0.3
xdotool mousemove $((X + 440)) $((Y + 303))
sleep 0.3
xdotool click 1
if ! dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "Select images for Blanking" | head -1); then
  fail "Add Image… opened no file dialog asking for images"
fi
xdotool windowfocus --sync "$dialog" || true
xdotool type --delay 20 "$work/logo.png"
xdotool key Return
sleep 1
stored=$(ls "$work/data/Orvane/Blanking Items" 2>/dev/null || true)
echo "stored blanking items: ${stored:-none}"
if ! grep -q '^Item .*\.png$' <<<"$stored"; then
  fail "the chosen image was not copied into the blanking items"
fi

# Prompt mode, blanking on: the image centred on black on the talent monitor, the notice over the
# operator's script. Without a window manager nobody hands the keyboard back to the window the dialog
# came from: a click into the script does, as a user would. Return closed the dialog, so Ctrl+Return
# right after proves the program does not take it for a held key.
xdotool mousemove $((X + 400)) $((Y + 300)) click 1
sleep 0.5
xdotool key --clearmodifiers ctrl+Return
sleep 2
xdotool key --clearmodifiers b
sleep 1.5
shot blanked
expect_colour blanked 2600 540 "$blue" "the left half of the image is not on the talent monitor's left"
expect_colour blanked 3150 540 "$orange" "the right half of the image is not on the talent monitor's right"
expect_colour blanked 2470 540 "$black" "the image is not centred: left of it is not black"
expect_colour blanked 3290 540 "$black" "the image is not centred: right of it is not black"
expect_colour blanked 2880 330 "$black" "the image is not centred: above it is not black"
expect_colour blanked 2880 750 "$black" "the image is not centred: below it is not black"
# The operator's prompter fills the first monitor below its toolbar; the notice sits at its top centre.
notice_area="240x36+840+66"
echo "blanked: the image is centred on the talent monitor"

# Blanking off: the script is back.
xdotool key --clearmodifiers b
sleep 1.5
shot unblanked
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
sleep 1
quit_orvane
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# Flipped left to right for a beam-splitter: after a restart the chosen image shows mirrored.
sed -i 's|</dict>|\t<key>horizontallyFlipped</key>\n\t<true/>\n</dict>|' "$work/config/Orvane/Orvane.plist"
start_x 1920x1080 1920x1080
start_orvane flipped
sleep 2
xdotool windowfocus --sync "$operator" || true
xdotool key --clearmodifiers ctrl+Return
sleep 2
xdotool key --clearmodifiers b
sleep 1.5
shot mirrored
expect_colour mirrored 2600 540 "$orange" "the image is not mirrored on the flipped talent monitor"
expect_colour mirrored 3150 540 "$blue" "the image is not mirrored on the flipped talent monitor"
expect_colour mirrored 2470 540 "$black" "the mirrored image is not centred"
echo "flipped: the image shows mirrored"
xdotool key --clearmodifiers b
xdotool key --clearmodifiers Escape
sleep 0.5
quit_orvane
echo "passed"
