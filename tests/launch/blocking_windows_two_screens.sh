#!/usr/bin/env bash
# The built program on a real X server with two monitors, prompting full screen as a new user would:
# a script opened and changed, Prompt mode entered with Ctrl+Return. A black blocking window covers
# the operator monitor around the prompter; a double click where the window's title bar is reaches
# the blocking window, not the title bar; Ctrl+Q then asks about the unsaved change in an alert
# shown above it all on the operator monitor; Esc answers it and Esc leaves Prompt mode, after which
# no blocking window or overlay is left on screen.
#   blocking_windows_two_screens.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X [openbox]
# With openbox, the same under that window manager. Exits 77 (skipped) only when the X server, its
# dummy driver, the X tools or the window manager cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
two_screen_x=$4
wm=${5:-}

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require xwininfo xprop
if [ -n "$wm" ]; then
  smoke_require "$wm"
fi

rm -rf "$work"
mkdir -p "$work"
wm_pid=
stop_everything() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  stop_all
}
at_exit stop_everything

# The operator monitor larger than the talent's: the operator window takes the talent output's size
# in the middle of the operator monitor, with the blocking window around it.
fresh_settings "$(printf '\t<key>useWindowedPrompting</key>\n\t<false/>')"
start_x 1920x1080 1280x800
operator_area="1920x1080+0+0"
if [ -n "$wm" ]; then
  "$wm" >"$work/$wm.log" 2>&1 &
  wm_pid=$!
  await_window_manager "$wm"
fi

# Viewable windows straight under the root (frames of managed windows, and windows no window
# manager handles), one per line: "ID X Y WIDTH HEIGHT OVERRIDE_REDIRECT".
viewable_windows() {
  local id info
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q "Map State: IsViewable" <<<"$info" || continue
    awk -v id="$id" '
      /Absolute upper-left X:/ {x=$NF} /Absolute upper-left Y:/ {y=$NF}
      /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} /Override Redirect State:/ {o=$NF}
      END {print id, x, y, w, h, o}' <<<"$info"
  done
}
# A window's own area on the screen, decorations left out: "X Y WIDTH HEIGHT".
client_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$NF} /Absolute upper-left Y:/ {y=$NF}
    /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}
# Viewable windows no window manager handles that lie on the operator monitor (a window manager
# keeps tiny ones of its own off screen).
operator_shields() { viewable_windows | awk '$6 == "yes" && $2 < 1920 && $2 + $4 > 0 && $3 + $5 > 0'; }

start_orvane "${wm:-bare}"
# A window the program would put over the operator monitor comes with its start: once that is drawn
# and at rest.
await_quiet "the operator window drawn and at rest" 60 start "$operator_area"
xdotool windowfocus --sync "$operator" || true
# An unsaved change, so that quitting asks.
xdotool key --clearmodifiers ctrl+End
xdotool type --delay 40 "x"
before=$(operator_shields)
echo "windows shielding the operator monitor in Edit mode: ${before:-none}"
if [ -n "$before" ]; then
  fail "a window covers the operator monitor before Prompt mode"
fi

xdotool key --clearmodifiers ctrl+Return
operator_covered() { operator_shields | awk '$2 == 0 && $3 == 0 && $4 == 1920 && $5 == 1080 {print $1}' | head -1; }
await "a window covering the operator monitor (0,0 1920x1080) in Prompt mode" 60 operator_covered
# Qt makes the window anew when its decorations change, and a window manager shows the new one only
# once it has taken it in, which may be well after the blocking window is up.
shown_operator() { xdotool search --onlyvisible --name "Script" | head -1; }
await "the operator window (named Script) to be shown again in Prompt mode" 60 shown_operator
operator=$found
echo "--- xwininfo -root -tree in Prompt mode"
xwininfo -root -tree | grep -E '0x[0-9a-f]+ ' | grep -E '1920x1080\+0\+0|"Script' || true
echo "windows shielding the operator monitor in Prompt mode: $(operator_shields)"
read -r window_x window_y window_width window_height <<<"$(client_geometry "$operator")"
echo "operator window in Prompt mode: $window_x,$window_y ${window_width}x$window_height"
# A window just shown is drawn a moment later.
prompter_drawn() {
  local lit_middle
  shot prompt
  lit_middle=$(lit prompt "200x200+$((window_x + window_width / 2 - 100))+$((window_y + window_height / 2 - 100))")
  echo "$lit_middle"
  awk -v m="$lit_middle" 'BEGIN { exit !(m > 2) }'
}
await "the prompter to be drawn above the blocking window" 60 prompter_drawn
middle=$found
left=$(lit prompt "$((window_x > 20 ? window_x - 10 : 10))x1080+0+0")
right=$(lit prompt "10x1080+$((window_x + window_width + 5))+0")
echo "lit: beside the window left $left, right $right; in the window $middle"
if ! awk -v l="$left" -v r="$right" 'BEGIN { exit !(l < 2 && r < 2) }'; then
  fail "the operator monitor around the prompter is not black"
