#!/usr/bin/env bash
# The built program on a real X server prompts a long script at full speed under each overdraw
# setting; every screen grab of the operator window shows text from top to bottom, with no stripe
# left blank by text not yet drawn.
#   overdraw_smoke.sh ORVANE WORKDIR
# OVERDRAW_OPTIONS names the settings tried: automatic, none and the most unless set; "-1 0 1 2 3 4"
# tries them all.
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
work=$2

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert

for option in ${OVERDRAW_OPTIONS:--1 0 4}; do
  rm -rf "$work"
  mkdir -p "$work/config/Orvane" "$work/data" "$work/cache"
  # A script of 1,500 paragraphs of one line or two each: long enough that an hour of it is never
  # all drawn at once.
  for i in $(seq 1500); do
    echo "Paragraph $i of the long evening script, read aloud as it rolls past the line."
  done >"$work/Long Script.txt"
  write_settings "$(printf '\t<key>overdrawOptionTag</key>\n\t<integer>%s</integer>\n\t<key>showPrompterControlsInEditMode</key>\n\t<false/>' "$option")"

  cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=xcb
"$orvane" "$work/Long Script.txt" >"$work/orvane.log" 2>&1 &
pid=$!
at_exit 'kill $pid 2>/dev/null || true'
window=$(timeout 60 xdotool search --sync --onlyvisible --name "Long Script" | head -1) ||
  fail "the program showed no window named Long Script within 60s"
window_geometry
xdotool windowfocus --sync "$window"
await_still "the script's window drawn" 60 edit "${WIDTH}x${HEIGHT}+${X}+${Y}"
xdotool key ctrl+Return
await_change "Ctrl+Return to enter Prompt mode" 60 edit-2 "1440x900+0+0"
await_still "Prompt mode at rest below the toolbar" 60 prompt "1440x770+0+130"
window_geometry
xdotool key space
await_motion "Space to start the script moving" 60 start "${WIDTH}x$((HEIGHT - 200))+${X}+$((Y + 100))"
echo "pixels changed in half a second of prompting: $found"
blank=0
for grab in $(seq 12); do
  shot "grab$grab"
  # Rows of 130 pixels across the text, below the toolbar and above the window's bottom edge: more
  # than the gap between two lines, so each holds part of a line of white text. A band not drawn
  # would leave 256 pixels blank.
  for top in $(seq $((Y + 130)) 130 $((Y + HEIGHT - 230))); do
    lit=$(lit "grab$grab" "$((WIDTH - 200))x130+$((X + 100))+$top")
    if awk -v l="$lit" 'BEGIN { exit !(l < 2) }'; then
      echo "blank stripe at y $top in grab $grab (lit $lit)"
      blank=$((blank + 1))
    fi
  done
  sleep 0.25
done
if [ "$blank" -ne 0 ]; then
  fail "$blank blank stripes while prompting"
fi
# The next setting's start uses the same settings folder: while this program lives, that start
# would hand its script over to it and end without a window of its own.
kill $pid
wait $pid 2>/dev/null || true
trap - EXIT
echo "passed"
SESSION
  echo "overdraw option $option"
  run_session 1440x900x24
done
