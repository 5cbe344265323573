#!/usr/bin/env bash
# The built program on a real X server with two equal monitors, started with no settings at all: the
# preview panel opens at the top of the operator monitor, and choosing "Second Screen" in its Output
# pop-up with the mouse and keys puts the talent window over the second monitor, shows the script
# there, names the output in the panel's title and is remembered in the settings file.
#   preview_second_screen.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
two_screen_x=$4

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require

rm -rf "$work"
mkdir -p "$work"
fresh_settings
# No settings at all: the program's own defaults.
rm -rf "$work/config"
mkdir -p "$work/config"
start_x 1920x1080 1920x1080
talent_x=1920
talent_width=1920
talent_area="1920x1080+1920+0"
start_orvane panel
panel=$(timeout 60 xdotool search --sync --onlyvisible --name "^Preview" | head -1 || true)
[ -n "$panel" ] || fail "the preview panel did not show within 60s of the start"
# The panel is placed once shown, maybe in more than one step; what the talent monitor shows, were it
# to show something, comes with the start too.
panel_geometry() { xdotool getwindowgeometry --shell "$panel" | tr '\n' ' '; }
await_steady "the preview panel to stay put for a second" 30 1 panel_geometry
await_quiet "the windows drawn and at rest" 60 start "3840x1080+0+0"
eval "$(xdotool getwindowgeometry --shell "$panel")"
panel_x=$X
panel_y=$Y
echo "panel at $panel_x,$panel_y ${WIDTH}x$HEIGHT, titled: $(xdotool getwindowname "$panel")"
if [ "$panel_y" -ne 0 ] || [ "$((panel_x + WIDTH))" -gt 1920 ]; then
  fail "the panel does not open at the top of the operator monitor"
fi
windows=$(talent_windows)
if [ -n "$windows" ]; then
  fail "something shows on the talent monitor before the second screen is chosen: $windows"
fi

# The Output pop-up sits in the panel's display section, 453 points from its top (below the section
# titles), right of its label.
closed=$(popup_windows)
xdotool mousemove "$((panel_x + 220))" "$((panel_y + 453))" click 1
within 30 menu_opened "$closed" || echo "(no pop-up list showed)"
shot popup
xdotool key Down Return
within 60 covers "1920 0 1920 1080" || true
within 30 shot_passes chosen lit_passes "$talent_area" ">" 5 || true
windows=$(talent_windows)
echo "windows on the talent monitor: ${windows:-none}"
if [ "$windows" != "1920 0 1920 1080" ]; then
  fail "choosing the second screen did not cover the talent monitor (see $work/popup.png)"
fi
lit_talent=$(lit chosen "$talent_area")
echo "talent monitor lit: $lit_talent"
if ! awk -v l="$lit_talent" 'BEGIN { exit !(l > 5) }'; then
  fail "the talent monitor shows no script"
fi
within 30 test "$(xdotool getwindowname "$panel")" = "Preview (Second Screen)" || true
title=$(xdotool getwindowname "$panel")
echo "panel title: $title"
if [ "$title" != "Preview (Second Screen)" ]; then
  fail "the panel's title does not name the second screen"
fi
quit_orvane
if ! grep -A1 "<key>screenMode</key>" "$work/config/Orvane/Orvane.plist" | grep -q "<integer>1</integer>"; then
  fail "the choice of the second screen was not saved"
fi
echo "passed"