fi

# A double click on the title bar's place would shade or maximise the window under a window manager.
title_x=$((window_x + window_width / 2))
title_y=$((window_y - 8))
xdotool mousemove --sync "$title_x" "$title_y"
eval "$(xdotool getmouselocation --shell)"
under=$(printf '0x%x' "$WINDOW")
echo "under the title bar's place ($title_x,$title_y): $under"
covered=
for id in $(operator_shields | awk '{print $1}'); do
  [ "$((id))" -eq "$WINDOW" ] && covered=yes
done
if [ -z "$covered" ]; then
  fail "the title bar's place is not covered by a blocking window"
fi
xdotool click --repeat 2 --delay 80 1
# Nothing is to happen, and nothing shows that a window manager has handled the clicks: a span for
# it to do so.
sleep 2
read -r X Y WIDTH HEIGHT <<<"$(client_geometry "$operator")"
echo "operator window after the clicks: $X,$Y ${WIDTH}x$HEIGHT"
if [ "$X,$Y,$WIDTH,$HEIGHT" != "$window_x,$window_y,$window_width,$window_height" ]; then
  fail "the clicks reached the window's title bar"
fi

# Quitting asks about the unsaved change: the alert shows above the prompter and its blocking window.
xdotool mousemove --sync "$((window_x + window_width / 2))" "$((window_y + window_height / 2))"
shown=$(viewable_windows | awk '{print $1}')
xdotool key --clearmodifiers ctrl+q
new_window() { viewable_windows | grep -v -F -w -f <(echo "$shown") | awk '$4 > 100 && $5 > 50' | tail -1; }
await "an alert asking about the unsaved change on quitting" 60 new_window
alert=$found
echo "alert window: $alert"
read -r _ alert_x alert_y alert_width alert_height _ <<<"$alert"
# The alert is drawn a moment after it shows.
alert_area="$((alert_width - 20))x$((alert_height - 20))+$((alert_x + 10))+$((alert_y + 10))"
within 30 shot_passes alert lit_passes "$alert_area" ">" 300 || true
alert_lit=$(lit alert "$alert_area")
echo "alert at $alert_x,$alert_y ${alert_width}x$alert_height, lit $alert_lit"
if [ $((alert_x + alert_width)) -gt 1920 ] || ! awk -v l="$alert_lit" 'BEGIN { exit !(l > 300) }'; then
  fail "the alert is not shown above the prompter on the operator monitor"
fi
xdotool key Escape
alert_id=${alert%% *}
alert_gone() { ! viewable_windows | awk -v a="$alert_id" '$1 == a {found = 1} END {exit !found}'; }
within 30 alert_gone || true
# A program that took the cancel for a quit would be ending by now; a moment for it to do so.
sleep 1
if ! kill -0 "$pid" 2>/dev/null; then
  fail "cancelling the alert quit the program"
fi
alert_id=${alert%% *}
if viewable_windows | awk -v a="$alert_id" '$1 == a {found = 1} END {exit !found}'; then
  fail "Esc did not answer the alert"
fi
if [ -z "$(operator_shields)" ]; then
  fail "Esc meant for the alert left Prompt mode"
fi

# Esc leaves Prompt mode: nothing covers the operator monitor any more.
xdotool key Escape
operator_bare() {
  local left
  left=$(operator_shields)
  echo "${left:-none}"
  [ -z "$left" ]
}
await "the blocking window and overlay to leave the operator monitor in Edit mode" 60 operator_bare
echo "windows shielding the operator monitor back in Edit mode: none"
shot edit
echo "PASS${wm:+ under $wm}"
