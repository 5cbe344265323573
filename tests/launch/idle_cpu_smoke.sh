#!/usr/bin/env bash
# The built program on a real X server: in Edit mode it draws and runs nothing by itself, before a
# Prompt session and after one. The processor time the program's threads ran over ten seconds of
# settled Edit mode is measured both times; a Prompt session that left a timer or an animation running
# used to cost a steady share of a core for as long as the program ran. The caret blinks for ten
# seconds after the last key and then stays lit, so neither figure carries a steady redraw.
# Paused in Prompt mode with nothing moving, the prompter's tick stops and only the elapsed time's
# second remains: measured too (0.07-0.09% of a core beside other work; the tick at the frame rate
# took 0.29-0.32%, so 0.2 fails at once if it runs again), and then, from that rest, a held Down,
# the wheel and Space must each still move the script.
#   idle_cpu_smoke.sh ORVANE SCRIPT WORKDIR [LIMIT_PERCENT [PAUSED_LIMIT_PERCENT]]
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
limit=${4:-0.5}
paused_limit=${5:-0.2}

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import compare
fresh_work

cat >"$work/session.sh" <<EOF
set -euo pipefail
work=\$1
orvane=\$2
source "\$3/smoke_common.bash"
limit=$limit
paused_limit=$paused_limit
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
# Two seconds of running, then paused: a session that ran and was paused, after which the toolbar's
# timer pulses until Edit mode returns.
sleep 2
xdotool key space
paused=$(idle_share "$paused_limit")
echo "Prompt mode paused: ${paused}% of a core"

# From that rest each kind of input moves the script: a held key through the ticks it wakes, the
# wheel, and Space, which starts it.
await_still "the paused script at rest" 30 rest "$below_toolbar"
xdotool keydown Down
await_change "a held Down to scroll the paused script" 30 rest-2 "$below_toolbar"
xdotool keyup Down
await_still "the script at rest after Down" 30 after-down "$below_toolbar"
xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))"
xdotool click 5
await_change "the wheel to scroll the paused script" 30 after-down-2 "$below_toolbar"
await_still "the script at rest after the wheel" 30 after-wheel "$below_toolbar"
xdotool key space
await_motion "Space to start the script again" 60 restarted "$below_toolbar"
xdotool key space
await_still "the script paused again" 30 paused "$below_toolbar"
xdotool key Escape
await_change "Esc to leave Prompt mode" 60 paused-2 "$whole"
after=$(idle_share "$limit")
echo "Edit mode after a Prompt session: ${after}% of a core"

xdotool key ctrl+q
wait_for_exit
trap - EXIT
below "$before" "$limit" ||
  fail "the idle program used ${before}% of a core in Edit mode before prompting (limit ${limit}%)"
below "$after" "$limit" ||
  fail "the idle program used ${after}% of a core in Edit mode after a Prompt session (limit ${limit}%)"
below "$paused" "$paused_limit" ||
  fail "the paused program used ${paused}% of a core in Prompt mode (limit ${paused_limit}%)"
echo "passed"
EOF

run_session 1280x800x24
