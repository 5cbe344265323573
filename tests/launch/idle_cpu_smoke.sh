#!/usr/bin/env bash
# The built program on a real X server: in Edit mode it draws and runs nothing by itself, before a
# Prompt session and after one. The processor time the program's threads ran over ten seconds of
# Edit mode is measured both times; a Prompt session that left a timer or an animation running used
# to cost a steady share of a core for as long as the program ran. After a session the caret's
# blink still redraws twice a second, which measured in nanoseconds costs 0.7-1.1% of a core here
# (in clock ticks it had read as 0.1-0.6%), so that measurement has a limit of its own.
#   idle_cpu_smoke.sh ORVANE SCRIPT WORKDIR [LIMIT_PERCENT [AFTER_SESSION_LIMIT_PERCENT]]
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
limit=${4:-0.5}
after_limit=${5:-1.5}

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool
fresh_work

cat >"$work/session.sh" <<EOF
set -euo pipefail
work=\$1
orvane=\$2
source "\$3/smoke_common.bash"
limit=$limit
after_limit=$after_limit
EOF
cat >>"$work/session.sh" <<'EOF'
start_program
xdotool windowfocus --sync "$window"
# Let the start settle: layout of the script runs in the background for a moment.
sleep 3
before=$(cpu_share 10)
echo "Edit mode before prompting: ${before}% of a core"

xdotool key ctrl+Return
sleep 1.5
xdotool key space
sleep 2
# Paused hard: the toolbar's timer pulses from here until Edit mode returns.
xdotool key space
sleep 1
xdotool key Escape
sleep 2
after=$(cpu_share 10)
echo "Edit mode after a Prompt session: ${after}% of a core"

xdotool key ctrl+q
wait_for_exit
trap - EXIT
within_limit() { awk -v s="$1" -v l="$2" 'BEGIN { exit !(s < l) }'; }
within_limit "$before" "$limit" ||
  fail "the idle program used ${before}% of a core in Edit mode before prompting (limit ${limit}%)"
within_limit "$after" "$after_limit" ||
  fail "the idle program used ${after}% of a core in Edit mode after a Prompt session (limit ${after_limit}%)"
echo "passed"
EOF

run_session 1280x800x24
