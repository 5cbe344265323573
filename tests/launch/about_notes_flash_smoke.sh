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

start_program
notes=$(timeout 15 xdotool search --sync --onlyvisible --name "What's New" | head -1)
sleep 1
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
about=$(timeout 10 xdotool search --sync --onlyvisible --name "About Orvane" | head -1)
sleep 1
shot about
echo "About shown"
xdotool windowclose "$about" 2>/dev/null || true

# Prompting, then the mark hot key: the prompter flashes and fades.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
sleep 0.5
window_geometry
text_area="$((WIDTH - 80))x$((HEIGHT - 220))+$((X + 60))+$((Y + 120))"
xdotool key ctrl+Return
sleep 1.5
shot before_mark
xdotool key m
sleep 0.05
shot flash
sleep 1
shot after_mark
echo "text area brightness: before $(lit before_mark "$text_area"), during the flash $(lit flash "$text_area"), after $(lit after_mark "$text_area")"
echo "pixels changed by the flash: $(changed before_mark flash "$text_area"), left after it: $(changed before_mark after_mark "$text_area")"
if [ "$(changed before_mark flash "$text_area")" = "0" ]; then
  fail "marking did not flash the prompter"
fi
echo "passed"
EOF

run_session 1280x800x24
