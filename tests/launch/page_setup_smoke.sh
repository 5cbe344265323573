#!/usr/bin/env bash
# The built program on a real X server under openbox, as a new user sets up the page: File > Page
# Setup… (from the keyboard) opens the page set-up dialog; Landscape and OK make the script's next
# print sheet show a landscape page, while a new script's print sheet still shows a portrait one.
#   page_setup_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool xprop import convert openbox
fresh_work

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
openbox >"$work/openbox.log" 2>&1 &
openbox_pid=$!
at_exit 'kill $openbox_pid 2>/dev/null || true'
window_manager() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -o '0x[0-9a-f]*'; }
await "openbox to take the screen" 30 window_manager
start_program

# The shape of the page the print sheet's preview shows (the white page on the preview's grey, in
# the left part of the sheet): landscape, portrait or none yet.
page_shape() {
  local sheet=$1 width size
  import -window "$sheet" "$work/sheet.png" 2>/dev/null || { echo none; return; }
  width=$(identify -format '%w' "$work/sheet.png")
  size=$(convert "$work/sheet.png" -crop "$((width * 60 / 100))x10000+0+0" +repage -colorspace Gray \
    -threshold 95% -trim -format '%w %h' info: 2>/dev/null || echo "0 0")
  awk -v s="$size" 'BEGIN { split(s, a, " "); if (a[1] < 50 || a[2] < 50) print "none";
    else if (a[1] > a[2]) print "landscape"; else print "portrait" }'
}
no_window_named() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
# print_sheet_shape WINDOW: Ctrl+P in the window, the page shape once the preview shows one, Escape.
print_sheet_shape() {
  local sheet shape=none
  xdotool windowfocus --sync "$1"
  xdotool key ctrl+p
  sheet=$(timeout 60 xdotool search --sync --onlyvisible --name "^Print$" | head -1 || true)
  [ -n "$sheet" ] || fail "Ctrl+P showed no print sheet within 60s"
  shape_shown() { [ "$(page_shape "$sheet")" != none ]; }
  within 60 shape_shown || true
  shape=$(page_shape "$sheet")
  cp "$work/sheet.png" "$work/sheet-$shape.png" 2>/dev/null || true
  xdotool key Escape
  within 30 no_window_named "^Print$" || fail "Escape left the print sheet open for 30s"
  echo "$shape"
}

before=$(print_sheet_shape "$window")
echo "before page set-up: $before"
[ "$before" = portrait ] || { echo "FAIL: the first print sheet shows no portrait page ($before)"; exit 1; }

# File > Page Setup…: the tenth item of the File menu that the keyboard reaches.
xdotool windowfocus --sync "$window"
closed=$(popup_windows)
xdotool key alt+f
menu_open() { [ "$(popup_windows)" -gt "$closed" ] && echo open; }
await "the File menu to open" 30 menu_open
# A menu opened by the keyboard may show its first item chosen or none, as the program's answer and
# the key's release meet: Up and Down choose the first either way, round the menu's ends.
xdotool key --delay 60 Up Down
for _ in $(seq 9); do xdotool key Down; done
xdotool key Return
dialog=$(timeout 60 xdotool search --sync --onlyvisible --name "^Page Setup$" | head -1) || true
if [ -z "$dialog" ]; then
  shot no-dialog
  echo "FAIL: File > Page Setup… opened no page set-up dialog (see no-dialog.png)"
  exit 1
fi
# Tab to the orientation, Down to Landscape, Return for OK.
xdotool key Tab Tab Down Return
within 30 no_window_named "^Page Setup$" || fail "Return left the page set-up dialog open for 30s"

after=$(print_sheet_shape "$window")
echo "after page set-up: $after"
[ "$after" = landscape ] || { echo "FAIL: the print sheet after Landscape shows a $after page"; exit 1; }

# A new script has its own paper: the default one.
xdotool windowfocus --sync "$window"
xdotool key ctrl+n
untitled=$(timeout 60 xdotool search --sync --onlyvisible --name "^Untitled" | head -1 || true)
[ -n "$untitled" ] || fail "Ctrl+N showed no Untitled window within 60s"
other=$(print_sheet_shape "$untitled")
echo "new script: $other"
[ "$other" = portrait ] || { echo "FAIL: a new script's print sheet shows a $other page"; exit 1; }
echo "passed"
SESSION

run_session 1440x900x24
