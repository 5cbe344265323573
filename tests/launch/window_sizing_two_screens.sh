#!/usr/bin/env bash
# The built program on a real X server with two monitors, driven through its menus with xdotool:
# Window > Zoom keeps the operator window on the operator monitor (maximised there while a larger
# talent monitor leaves the talent window unused; sized to the talent output when it is in use);
# Window > Resize Prompter with Alt gives every script window the preset's content size; and under
# a window manager (openbox, when installed) a locked window cannot be resized by the user.
#   window_sizing_two_screens.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
two_screen_x=$4

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require xwininfo xprop

rm -rf "$work"
mkdir -p "$work"
presets=$(printf '\t<key>windowPresetResolutions</key>\n\t<array>\n\t\t<string>1024 × 600</string>\n\t\t<string>1280 × 720</string>\n\t</array>')

# "X Y WIDTH HEIGHT" of a window's client area.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}
# The Window menu's item DOWN (disabled items are skipped; Minimize is the first, 1).
# The keys go to the menu only once it is open, which a program still busy after its start may take
# a while to answer: the open menu is one more popup of the program's.
window_menu() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  local closed i
  closed=$(popup_windows)
  xdotool key --clearmodifiers alt+w
  menu_open() { [ "$(popup_windows)" -gt "$closed" ] && echo open; }
  await "the Window menu to open" 30 menu_open
  sleep 0.3
  # A menu opened by the keyboard may show its first item chosen or none, as the program's answer
  # and the key's release meet: Up and Down choose the first either way, round the menu's ends.
  xdotool key Up Down
  for i in $(seq $(($2 - 1))); do xdotool key Down; done
  sleep 0.3
  # What the menu showed, for a verdict on what followed.
  shot "window-menu-$2"
}
# The geometry of window once it has moved away from before, has the WIDTH (when given) and has stayed
# put for half a second (a loaded machine may take a while to answer a menu command and animate, and
# the program may still be placing a window shown a moment before); what it last was after a minute
# without that.
settled_geometry() {
  local window=$1 before=$2 width=${3:-} now last="" same=0 i
  for i in $(seq 600); do
    now=$(geometry "$window")
    if [ "$now" != "$before" ] && [ "$now" = "$last" ] && { [ -z "$width" ] || [ "$(cut -d' ' -f3 <<<"$now")" = "$width" ]; }; then
      same=$((same + 1))
      [ "$same" -ge 5 ] && break
    else
      same=0
    fi
    last=$now
    sleep 0.1
  done
  echo "$now"
}
# The geometry of a window just shown once it has stayed put for a second: the program places a new
# window after it is shown, which a loaded machine may do late, and that move is no answer to a
# command given after it.
placed_geometry() {
  local now last="" same=0 i
  for i in $(seq 300); do
    now=$(geometry "$1")
    if [ "$now" = "$last" ]; then
      same=$((same + 1))
      [ "$same" -ge 10 ] && break
    else
      same=0
    fi
    last=$now
    sleep 0.1
  done
  echo "$now"
}

# 1. A talent monitor larger than the operator's leaves the talent window unused: Zoom maximises the
# window on the operator monitor, and nowhere beyond it.
fresh_settings "$presets"
start_x
start_orvane zoom
before=$(placed_geometry "$operator")
window_menu "$operator" 2
xdotool key Return
read -r x y w h <<<"$(settled_geometry "$operator" "$before" 1280)"
echo "zoomed without a talent window: $x $y ${w}x$h"
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 800 ] ||
  fail "the zoomed window leaves the 1280x800 operator monitor"
[ "$w" -eq 1280 ] && [ "$h" -eq 800 ] || fail "without a talent window Zoom does not fill the operator monitor"

