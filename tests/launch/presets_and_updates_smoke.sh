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
  closed=$(popup_windows)
  xdotool key alt+w
  await_true "the Window menu to open" 30 menu_opened "$closed"
  xdotool key Up Up Right
  await_true "the Resize Prompter submenu to open" 30 menu_opened "$((closed + 1))"
}
# choose_preset N: the Nth preset of the submenu (the list is sorted by width). The menus close as
# the preset is chosen, and the window takes its size in a step or two after that.
choose_preset() {
  open_presets
  for _ in $(seq $(($1 - 1))); do xdotool key Down; done
  xdotool key Return
  await_true "the menus to close on choosing preset $1" 30 popups_at_most "$closed"
  await_steady "the window to keep one size for a second after preset $1" 30 1 size_of
}
size_of() { xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }'; }

start_program
window_geometry
await_quiet "the script's window drawn and at rest" 60 start "${WIDTH}x${HEIGHT}+${X}+${Y}"
open_presets
# The last item of the submenu opens the editor.
xdotool key Up Return
editor=$(timeout 60 xdotool search --sync --onlyvisible --name "^Window Sizes$" | head -1) ||
  fail "the last item of Resize Prompter showed no Window Sizes editor within 60s"
xdotool windowfocus --sync "$editor"
# The table has the focus first; the width field follows, then the height field.
xdotool key Tab
xdotool type --delay 50 "1024"
xdotool key Tab
xdotool type --delay 50 "600"
xdotool key Return
# The new preset is kept in the settings as it is entered, which the restart below relies on.
within 30 grep -q '1024 × 600' "$work/config/Orvane/Orvane.plist" ||
  echo "(the new preset is not in the settings file yet)"
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
window_geometry
await_quiet "the script's window drawn and at rest after the restart" 60 restart "${WIDTH}x${HEIGHT}+${X}+${Y}"
choose_preset 3
choose_preset 4
read -r w3 h3 < <(size_of)
echo "after the restart: $w3 x $h3"
if [ "$w3" != 1024 ] || [ "$h3" != "$h2" ]; then
  fail "the preset was not kept for the next start"
fi

# The settings window's title is the pane's: its toolbar is tried from the left until Updates shows.
xdotool key ctrl+comma
settings=$(timeout 60 xdotool search --sync --onlyvisible --name "^General$" | head -1) ||
  fail "Ctrl+, showed no settings window named General within 60s"
await_quiet "the settings window drawn and at rest" 60 settings "1440x900+0+0"
eval "$(xdotool getwindowgeometry --shell "$settings")"
# A click that shows another pane renames the window; one on the pane shown, or beside the buttons,
# does not, and a moment without an answer says so.
settings_name() { xdotool getwindowname "$settings"; }
renamed() { [ "$(settings_name)" != "$1" ]; }
updates_shown() { xdotool search --onlyvisible --name "^Updates$" >/dev/null 2>&1; }
shown=
for x in $(seq 20 12 600); do
  before=$(settings_name)
  xdotool mousemove $((X + x)) $((Y + 20)) click 1
  within 0.5 renamed "$before" || true
  if updates_shown; then shown=1; break; fi
done
if [ -z "$shown" ] && within 10 updates_shown; then shown=1; fi
if [ -z "$shown" ]; then
  fail "the Updates pane could not be shown (the settings window is named $(settings_name))"
fi
# What the pane says on showing is drawn once it is at rest; a request it made would be logged by then.
await_quiet "the Updates pane drawn and at rest" 60 updates "1440x900+0+0"
if grep -q "not checking\|Unable to read the update feed" "$work/orvane.log"; then
  fail "a build without a feed address made an update request"
fi
kill $pid
trap - EXIT
echo "passed"
SESSION

run_session 1440x900x24
