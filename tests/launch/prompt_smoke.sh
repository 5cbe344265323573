#!/usr/bin/env bash
# The built program on a real X server, driven as a person would: Ctrl+Return enters Prompt mode and
# shows the focus arrow, Space starts the script moving, a second Space stops it, Ctrl+Q quits.
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
mkdir -p "$work/config/Orvane"
cat >"$work/config/Orvane/Orvane.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>showPrompterControlsInEditMode</key>
	<false/>
</dict>
</plist>
PLIST

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

xdotool windowfocus --sync "$window"
sleep 1
shot edit
xdotool key ctrl+Return
sleep 1.5
shot prompt
echo "arrow strip blueness: edit $(blueness edit), prompt $(blueness prompt)"
if ! awk -v e="$(blueness edit)" -v p="$(blueness prompt)" 'BEGIN { exit !(p > e + 5) }'; then
  fail "no focus arrow appeared in Prompt mode"
fi

xdotool key space
sleep 1
shot moving1
sleep 1
shot moving2
moved=$(changed moving1 moving2 "$text_area")
echo "text pixels changed while running: $moved"
if [ "${moved%%.*}" -lt 500 ]; then
  fail "the script did not move after Space"
fi

xdotool key space
sleep 1
shot stopped1
sleep 1
shot stopped2
still=$(changed stopped1 stopped2 "$text_area")
echo "text pixels changed after the second Space: $still"
if [ "${still%%.*}" -ne 0 ]; then
  fail "the script kept moving after the second Space"
fi

xdotool key Escape
sleep 1

# The same toggle sent to the window by another program (XSendEvent) enters Prompt mode once and
# stays there; it used to flip the mode back and forth for as long as the program ran.
shot edit_again
xdotool key --window "$window" ctrl+Return
sleep 2
shot sent1
sleep 1
shot sent2
echo "arrow strip blueness after a sent toggle: $(blueness sent1) then $(blueness sent2)"
if ! awk -v e="$(blueness edit_again)" -v p="$(blueness sent1)" 'BEGIN { exit !(p > e + 5) }'; then
  fail "a sent Ctrl+Return did not enter Prompt mode"
fi
flips=$(changed sent1 sent2 "$below_toolbar")
if [ "${flips%%.*}" -ne 0 ]; then
  fail "the window kept changing after one sent toggle ($flips pixels)"
fi
xdotool key Escape
sleep 1
xdotool key ctrl+q
wait_for_exit
if kill -0 $pid 2>/dev/null; then
  fail "Ctrl+Q did not end the program"
fi
trap - EXIT
echo "passed"
EOF

run_session 1280x800x24
