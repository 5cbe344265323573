#!/usr/bin/env bash
# The built program on a real X server: the settings window opened with its key shows the default
# style's sample (white "Preview" on black) on the General pane; Center chosen there with the keys
# centres what is typed into a new script.
#   settings_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert
fresh_work

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
start_program
xdotool windowfocus --sync "$window"
sleep 1

xdotool key ctrl+comma
settings=$(timeout 10 xdotool search --sync --onlyvisible --name "^General$" | head -1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$settings")"
shot general
# The sample stands below the pane buttons at the pane's left: mostly black, with white letters.
sample=$(lit general "360x120+$((X + 30))+$((Y + 60))")
echo "sample lit $sample"
if ! awk -v s="$sample" 'BEGIN { exit !(s > 40 && s < 600) }'; then
  fail "the General pane shows no white-on-black sample"
fi

# The sample has the focus first; the alignment pop-up is three steps on, past Font and Color.
xdotool windowfocus --sync "$settings"
xdotool key Tab Tab Tab Down
sleep 0.8
shot centred-sample

xdotool windowfocus --sync "$window"
xdotool key ctrl+n
fresh=$(timeout 10 xdotool search --sync --onlyvisible --name "Untitled" | head -1)
xdotool windowfocus --sync "$fresh"
sleep 1
xdotool type --delay 60 "Hi"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$fresh")"
shot typed
left=$(lit typed "80x$((HEIGHT - 160))+$((X + 70))+$((Y + 120))")
middle=$(lit typed "120x$((HEIGHT - 160))+$((X + WIDTH / 2 - 60))+$((Y + 120))")
echo "typed line lit at the left $left, in the middle $middle"
if ! awk -v l="$left" -v m="$middle" 'BEGIN { exit !(l < 5 && m > 20) }'; then
  fail "the new script's line is not centred"
fi
kill $pid
trap - EXIT
echo "passed"
SESSION

run_session 1440x900x24
