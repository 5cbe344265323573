#!/usr/bin/env bash
# The ruler on a real X server, driven as a person would: Ctrl+Shift+R shows it above the script, a
# click on its centring button centres the first paragraph, which Ctrl+S saves; Prompt mode hides the
# ruler and Edit mode brings it back.
#   ruler_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert compare
fresh_work

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
start_program
window_geometry
area="${WIDTH}x${HEIGHT}+${X}+${Y}"
# Shots of the window alone, so that rows count from its top.
shot() { import -window root -crop "$area" +repage "$work/$1.png"; }
# The top edge of what differs between two shots, in window coordinates; empty when nothing does.
first_changed_row() {
  compare "$work/$1.png" "$work/$2.png" -compose src -highlight-color white -lowlight-color black "$work/diff.png" 2>/dev/null || true
  convert "$work/diff.png" -trim -format '%Y' info: 2>/dev/null | tr -d '+'
}

xdotool windowfocus --sync "$window"
sleep 1
xdotool key ctrl+Home
sleep 0.5
shot edit
xdotool key ctrl+shift+r
sleep 1
shot ruler
top=$(first_changed_row edit ruler)
echo "the ruler begins at row ${top:-none}"
if [ -z "$top" ] || [ "$top" -lt 20 ] || [ "$top" -gt $((HEIGHT / 2)) ]; then
  fail "Ctrl+Shift+R showed no ruler above the script"
fi

# The second alignment button (centre), 5 points in, 26 wide, in the ruler's top row.
# The ruler starts right of the focus arrow when the prompter's controls show in Edit mode: its
# left edge is the first light pixel of the button row.
left=$(convert "$work/ruler.png" -crop "${WIDTH}x1+0+$((top + 12))" +repage -colorspace gray -threshold 80% txt:- |
  awk -F'[,:]' '/#FFFFFF/ && !found {print $1; found = 1}' || true)
echo "the ruler's buttons start at column ${left:-none}"
xdotool mousemove $((X + ${left:-0} + 26 + 13)) $((Y + top + 12)) click 1
sleep 1
shot centred
moved=$(changed ruler centred)
echo "pixels changed by centring: $moved"
if [ "${moved%%.*}" -lt 500 ]; then
  fail "the centring button changed nothing"
fi
xdotool key ctrl+s
sleep 1.5
if ! grep -q '\\qc' "$work/Script.ovdocument/Content.rtfd/TXT.rtf"; then
  fail "the saved script has no centred paragraph"
fi

xdotool key ctrl+Return
sleep 1.5
shot prompt
xdotool key Escape
sleep 1.5
shot back
again=$(first_changed_row prompt back)
echo "returning to Edit mode changes rows from ${again:-none}"
if [ -z "$again" ] || [ "$again" -gt "$top" ]; then
  fail "the ruler did not come back with Edit mode"
fi
# The ruler's scale is back as it was, and Prompt mode showed something else in its place.
# The preview panel opens at the top right of the screen over the window's right end, and is not
# raised again without a window manager: compare only the part of the scale left of it.
strip=$((WIDTH < 700 ? WIDTH : 700))
convert "$work/ruler.png" -crop "${strip}x20+0+$((top + 28))" +repage "$work/strip_before.png"
convert "$work/back.png" -crop "${strip}x20+0+$((top + 28))" +repage "$work/strip_after.png"
same=$(compare -metric AE "$work/strip_before.png" "$work/strip_after.png" null: 2>&1 || true)
echo "ruler scale pixels differing after the round trip: $same"
if [ "${same%%.*}" -gt 50 ]; then
  fail "the ruler's scale did not come back as it was"
fi
convert "$work/prompt.png" -crop "${strip}x20+0+$((top + 28))" +repage "$work/strip_prompt.png"
hidden=$(compare -metric AE "$work/strip_before.png" "$work/strip_prompt.png" null: 2>&1 || true)
echo "ruler scale pixels differing in Prompt mode: $hidden"
if [ "${hidden%%.*}" -lt 200 ]; then
  fail "the ruler stayed in Prompt mode"
fi

xdotool key ctrl+q
wait_for_exit
trap - EXIT
kill $pid 2>/dev/null || true
echo "passed"
EOF

run_session 1280x800x24
