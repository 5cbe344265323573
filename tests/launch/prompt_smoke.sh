#!/usr/bin/env bash
# The built program on a real X server, driven as a person would: Ctrl+Return enters Prompt mode and
# shows the focus arrow and the recording light on the window's icon, Space starts the script moving,
# a second Space stops it, Escape brings the plain icon back, Ctrl+Q quits.
#   prompt_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert compare
fresh_work
# The editor shows the prompter's arrow while editing unless told otherwise; told so, the arrow tells
# the modes apart.
write_settings $'\t<key>showPrompterControlsInEditMode</key>\n\t<false/>'

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
start_program
window_geometry
# The text without the left edge, where the arrow sits, without the bottom, where a bar may be, and
# without the top, where the toolbar's timer keeps counting.
text_area="$((WIDTH - 80))x$((HEIGHT - 220))+$((X + 60))+$((Y + 120))"
arrow_strip="48x${HEIGHT}+${X}+${Y}"
# How blue the strip is: white text adds nothing, the arrow's blue does.
blueness() { convert "$work/$1.png" -crop "$arrow_strip" -fx 'b-r' -format '%[fx:mean*1000]' info:; }
# The window below its toolbar, whose timer field pulses while the prompter is paused hard.
below_toolbar="${WIDTH}x$((HEIGHT - 120))+${X}+$((Y + 120))"

# The red, green and blue of the window icon's pixel near its lower right corner, where Prompt mode
# puts its recording light, in the 128 x 128 picture of the icon (_NET_WM_ICON holds, for each size,
# the width, the height and then the ARGB pixels row by row); nothing while there is no such picture.
icon_corner() {
  xprop -id "$window" -notype -f _NET_WM_ICON 32c _NET_WM_ICON | sed 's/^[^=]*=//' | tr ',' '\n' |
    awk '{ v[n++] = $1 } END {
      for (p = 0; p + 1 < n; p += 2 + v[p] * v[p + 1]) {
        if (v[p] == 128 && v[p + 1] == 128) {
          c = v[p + 2 + 110 * 128 + 110]
          printf "%d %d %d", int(c / 65536) % 256, int(c / 256) % 256, c % 256
          exit
        }
      }
    }'
}
icon_plain() { local r g b; read -r r g b <<<"$(icon_corner)"; [ -n "$b" ] && [ "$b" -gt "$r" ] && echo "$r $g $b"; }
icon_lit() { local r g b; read -r r g b <<<"$(icon_corner)"; [ -n "$r" ] && [ "$r" -gt 150 ] && [ "$b" -lt 100 ] && echo "$r $g $b"; }

xdotool windowfocus --sync "$window"
await_still "the script's window drawn and at rest" 60 edit "$text_area"
await "the program's icon on its window" 30 icon_plain
echo "icon corner in Edit mode: $found"
edit_blue=$(blueness edit-2)
arrow_shown() { awk -v e="$edit_blue" -v p="$(blueness "$1")" 'BEGIN { exit !(p > e + 5) }'; }
arrow_gone() { ! arrow_shown "$1"; }

xdotool key ctrl+Return
await_shot "Ctrl+Return to show Prompt mode's focus arrow" 30 prompt arrow_shown
echo "arrow strip blueness: edit $edit_blue, prompt $(blueness prompt)"
await "the recording light on the window's icon in Prompt mode" 30 icon_lit
echo "icon corner in Prompt mode: $found"

xdotool key space
await_motion "Space to start the script moving" 30 moving "$text_area"
echo "text while running: $found"

xdotool key space
await_still "the second Space to stop the script" 30 stopped "$text_area"

xdotool key Escape
await_shot "Escape to return to Edit mode" 30 edit_again arrow_gone
await "the plain icon back in Edit mode" 30 icon_plain

# The same toggle sent to the window by another program (XSendEvent) enters Prompt mode once and
# stays there; it used to flip the mode back and forth for as long as the program ran.
xdotool key --window "$window" ctrl+Return
await_shot "a sent Ctrl+Return to enter Prompt mode" 30 sent arrow_shown
await_still "Prompt mode at rest after the sent toggle" 30 settled "$below_toolbar"
# Watched for a while longer, it stays in Prompt mode and nothing flips: a second on purpose.
sleep 1
shot sent2
flips=$(changed settled-2 sent2 "$below_toolbar")
echo "arrow strip blueness after a sent toggle: $(blueness sent) then $(blueness sent2)"
if ! arrow_shown sent2 || [ "${flips%%.*}" -ne 0 ]; then
  fail "the window kept changing after one sent toggle ($flips pixels)"
fi
xdotool key Escape
await_shot "Escape to leave Prompt mode" 30 edit_last arrow_gone
xdotool key ctrl+q
wait_for_exit
if kill -0 $pid 2>/dev/null; then
  fail "Ctrl+Q did not end the program"
fi
trap - EXIT
echo "passed"
EOF

run_session 1280x800x24
