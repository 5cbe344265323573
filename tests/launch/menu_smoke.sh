#!/usr/bin/env bash
# The built program on a real X server: its window shows a menu bar, and choosing File > New there
# with the mouse and the keyboard makes a new script. A second start naming a file hands it to the
# running program and ends. Prints how long the start and the hand-over took (figures, not checks).
#   menu_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert
fresh_work
cp -r "$script" "$work/Second.ovdocument"

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
now() { date +%s%N; }

begin=$(now)
start_program
echo "window of the script shown $(( ($(now) - begin) / 1000000 )) ms after the start"

window_geometry
xdotool windowfocus --sync "$window"
# The bar is a strip of the desktop's window colour along the top; the script's page at the bottom
# (below the toolbar) is black. Both are drawn a moment after the window shows.
bar_of() { convert "$work/$1.png" -crop "${WIDTH}x8+${X}+$((Y + 2))" -format '%[fx:mean*1000]' info:; }
page_of() { convert "$work/$1.png" -crop "$((WIDTH / 2))x8+${X}+$((Y + HEIGHT - 30))" -format '%[fx:mean*1000]' info:; }
bar_shows() { awk -v b="$(bar_of "$1")" -v p="$(page_of "$1")" 'BEGIN { exit !(b > p + 200) }'; }
within 60 shot_passes bar bar_shows || true
bar=$(bar_of bar)
page=$(page_of bar)
echo "brightness of the top strip $bar, of the page below $page"
if ! awk -v b="$bar" -v p="$page" 'BEGIN { exit !(b > p + 200) }'; then
  fail "no menu bar along the top of the window"
fi

# File is the bar's first menu; its first item is New.
closed=$(popup_windows)
xdotool mousemove $((X + 20)) $((Y + 10)) click 1
await_true "the File menu to open" 30 menu_opened "$closed"
# Up and Down choose the first item whether or not the menu opened with one chosen.
xdotool key Up Down Return
if ! timeout 60 xdotool search --sync --onlyvisible --name "Untitled" >/dev/null; then
  fail "File > New made no new window"
fi
echo "File > New opened an Untitled window"

begin=$(now)
status=0
"$orvane" "$work/Second.ovdocument" >"$work/second.log" 2>&1 || status=$?
echo "second start handed its file over and ended after $(( ($(now) - begin) / 1000000 )) ms (status $status)"
if ! timeout 60 xdotool search --sync --onlyvisible --name "Second" >/dev/null; then
  fail "the running program did not open the second start's file"
fi
if ! kill -0 $pid 2>/dev/null; then
  fail "the first program ended"
fi
kill $pid
trap - EXIT
echo "passed"
EOF

run_session 1280x800x24
