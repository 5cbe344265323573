#!/usr/bin/env bash
# After an upgrade, on a real X server: What's New shows this release's note by itself, About shows
# the credits with the user's statistics, marking text while prompting flashes the prompter, and no
# offer to move the program appears. Screenshots stay in WORKDIR to be looked at.
#   about_notes_flash_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert
fresh_work

# The settings an earlier build (900) left.
write_settings $'\t<key>appBuildNumber</key>\n\t<integer>900</integer>\n\t<key>highestLaunchedAppBuildNumber</key>\n\t<integer>900</integer>'

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"

screen_area="1280x800+0+0"
start_program
notes=$(timeout 60 xdotool search --sync --onlyvisible --name "What's New" | head -1 || true)
[ -n "$notes" ] || fail "What's New did not show within 60s of the start after the upgrade"
# An alert at the start would show with the windows of the start: once they are drawn and at rest.
await_quiet "the script's window and What's New drawn and at rest" 60 whats_new "$screen_area"
shot whats_new
echo "What's New shown after the upgrade from build 900"
if xdotool search --onlyvisible --name '^Orvane$' >/dev/null 2>&1; then
  fail "an alert showed at the start"
fi
xdotool windowclose "$notes" 2>/dev/null || xdotool key --window "$notes" Escape

# Help > About Orvane, from the keyboard: the Help menu's last item.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
closed=$(popup_windows)
xdotool key alt+h
await_true "the Help menu to open" 30 menu_opened "$closed"
xdotool key Up Return
about=$(timeout 60 xdotool search --sync --onlyvisible --name "About Orvane" | head -1 || true)
[ -n "$about" ] || fail "Help > About Orvane showed no About window within 60s"
await_quiet "the About window drawn" 60 about "$screen_area"
shot about
echo "About shown"
xdotool windowclose "$about" 2>/dev/null || true
about_gone() { ! xwininfo -id "$about" 2>/dev/null | grep -q IsViewable; }
within 30 about_gone || true

# Prompting, then the mark hot key: the prompter flashes and fades.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
window_geometry
text_area="$((WIDTH - 80))x$((HEIGHT - 220))+$((X + 60))+$((Y + 120))"
await_quiet "the script's window drawn and at rest" 60 edit "$screen_area"
xdotool key ctrl+Return
await_change "Ctrl+Return to enter Prompt mode" 60 edit-2 "$screen_area"
await_quiet "Prompt mode at rest" 60 prompt "$text_area"
shot before_mark
# The flash lasts under half a second: shots are taken one after another from the key on, and the
# first that differs from before is the flash. A program that never flashes is given ten seconds.
flashed() { [ "$(changed before_mark "$1" "$text_area")" != "0" ]; }
xdotool key m
within 10 shot_passes flash flashed || true
await_quiet "the flash to fade" 30 after_mark "$text_area"
shot after_mark
echo "text area brightness: before $(lit before_mark "$text_area"), during the flash $(lit flash "$text_area"), after $(lit after_mark "$text_area")"
echo "pixels changed by the flash: $(changed before_mark flash "$text_area"), left after it: $(changed before_mark after_mark "$text_area")"
if [ "$(changed before_mark flash "$text_area")" = "0" ]; then
  fail "marking did not flash the prompter"
fi
echo "passed"
EOF

run_session 1280x800x24
