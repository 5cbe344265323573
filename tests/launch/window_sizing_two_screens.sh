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
# The Window menu's item DOWN presses below the menu's top (disabled items are skipped; Minimize
# is the first).
# The keys go to the menu only once it is open, which a program still busy after its start may take
# a while to answer: the open menu is one more visible window of the program's.
program_windows() { xdotool search --onlyvisible --class orvane 2>/dev/null | wc -l; }
window_menu() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  sleep 0.3
  local closed i
  closed=$(program_windows)
  xdotool key --clearmodifiers alt+w
  for i in $(seq 100); do
    [ "$(program_windows)" -gt "$closed" ] && break
    sleep 0.1
  done
  [ "$(program_windows)" -gt "$closed" ] || fail "the Window menu did not open"
  sleep 0.3
  for i in $(seq "$2"); do xdotool key Down; done
  sleep 0.3
}
# The geometry of window once it has moved away from before and stayed put for a moment (a loaded
# machine may take a while to answer a menu command and animate).
settled_geometry() {
  local window=$1 before=$2 now last="" i
  for i in $(seq 60); do
    now=$(geometry "$window")
    if [ "$now" != "$before" ] && [ "$now" = "$last" ]; then
      break
    fi
    last=$now
    sleep 0.1
  done
  echo "$now"
}
fail() {
  echo "FAIL: $*"
  exit 1
}

# 1. A talent monitor larger than the operator's leaves the talent window unused: Zoom maximises the
# window on the operator monitor, and nowhere beyond it.
fresh_settings "$presets"
start_x
start_orvane zoom
before=$(geometry "$operator")
window_menu "$operator" 2
xdotool key Return
read -r x y w h <<<"$(settled_geometry "$operator" "$before")"
echo "zoomed without a talent window: $x $y ${w}x$h"
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 800 ] ||
  fail "the zoomed window leaves the 1280x800 operator monitor"
[ "$w" -eq 1280 ] && [ "$h" -eq 800 ] || fail "without a talent window Zoom does not fill the operator monitor"

# 2. Resize all script windows to 1024 x 600: the alternate item, shown while Alt is held.
xdotool key --clearmodifiers ctrl+n
sleep 2
untitled=$(timeout 10 xdotool search --sync --onlyvisible --name "Untitled" | head -1)
window_menu "$untitled" 6
xdotool key Right
sleep 0.8
xdotool keydown alt
sleep 0.6
xdotool key Down
sleep 0.3
before1=$(geometry "$operator")
before2=$(geometry "$untitled")
xdotool key Return
xdotool keyup alt
read -r x1 y1 w1 h1 <<<"$(settled_geometry "$operator" "$before1")"
read -r x2 y2 w2 h2 <<<"$(settled_geometry "$untitled" "$before2")"
sleep 0.5
echo "after Resize All 1024 x 600: script ${w1}x$h1 at $x1,$y1, untitled ${w2}x$h2 at $x2,$y2"
[ "$w1" -eq 1024 ] && [ "$w2" -eq 1024 ] && [ "$h1" -eq "$h2" ] || fail "the windows did not both take the preset"
# The content under the tool bar: the new script's page in the default style's black, counted down
# the middle.
shot presets
page=$(convert "$work/presets.png" -crop "1x$h2+$((x2 + w2 / 2))+$y2" +repage txt:- |
  grep -c 'black\|#000000')
echo "black page rows in the untitled window: $page"
[ "$page" -eq 600 ] || fail "the untitled window's content is $page points tall, not 600"
quit_orvane
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# 3. A talent monitor smaller than the operator's: the talent window is in use, and Zoom gives the
# operator window a content area of the talent output's size, centred in the upper part.
fresh_settings "$presets"
start_x 1920x1080 1280x800
start_orvane talent
sleep 1
before=$(geometry "$operator")
window_menu "$operator" 2
xdotool key Return
read -r x y w h <<<"$(settled_geometry "$operator" "$before")"
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
trap 'kill "$wm" 2>/dev/null || true; stop_all' EXIT
sleep 1
start_orvane locked
sleep 1
window_menu "$operator" 4
xdotool key Return
sleep 0.8
hints=$(xprop -id "$operator" WM_NORMAL_HINTS)
echo "$hints"
read -r x y w h <<<"$(geometry "$operator")"
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
  sleep 0.8
}
drag
read -r _ _ lw lh <<<"$(geometry "$operator")"
echo "locked, after dragging: ${lw}x$lh"
[ "$lw" -eq "$w" ] && [ "$lh" -eq "$h" ] || fail "openbox resized a locked window"
xdotool key Escape
window_menu "$operator" 4
xdotool key Return
sleep 0.8
xprop -id "$operator" WM_NORMAL_HINTS | grep -q "minimum size: $w by $h" && fail "unlocking left the window's size fixed"
drag
read -r _ _ uw uh <<<"$(geometry "$operator")"
echo "unlocked, after dragging: ${uw}x$uh"
[ "$uw" -gt "$w" ] || fail "the unlocked window could not be resized"
quit_orvane
echo "PASS"
