#!/usr/bin/env bash
# The built program under openbox: screenshots of the toolbar in Edit and Prompt mode at 800, 1280
# and 1920 pixels and of the preview panel (left in the work folder to be looked at; the rectangles
# behind them are compared by the launch tests), then the panel closed with the window manager's
# close and the program started again: the panel stays closed.
#   toolbar_and_panel_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert openbox
fresh_work

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"

openbox >"$work/openbox.log" 2>&1 &
wm=$!
at_exit 'kill $wm 2>/dev/null || true'
window_manager() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -o '0x[0-9a-f]*'; }
await "openbox to take the screen" 30 window_manager
start_program
panel=$(timeout 60 xdotool search --sync --onlyvisible --name "^Preview" | head -1) ||
  fail "the preview panel did not open at the first start"
import -window "$panel" "$work/panel.png"

window_size() { xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
toolbar_shots() {
  local mode=$1 width
  for width in 800 1280 1920; do
    # The sync waits for the size asked for, which the window may not take in Prompt mode: five
    # seconds of it, and then the size it holds.
    timeout 5 xdotool windowsize --sync "$window" "$width" 700 || xdotool windowsize "$window" "$width" 700
    await_steady "the window to keep its new size ($width wide) for half a second" 30 0.5 window_size
    window_geometry
    # The bars alone: the script's caret below them may blink for ten seconds after a change.
    await_quiet "the menu bar and toolbar drawn at $width wide" 60 "drawn-$mode-$width" "${WIDTH}x110+${X}+${Y}"
    shot "whole-$mode-$width"
    # The menu bar and the toolbar: the top 110 pixels of the window.
    convert "$work/whole-$mode-$width.png" -crop "${WIDTH}x110+${X}+${Y}" +repage "$work/toolbar-$mode-$width.png"
  done
}
xdotool windowactivate --sync "$window"
toolbar_shots edit
window_geometry
cp "$work/whole-edit-1920.png" "$work/edit.png"
xdotool key ctrl+Return
await_change "Ctrl+Return to enter Prompt mode" 60 edit "${WIDTH}x${HEIGHT}+${X}+${Y}"
toolbar_shots prompt
window_geometry
cp "$work/whole-prompt-1920.png" "$work/prompt.png"
xdotool key Escape
await_change "Esc to leave Prompt mode" 60 prompt "${WIDTH}x${HEIGHT}+${X}+${Y}"
echo "toolbar and panel screenshots in $work"

# The window manager's close of the panel (its title bar button does the same) is remembered.
xdotool windowactivate --sync "$panel" key alt+F4
panel_closed() { ! xdotool search --onlyvisible --name "^Preview" >/dev/null; }
within 30 panel_closed || true
xdotool search --onlyvisible --name "^Preview" >/dev/null && fail "the window manager's close left the panel open"
xdotool windowactivate --sync "$window" key ctrl+q
wait_for_exit
kill -0 $pid 2>/dev/null && fail "the program did not quit"

start_program
# The panel, when it opens, does so as the start finishes: once the window is drawn and at rest, a
# span as long as the one the first start had to show it in.
window_geometry
await_quiet "the script's window drawn and at rest after the restart" 60 restart "${WIDTH}x${HEIGHT}+${X}+${Y}"
sleep 3
if xdotool search --onlyvisible --name "^Preview" >/dev/null; then
  fail "the panel closed from its title bar opened again at the next start"
fi
echo "the panel closed by the window manager stays closed at the next start"
echo "passed"
EOF

run_session 2000x1200x24
