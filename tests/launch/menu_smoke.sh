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

for tool in xvfb-run Xvfb xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it as root)"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work/config" "$work/data" "$work/cache"
cp -r "$script" "$work/Script.ovdocument"
cp -r "$script" "$work/Second.ovdocument"

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=xcb
now() { date +%s%N; }

begin=$(now)
"$orvane" "$work/Script.ovdocument" >"$work/orvane.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --name "Script" | head -1)
echo "window of the script shown $(( ($(now) - begin) / 1000000 )) ms after the start"

eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool windowfocus --sync "$window"
sleep 1
# The bar is a strip of the desktop's window colour along the top; the script's page at the bottom
# (below the toolbar) is black.
import -window root "$work/bar.png"
bar=$(convert "$work/bar.png" -crop "${WIDTH}x8+${X}+$((Y + 2))" -format '%[fx:mean*1000]' info:)
page=$(convert "$work/bar.png" -crop "$((WIDTH / 2))x8+${X}+$((Y + HEIGHT - 30))" -format '%[fx:mean*1000]' info:)
echo "brightness of the top strip $bar, of the page below $page"
if ! awk -v b="$bar" -v p="$page" 'BEGIN { exit !(b > p + 200) }'; then
  echo "FAIL: no menu bar along the top of the window"
  exit 1
fi

# File is the bar's first menu; its first item is New.
xdotool mousemove $((X + 20)) $((Y + 10)) click 1
sleep 0.7
xdotool key Down Return
if ! timeout 10 xdotool search --sync --onlyvisible --name "Untitled" >/dev/null; then
  echo "FAIL: File > New made no new window"
  exit 1
fi
echo "File > New opened an Untitled window"

begin=$(now)
status=0
"$orvane" "$work/Second.ovdocument" >"$work/second.log" 2>&1 || status=$?
echo "second start handed its file over and ended after $(( ($(now) - begin) / 1000000 )) ms (status $status)"
if ! timeout 10 xdotool search --sync --onlyvisible --name "Second" >/dev/null; then
  echo "FAIL: the running program did not open the second start's file"
  exit 1
fi
if ! kill -0 $pid 2>/dev/null; then
  echo "FAIL: the first program ended"
  exit 1
fi
kill $pid
trap - EXIT
echo "passed"
EOF

xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/session.sh" "$work" "$orvane"
