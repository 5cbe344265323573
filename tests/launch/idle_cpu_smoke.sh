#!/usr/bin/env bash
# The built program on a real X server: in Edit mode it draws and runs nothing by itself, before a
# Prompt session and after one. The processor time the program's threads ran over ten seconds of
# settled Edit mode is measured both times; a Prompt session that left a timer or an animation running
# used to cost a steady share of a core for as long as the program ran. The caret blinks for ten
# seconds after the last key and then stays lit, so neither figure carries a steady redraw.
#   idle_cpu_smoke.sh ORVANE SCRIPT WORKDIR [LIMIT_PERCENT]
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
limit=${4:-0.5}

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import compare
fresh_work

cat >"$work/session.sh" <<EOF
set -euo pipefail
work=\$1
orvane=\$2
source "\$3/smoke_common.bash"
limit=$limit
EOF
cat >>"$work/session.sh" <<'EOF'
start_program
xdotool windowfocus --sync "$window"
before=$(idle_share "$limit")
echo "Edit mode before prompting: ${before}% of a core"

window_geometry
whole="${WIDTH}x${HEIGHT}+${X}+${Y}"
below_toolbar="$((WIDTH - 80))x$((HEIGHT - 220))+$((X + 60))+$((Y + 120))"
shot edit
xdotool key ctrl+Return
await_change "Ctrl+Return to enter Prompt mode" 60 edit "$whole"
await_quiet "Prompt mode at rest" 60 prompt "$whole"
xdotool key space
await_motion "Space to start the script" 60 running "$below_toolbar"
# Two seconds of running and one paused, on purpose: a session that ran and was paused hard, after
# which the toolbar's timer pulses until Edit mode returns.
sleep 2
xdotool key space
sleep 1
shot paused
xdotool key Escape
await_change "Esc to leave Prompt mode" 60 paused "$whole"
after=$(idle_share "$limit")
echo "Edit mode after a Prompt session: ${after}% of a core"

xdotool key ctrl+q
wait_for_exit
trap - EXIT
below "$before" "$limit" ||
  fail "the idle program used ${before}% of a core in Edit mode before prompting (limit ${limit}%)"
below "$after" "$limit" ||
  fail "the idle program used ${after}% of a core in Edit mode after a Prompt session (limit ${limit}%)"
echo "passed"
EOF

run_session 1280x800x24
