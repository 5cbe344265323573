#!/usr/bin/env bash
# The built program under a real window manager, driven by the mouse as a new user drives it: pop-ups,
# a tool-button menu, the Settings pull-down, its Reset alert and its Import dialog in the settings
# window are opened, chosen from or cancelled, and two letters are typed. The letters never reach the
# script (its window is never marked edited) and the settings window keeps the keyboard. Then Export…,
# Export as PDF… and Save As… each take a 30-character name typed into a folder that holds files
# starting with its first letter, and write the file under the whole name; the script's window has
# the keyboard again after each.
#   keyboard_stays_smoke.sh ORVANE SCRIPT WORKDIR WINDOW_MANAGER
# Exits 77 (skipped) only when the X tools or the window manager cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
wm=$4

source "$(dirname "$0")/smoke_common.bash"
smoke_require Xvfb xdotool xwininfo xprop import "$wm"
fresh_work
# What the file name completer matches once the first letter is typed.
mkdir -p "$work/orchard"
touch "$work/overture.pdf" "$work/overture.rtf" "$work/overture.txt"

claim_display
export DISPLAY=":$display_number"

xvfb_pid= wm_pid= pid=
stop_everything() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
at_exit stop_everything

# The shared verdict, with a screenshot of what the screen showed.
fail() {
  echo "FAIL: $*"
  failed=yes
  shot failure || true
  echo "(screenshot: $work/failure.png; program output: $work/orvane.log)"
  exit 1
}

start_x_and_window_manager 1920x1080x24 "$wm"

XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb \
  "$orvane" "$work/Script.ovdocument" >"$work/orvane.log" 2>&1 &
pid=$!

# named REGEX: the program's visible window whose title matches.
named() { xdotool search --onlyvisible --pid "$pid" --name "$1" 2>/dev/null | head -1; }
focus() { xdotool getwindowfocus; }
# focused_on ID: succeeds while ID has the keyboard; prints the window that has it.
focused_on() {
  local now
  now=$(focus)
  echo "$now $(xdotool getwindowname "$now" 2>/dev/null || true)"
  [ "$now" = "$1" ]
}
# popups: the program's viewable windows that no window manager handles (pop-ups, menus).
popups() {
  local id info
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
    xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $pid\$" || continue
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" && grep -q 'Override Redirect State: yes' <<<"$info" && echo "$id"
  done
}
no_popups() { [ -z "$(popups)" ] && echo none; }
# gone ID: prints gone once the window is no longer on screen.
gone() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable' || echo gone; }
# click ID X Y: a click at X, Y inside the window's contents.
click() {
  local info left top
  info=$(xwininfo -id "$1")
  left=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
  top=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
  xdotool mousemove "$((left + $2))" "$((top + $3))" click 1
}
# size ID: WIDTH and HEIGHT of the window's contents.
size() { eval "$(xwininfo -id "$1" | awk '/^ *Width:/ {print "WIDTH=" $NF} /^ *Height:/ {print "HEIGHT=" $NF}')"; }
script_title() { xdotool getwindowname "$window"; }

await "the script's window" 30 named '^Script$'
window=$found
xdotool windowmove --sync "$window" 40 40 2>/dev/null || true
timeout 5 xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
await "the keyboard in the script's window" 30 focused_on "$window"

# typed_nowhere WHAT: two letters typed into the settings window after WHAT reach no script, and the
# settings window still has the keyboard. Switching panes afterwards proves the letters were handled.
typed_nowhere() {
  await "no pop-up left after $1" 30 no_popups
  await "the keyboard in the settings window after $1" 30 focused_on "$settings"
  xdotool type --delay 40 zz
  [ "$(focus)" = "$settings" ] || fail "the keyboard left the settings window after $1 (now in $(focus): $(xdotool getwindowname "$(focus)" 2>/dev/null))"
  click "$settings" "${2:-35}" 14
  await "the settings window to switch panes after $1" 30 named "^${3:-General}\$"
  [ "$(script_title)" = Script ] || fail "the letters typed after $1 went into the script (its window is titled \"$(script_title)\")"
  echo "$wm: $1: the keys stayed in the settings window"
}

# focus_named REGEX: the window that has the keyboard, while its title matches.
focus_named() {
  local now
  now=$(focus)
  xdotool getwindowname "$now" 2>/dev/null | grep -q -- "$1" && echo "$now"
}

xdotool key ctrl+comma
await "the keyboard in the settings window" 30 focus_named '^General$'
settings=$found

# The General pane's encoding pop-up: Unicode (UTF-8), the item below the current one.
click "$settings" 435 265
await "the encoding pop-up" 30 popups
click "$settings" 205 290
typed_nowhere "choosing from the encoding pop-up"

# The Prompter pane's Options tool-button menu: Always Cover the Desktop.
click "$settings" 105 14
await "the Prompter pane" 30 named '^Prompter$'
click "$settings" 243 90
await "the Options menu" 30 popups
click "$settings" 318 133
typed_nowhere "choosing from the Options menu" 105 Prompter

# The Advanced pane's Settings pull-down: Reset All Settings…, then Cancel in its alert.
click "$settings" 313 14
await "the Advanced pane" 30 named '^Advanced$'
click "$settings" 702 597
await "the Settings pull-down" 30 popups
click "$settings" 755 618
await "the Reset alert" 30 focus_named '^Orvane$'
alert=$found
size "$alert"
# Cancel is the right-hand of the two buttons at the bottom.
click "$alert" $((WIDTH * 3 / 4)) $((HEIGHT - 22))
await "the Reset alert to close" 30 gone "$alert"
typed_nowhere "cancelling the Reset alert" 313 Advanced

# The Settings pull-down again: Import Settings…, then Cancel in the open dialog.
click "$settings" 702 597
await "the Settings pull-down" 30 popups
click "$settings" 750 640
await "the Import dialog" 30 focus_named '^Open$'
dialog=$found
size "$dialog"
click "$dialog" $((WIDTH - 45)) $((HEIGHT - 25))
await "the Import dialog to close" 30 gone "$dialog"
typed_nowhere "cancelling the Import dialog" 313 Advanced

xdotool windowclose "$settings" 2>/dev/null || click "$settings" 0 0
timeout 5 xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
await "the keyboard in the script's window" 30 focused_on "$window"

# save_with_typed_name ITEM_X ITEM_Y TITLE NAME: the File menu's item at that place below File opens
# the panel titled TITLE; NAME is typed and Return pressed; a file of that whole name appears.
save_with_typed_name() {
  [ "${#4}" -eq 30 ] || fail "the test's name $4 is not 30 characters long"
  await "the keyboard in the script's window before $3" 30 focused_on "$window"
  click "$window" 20 10
  await "the File menu" 30 popups
  click "$window" $((20 + $1)) $((10 + $2))
  await "the keyboard in the $3 panel" 30 focus_named "^$3\$"
  xdotool type --delay 60 "$4"
  xdotool key Return
  await "$4 written by $3" 30 bash -c "ls -d '$work/$4'.* 2>/dev/null"
  local written=$found
  await "the keyboard back in the script's window after $3" 30 focused_on "$window"
  echo "$wm: $3 wrote $(basename "$written")"
}

save_with_typed_name 39 179 'Export' orvane-export-typed-name-00030
save_with_typed_name 60 201 'Export as PDF' orvane-pdf-typed-name-00000030
save_with_typed_name 43 133 'Save As' orvane-save-as-typed-name-0030

xdotool key ctrl+q
wait_for_exit
kill -0 "$pid" 2>/dev/null && fail "Ctrl+Q did not end the program within 60s"
pid=
echo "passed"
