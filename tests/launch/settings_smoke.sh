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
await_quiet "the script's window drawn and at rest" 60 start "1440x900+0+0"

xdotool key ctrl+comma
settings=$(timeout 60 xdotool search --sync --onlyvisible --name "^General$" | head -1 || true)
[ -n "$settings" ] || fail "Ctrl+, showed no settings window named General within 60s"
settings_geometry() { xdotool getwindowgeometry --shell "$settings" | tr '\n' ' '; }
await_steady "the settings window to stay put for half a second" 30 0.5 settings_geometry
eval "$(xdotool getwindowgeometry --shell "$settings")"
# The sample stands below the pane buttons at the pane's left: mostly black, with white letters.
sample_area="360x120+$((X + 30))+$((Y + 60))"
sample_shows() { awk -v s="$(lit "$1" "$sample_area")" 'BEGIN { exit !(s > 40 && s < 600) }'; }
within 60 shot_passes general sample_shows || true
sample=$(lit general "$sample_area")
echo "sample lit $sample"
if ! awk -v s="$sample" 'BEGIN { exit !(s > 40 && s < 600) }'; then
  fail "the General pane shows no white-on-black sample"
fi

# The sample has the focus first; the alignment pop-up is three steps on, past Font and Color.
xdotool windowfocus --sync "$settings"
xdotool key Tab Tab Tab Down
await_change "the alignment pop-up to centre the sample" 30 general "$sample_area"
shot centred-sample

xdotool windowfocus --sync "$window"
xdotool key ctrl+n
fresh=$(timeout 60 xdotool search --sync --onlyvisible --name "Untitled" | head -1 || true)
[ -n "$fresh" ] || fail "Ctrl+N showed no Untitled window within 60s"
xdotool windowfocus --sync "$fresh"
fresh_geometry() { xdotool getwindowgeometry --shell "$fresh" | tr '\n' ' '; }
await_steady "the new script's window to stay put for half a second" 30 0.5 fresh_geometry
eval "$(xdotool getwindowgeometry --shell "$fresh")"
await_quiet "the new script's window drawn" 60 fresh "${WIDTH}x${HEIGHT}+${X}+${Y}"
xdotool type --delay 60 "Hi"
left_area="80x$((HEIGHT - 160))+$((X + 70))+$((Y + 120))"
middle_area="120x$((HEIGHT - 160))+$((X + WIDTH / 2 - 60))+$((Y + 120))"
typed_shows() { awk -v m="$(lit "$1" "$middle_area")" -v l="$(lit "$1" "$left_area")" 'BEGIN { exit !(m > 20 || l >= 5) }'; }
within 30 shot_passes typed typed_shows || true
left=$(lit typed "$left_area")
middle=$(lit typed "$middle_area")
echo "typed line lit at the left $left, in the middle $middle"
if ! awk -v l="$left" -v m="$middle" 'BEGIN { exit !(l < 5 && m > 20) }'; then
  fail "the new script's line is not centred"
fi
kill $pid
trap - EXIT
echo "passed"
SESSION

run_session 1440x900x24