# 2. Resize all script windows to 1024 x 600: the alternate item, shown while Alt is held.
xdotool key --clearmodifiers ctrl+n
untitled_window() { xdotool search --onlyvisible --name "Untitled" | head -1; }
await "Ctrl+N to show an Untitled window" 60 untitled_window
untitled=$found
placed_geometry "$untitled" >/dev/null
window_menu "$untitled" 6
# The submenu opens as one more window of the program's.
open_menus=$(popup_windows)
xdotool key Right
submenu_open() { [ "$(popup_windows)" -gt "$open_menus" ] && echo open; }
await "the Resize Prompter submenu to open" 30 submenu_open
sleep 0.3
xdotool keydown alt
sleep 0.6
xdotool key Down
sleep 0.3
before1=$(placed_geometry "$operator")
before2=$(placed_geometry "$untitled")
xdotool key Return
xdotool keyup alt
read -r x1 y1 w1 h1 <<<"$(settled_geometry "$operator" "$before1" 1024)"
read -r x2 y2 w2 h2 <<<"$(settled_geometry "$untitled" "$before2" 1024)"
echo "after Resize All 1024 x 600: script ${w1}x$h1 at $x1,$y1, untitled ${w2}x$h2 at $x2,$y2"
[ "$w1" -eq 1024 ] && [ "$w2" -eq 1024 ] && [ "$h1" -eq "$h2" ] || fail "the windows did not both take the preset"
# The content under the tool bar: the new script's page in the default style's black, counted down
# the middle. The window has its size before its content is drawn at that size.
page_rows() {
  convert "$work/$1.png" -crop "1x$h2+$((x2 + w2 / 2))+$y2" +repage txt:- | grep -c 'black\|#000000' || true
}
full_page() { [ "$(page_rows "$1")" -eq 600 ]; }
within 30 shot_passes presets full_page || true
page=$(page_rows presets)
echo "black page rows in the untitled window: $page"
[ "$page" -eq 600 ] || fail "the untitled window's content is $page points tall, not 600"
quit_orvane
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# 3. A talent monitor smaller than the operator's: the talent window is in use, and Zoom gives the
# operator window a content area of the talent output's size, centred in the upper part.
fresh_settings "$presets"
start_x 1920x1080 1280x800
start_orvane talent
before=$(placed_geometry "$operator")
window_menu "$operator" 2
xdotool key Return
read -r x y w h <<<"$(settled_geometry "$operator" "$before" 1280)"
echo "zoomed to the talent output: $x $y ${w}x$h"
[ "$w" -eq 1280 ] || fail "the zoomed width is not the talent output's 1280"
[ "$x" -eq 320 ] || fail "the zoomed window is not centred across the operator monitor"
[ $((y + h)) -le 1080 ] && [ "$h" -gt 800 ] || fail "the zoomed window does not hold 800 points of content on the operator monitor"

# 4. Under a window manager, a locked window keeps its size when the user drags to resize it.
if ! command -v openbox >/dev/null; then
  echo "openbox is not installed: the resize lock under a window manager was not tried"
  quit_orvane
  exit 0
fi
quit_orvane
openbox >"$work/openbox.log" 2>&1 &
wm=$!
at_exit 'kill "$wm" 2>/dev/null || true'
await_window_manager openbox
start_orvane locked
placed_geometry "$operator" >/dev/null
window_menu "$operator" 4
xdotool key Return
# The lock reaches the window manager as equal minimum and maximum sizes, once the program answers.
read -r x y w h <<<"$(geometry "$operator")"
fixed_size() {
  read -r x y w h <<<"$(geometry "$operator")"
  xprop -id "$operator" WM_NORMAL_HINTS | grep -q "minimum size: $w by $h" &&
    xprop -id "$operator" WM_NORMAL_HINTS | grep -q "maximum size: $w by $h" && echo "${w}x$h"
}
within 30 fixed_size || true
read -r x y w h <<<"$(geometry "$operator")"
hints=$(xprop -id "$operator" WM_NORMAL_HINTS)
echo "$hints"
echo "$hints" | grep -q "minimum size: $w by $h" && echo "$hints" | grep -q "maximum size: $w by $h" ||
  fail "the lock does not reach the window manager as a fixed size"
drag() {
  xdotool mousemove $((x + w - 20)) $((y + h - 20))
  xdotool keydown alt
  xdotool mousedown 3
  sleep 0.2
  # In two steps: the first motion starts the window manager's resize, the second sizes.
  xdotool mousemove $((x + w + 10)) $((y + h + 10))
  sleep 0.2
  xdotool mousemove $((x + w + 60)) $((y + h + 40))
  sleep 0.3
  xdotool mouseup 3
  xdotool keyup alt
}
drag
# Nothing is to happen, and nothing shows that openbox has handled the drag: a span for it to do so.
sleep 2
read -r _ _ lw lh <<<"$(geometry "$operator")"
echo "locked, after dragging: ${lw}x$lh"
[ "$lw" -eq "$w" ] && [ "$lh" -eq "$h" ] || fail "openbox resized a locked window"
xdotool key Escape
window_menu "$operator" 4
xdotool key Return
unfixed_size() { ! xprop -id "$operator" WM_NORMAL_HINTS | grep -q "minimum size: $w by $h"; }
within 30 unfixed_size || true
xprop -id "$operator" WM_NORMAL_HINTS | grep -q "minimum size: $w by $h" && fail "unlocking left the window's size fixed"
drag
resized() { read -r _ _ uw uh <<<"$(geometry "$operator")" && [ "$uw" -gt "$w" ]; }
within 30 resized || true
read -r _ _ uw uh <<<"$(geometry "$operator")"
echo "unlocked, after dragging: ${uw}x$uh"
[ "$uw" -gt "$w" ] || fail "the unlocked window could not be resized"
quit_orvane
echo "PASS"
