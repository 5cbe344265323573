#!/usr/bin/env bash
# The built program on a real X server with the server's key auto-repeat on, as every X user has it:
# in Prompt mode, Down and Up held for three seconds scroll the script the whole time and stop when
# let go; Right and Left change the speed (the toolbar's slider and read-out) the whole time and
# stop when let go. The server repeats after 660 ms with a release and a press for each repeat.
#   held_keys_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool xset import convert compare
fresh_work
# The sample's paragraphs thirty times over, so three seconds of scrolling never reach the end.
rtf="$work/Script.ovdocument/Content.rtfd/TXT.rtf"
awk '/^\\f0/ { print; text = 1; next }
     text && /^}$/ { for (i = 0; i < 30; i++) printf "%s", body; print; next }
     text { body = body $0 "\n"; next }
     { print }' "$rtf" >"$rtf.long"
mv "$rtf.long" "$rtf"

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
xset r on
xset r rate 660 25
start_program
xdotool windowfocus --sync "$window"
window_geometry
await_still "the script's window drawn" 60 edit "${WIDTH}x${HEIGHT}+${X}+${Y}"
xdotool key ctrl+Return
await_change "Ctrl+Return to enter Prompt mode" 60 edit-2 "1280x800+0+0"
await_still "Prompt mode at rest below the toolbar" 60 prompt "1280x670+0+130"
window_geometry
# The text below the toolbar, and the toolbar's speed slider with its read-out (short of the timer,
# which changes by itself).
text_area="$((WIDTH - 80))x$((HEIGHT - 200))+$((X + 60))+$((Y + 100))"
speed_area="170x60+$((X + 50))+$((Y - 20))"

# hold KEY AREA: holds the key for three seconds with shots every half second, then lets it go; fails
# unless every half second of the hold changed the area and the area came to rest after the release.
# The half seconds of the hold are the measure itself: a key that stops acting while held shows as
# one of them without change.
hold() {
  local key=$1 area=$2 i
  xdotool keydown "$key"
  for i in 1 2 3 4 5 6; do
    sleep 0.5
    shot "$key-$i"
  done
  xdotool keyup "$key"
  # Scrolling eases out after the release, as long as a busy machine makes it take; a key that keeps
  # acting never comes to rest.
  within 30 still_pair "$key-released" "$area" || true
  for i in 1 2 3 4 5; do
    local moved
    moved=$(changed "$key-$i" "$key-$((i + 1))" "$area")
    echo "$key held, $((i * 5))..$(((i + 1) * 5)) tenths of a second: $moved pixels changed"
    if [ "${moved%%.*}" -eq 0 ]; then
      fail "$key stopped acting while it was still held"
    fi
  done
  local after
  after=$(changed "$key-released-1" "$key-released-2" "$area")
  echo "$key released: $after pixels changed"
  if [ "${after%%.*}" -ne 0 ]; then
    fail "$key kept acting after it was let go"
  fi
}

hold Down "$text_area"
hold Up "$text_area"
# Alt+9 runs backwards at 9, so three seconds of the faster key (5 a second) stay inside the slider.
xdotool key alt+9
sleep 0.5
hold Right "$speed_area"
hold Left "$speed_area"

xdotool key Escape
await_change "Esc to leave Prompt mode" 60 Left-released-2 "1280x800+0+0"
xdotool key ctrl+q
wait_for_exit
trap - EXIT
echo "passed"
EOF

run_session 1280x800x24
