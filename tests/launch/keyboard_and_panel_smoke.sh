#!/usr/bin/env bash
# The built program on a real X server without a window manager, driven by the keyboard with the
# pointer away from its windows: the preview panel stays above the script's window after Prompt mode
# comes and goes, the keyboard stays with the script's window, and after the Open dialog is opened
# from the menu bar and cancelled, Ctrl+Return still enters Prompt mode.
#   keyboard_and_panel_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool xwininfo import convert compare
fresh_work
# Told so, the editor hides the prompter's arrow while editing, and the arrow tells the modes apart.
write_settings $'\t<key>showPrompterControlsInEditMode</key>\n\t<false/>'

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
start_program
panel=$(timeout 60 xdotool search --sync --onlyvisible --name "Preview" | head -1) ||
  fail "the preview panel did not show within 60s"
# The script's window under most of the panel, which opened last and lies above it.
xdotool windowmove --sync "$window" 640 120
eval "$(xdotool getwindowgeometry --shell "$panel")"
panel_area="$((WIDTH - 20))x$((HEIGHT - 20))+$((X + 10))+$((Y + 10))"
eval "$(xdotool getwindowgeometry --shell "$window")"
# Keys go to the window the pointer is over when nothing has the keyboard: the pointer stays away.
xdotool mousemove 5 880
xdotool windowfocus --sync "$window"

blueness() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  convert "$work/$1.png" -crop "48x${HEIGHT}+${X}+${Y}" -fx 'b-r' -format '%[fx:mean*1000]' info:
}
panel_changed() { compare -metric AE -fuzz 5% -crop "$panel_area" "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }
prompting() { awk -v e="$edit_blue" -v p="$(blueness "$1")" 'BEGIN { exit !(p > e + 5) }'; }
editing() { ! prompting "$1"; }
focused() { [ "$(xdotool getwindowfocus)" = "$window" ]; }
# The window and the panel drawn and at rest: two shots alike.
await_still "the windows to be drawn and at rest" 30 settled "1440x900+0+0"
cp "$work/settled-2.png" "$work/edit.png"
edit_blue=$(blueness edit)

# Prompt mode and back: the panel is hidden while prompting and shows above the script's window after.
xdotool key ctrl+Return
await_shot "Ctrl+Return to enter Prompt mode (the arrow's blue)" 30 prompt prompting
if ! focused; then
  fail "the keyboard left the script's window on entering Prompt mode (focus $(xdotool getwindowfocus))"
fi
xdotool key Escape
await_shot "Esc to leave Prompt mode" 30 edit_after_prompt editing
# The panel comes back once Edit mode is, and is drawn a moment later: the shot that matches.
panel_back() { [ "$(panel_changed edit "$1")" -le 2000 ]; }
within 30 shot_passes edit_after_prompt panel_back || true
covered=$(panel_changed edit edit_after_prompt)
echo "panel pixels changed by a Prompt-mode round trip: $covered"
if [ "${covered%%.*}" -gt 2000 ]; then
  fail "the preview panel is no longer above the script's window"
fi
if ! focused; then
  fail "the keyboard did not come back to the script's window (focus $(xdotool getwindowfocus))"
fi

# File > Open... from the menu bar by the keyboard, cancelled. The menu opens as one more window of
# the program's, which a busy machine may show a while after the key.
closed=$(popup_windows)
xdotool key alt+f
menu_open() { [ "$(popup_windows)" -gt "$closed" ] && echo "$(popup_windows) popups"; }
await "File menu to open after Alt+F" 30 menu_open
# Up and Down choose the first item whether or not the menu opened with one chosen; one more Down.
xdotool key --delay 60 Up Down Down Return
open_dialog() { xdotool search --onlyvisible --name "^Open$" | head -1; }
await "File > Open... to show its dialog" 60 open_dialog
dialog=$found
# Esc reaches the dialog once the keyboard has.
dialog_focused() { [ "$(xdotool getwindowfocus)" = "$dialog" ] && echo "$dialog"; }
await "the Open dialog to take the keyboard (focus $(xdotool getwindowfocus))" 30 dialog_focused
xdotool key Escape
no_open_dialog() { ! xdotool search --onlyvisible --name "^Open$" >/dev/null 2>&1; }
await_true "Esc to cancel the Open dialog" 30 no_open_dialog
xdotool key ctrl+Return
await_shot "Ctrl+Return to enter Prompt mode after the Open dialog was cancelled" 30 prompt_after_dialog prompting
xdotool key Escape
await_shot "Esc to leave Prompt mode after the dialog" 30 edit_after_dialog editing

xdotool key ctrl+q
wait_for_exit
if kill -0 $pid 2>/dev/null; then
  fail "Ctrl+Q did not end the program"
fi
trap - EXIT
echo "passed"
EOF

run_session 1440x900x24
