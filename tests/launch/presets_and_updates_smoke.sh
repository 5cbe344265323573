#!/usr/bin/env bash
# The built program on a real X server: a window-size preset typed into the preset editor (opened
# from the Window menu's Resize Prompter submenu) resizes the window's prompter to exactly that
# size, and is still offered after a restart; the Updates pane says that update checks are not set
# up in a build without a feed address.
#   presets_and_updates_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool xwininfo import convert
fresh_work

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"

# The Window menu's Resize Prompter submenu: the menu opens on its first item, Up wraps to its
# last (Show Preview) and once more reaches the submenu, which opens on its first preset.
open_presets() {
  xdotool windowfocus --sync "$window"
  xdotool key alt+w
  sleep 0.6
  xdotool key Up Up Right
  sleep 0.6
}
# choose_preset N: the Nth preset of the submenu (the list is sorted by width).
choose_preset() {
  open_presets
  for _ in $(seq $(($1 - 1))); do xdotool key Down; done
  xdotool key Return
  sleep 1.2
}
size_of() { xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }'; }

start_program
sleep 1
open_presets
# The last item of the submenu opens the editor.
xdotool key Up Return
editor=$(timeout 10 xdotool search --sync --onlyvisible --name "^Window Sizes$" | head -1)
xdotool windowfocus --sync "$editor"
sleep 0.5
# The table has the focus first; the width field follows, then the height field.
xdotool key Tab
xdotool type --delay 50 "1024"
xdotool key Tab
xdotool type --delay 50 "600"
xdotool key Return
sleep 0.6
shot editor

# 1024 x 768 is the third preset, the new 1024 x 600 the fourth.
choose_preset 3
read -r w1 h1 < <(size_of)
choose_preset 4
read -r w2 h2 < <(size_of)
shot resized
echo "window after 1024 x 768: $w1 x $h1, after 1024 x 600: $w2 x $h2"
if [ "$w1" != 1024 ] || [ "$w2" != 1024 ] || [ $((h1 - h2)) != 168 ]; then
  fail "the preset did not give the prompter 1024 x 600"
fi
kill $pid
wait $pid 2>/dev/null || true

# A new start offers the preset still.
start_program
sleep 1
choose_preset 3
choose_preset 4
read -r w3 h3 < <(size_of)
echo "after the restart: $w3 x $h3"
if [ "$w3" != 1024 ] || [ "$h3" != "$h2" ]; then
  fail "the preset was not kept for the next start"
fi

# The settings window's title is the pane's: its toolbar is tried from the left until Updates shows.
xdotool key ctrl+comma
settings=$(timeout 10 xdotool search --sync --onlyvisible --name "^General$" | head -1)
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$settings")"
found=
for x in $(seq 20 12 600); do
  xdotool mousemove $((X + x)) $((Y + 20)) click 1
  sleep 0.15
  if xdotool search --onlyvisible --name "^Updates$" >/dev/null 2>&1; then found=1; break; fi
done
sleep 0.6
shot updates
if [ -z "$found" ]; then
  fail "the Updates pane could not be shown"
fi
if grep -q "not checking\|Unable to read the update feed" "$work/orvane.log"; then
  fail "a build without a feed address made an update request"
fi
kill $pid
trap - EXIT
echo "passed"
SESSION

run_session 1440x900x24
