#!/usr/bin/env bash
# The built program under openbox on one screen, by the keyboard: a window locked by Window > Lock
# Window Resizing takes the whole screen in full-screen Prompt mode and comes back locked at its own
# size; Window > Zoom and eighteen new windows keep every title bar on the screen.
#   locked_window_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools or openbox cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool xwininfo xprop import openbox
fresh_work
# Full-screen prompting, as the Prompt settings pane's first choice sets it.
write_settings $'\t<key>useWindowedPrompting</key>\n\t<false/>'

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
fail() { echo "FAIL: $1"; shot failed || true; exit 1; }
# await WHAT SECONDS COMMAND...: until COMMAND prints something, or a failure naming WHAT.
await() {
  local what=$1 seconds=$2 deadline=$((${EPOCHREALTIME/./} + $2 * 1000000)) found= last=
  shift 2
  while :; do
    if found=$("$@" 2>/dev/null) && [ -n "$found" ]; then
      return 0
    fi
    [ "${EPOCHREALTIME/./}" -ge "$deadline" ] && fail "waited ${seconds}s for $what${last:+ (last seen: $last)}"
    last=$(describe "${window:-}" 2>/dev/null || true)
    sleep 0.1
  done
}
# geometry WINDOW: the client area's x y width height on the screen.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}
# title_top WINDOW: where the window manager's frame begins above the client area.
title_top() {
  local top
  top=$(xprop -id "$1" _NET_FRAME_EXTENTS | awk -F'[=,]' '{ print $4 + 0 }')
  read -r _ y _ _ <<<"$(geometry "$1")"
  echo $((y - top))
}
describe() { [ -n "$1" ] && echo "$(geometry "$1"), frame top $(title_top "$1")"; }
is_size() { read -r _ _ w h <<<"$(geometry "$window")"; [ "$w" -eq "$1" ] && [ "$h" -eq "$2" ] && echo yes; }
fills_screen() {
  read -r x y w h <<<"$(geometry "$window")"
  [ "$x" -le 0 ] && [ "$y" -le 0 ] && [ "$w" -ge 1280 ] && [ "$((y + h))" -ge 900 ] && echo yes
}
pinned() {
  read -r _ _ w h <<<"$(geometry "$window")"
  xprop -id "$window" WM_NORMAL_HINTS | grep -q "minimum size: $w by $h" &&
    xprop -id "$window" WM_NORMAL_HINTS | grep -q "maximum size: $w by $h" && echo yes
}
on_screen() {
  read -r x y w h <<<"$(geometry "$1")"
  [ "$(title_top "$1")" -ge 0 ] && [ "$x" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 900 ] && echo yes
}
program_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
# window_menu DOWNS: Alt+W, then DOWNS times down to an item, then Return.
window_menu() {
  local before i
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  # The window manager hands the keyboard over after it marks the window active: keys sent before
  # then go to the window that had it.
  await "the script window to take the keyboard" 30 bash -c "[ \"\$(xdotool getwindowfocus)\" = $window ] && echo yes"
  before=$(program_windows)
  xdotool key --clearmodifiers alt+w
  await "the Window menu to open" 30 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -gt $before ] && echo open"
  # The menu takes the keyboard a moment after it maps.
  sleep 0.3
  # A menu opened by its key sometimes has its first item highlighted already: Up then Down lands
  # on the first item either way, and the rest count from there.
  xdotool key --delay 60 Up Down
  for i in $(seq $(($1 - 1))); do xdotool key --delay 60 Down; done
  xdotool key --delay 60 Return
}

openbox >"$work/openbox.log" 2>&1 &
wm=$!
await "openbox to take the screen" 30 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -o '0x[0-9a-f]*'"
start_program
at_exit 'kill $pid 2>/dev/null || true; kill $wm 2>/dev/null || true'
[ -n "$window" ] || fail "the script window did not show"
await "openbox to frame the window" 30 bash -c "xprop -id $window _NET_FRAME_EXTENTS | grep -q = && echo framed"

# 1. A smaller window, locked.
xdotool windowsize --sync "$window" 700 500 2>/dev/null || xdotool windowsize "$window" 700 500
await "the window to take 700 x 500" 30 is_size 700 500
window_menu 4
await "the lock to reach the window manager" 30 pinned
shot locked

# 2. Full-screen Prompt mode: the whole screen, not 700 x 500 in a corner.
xdotool key ctrl+Return
await "the locked window to fill the screen while prompting" 30 fills_screen
shot prompting
echo "prompting: $(describe "$window")"

# 3. Back in Edit mode at its own size, still locked.
xdotool key Escape
await "the window to come back at 700 x 500" 30 is_size 700 500
await "the lock to hold after prompting" 30 pinned
shot edit_again

# 4. Unlocked, then Zoom: the title bar stays on the screen.
window_menu 4
await "the lock to be lifted" 30 bash -c "xprop -id $window WM_NORMAL_HINTS | grep -q 'maximum size: 700 by 500' || echo lifted"
window_menu 2
await "Zoom to make the window larger" 30 bash -c "read -r _ _ w _ <<<\"\$(xwininfo -id $window | awk '/Width:/ { print 0, 0, \$NF }')\"; [ \"\$w\" -gt 700 ] && echo zoomed"
await "the zoomed window and its title bar on the screen" 30 on_screen "$window"
shot zoomed
echo "zoomed: $(describe "$window")"

# 5. Eighteen new windows, more than one cascade fits on the screen,, each on the screen with its title bar.
for made in $(seq 18); do
  before=$(program_windows)
  # Typed into the newest window, as one after the other is made.
  xdotool key ctrl+n
  await "new window $made to show" 30 bash -c "[ \$(xdotool search --onlyvisible --pid $pid | wc -l) -gt $before ] && echo shown"
  newest=$(xdotool getactivewindow)
  await "openbox to frame new window $made" 30 bash -c "xprop -id $newest _NET_FRAME_EXTENTS | grep -q = && echo framed"
  window=$newest
  await "new window $made and its title bar on the screen" 30 on_screen "$newest"
  echo "new window $made: $(describe "$newest")"
done
shot cascade

# Twelve unsaved scripts would each ask on quitting; the geometry is what this test is about.
kill "$pid" 2>/dev/null || true
trap - EXIT
kill $wm 2>/dev/null || true
echo "passed"
EOF

run_session 1280x900x24
