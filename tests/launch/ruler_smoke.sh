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

whole="${WIDTH}x${HEIGHT}+0+0"
xdotool windowfocus --sync "$window"
xdotool key ctrl+Home
await_still "the script at rest at its start" 60 edit "$whole"
cp "$work/edit-2.png" "$work/edit.png"
ruler_top() {
  top=$(first_changed_row edit "$1")
  [ -n "$top" ] && [ "$top" -ge 20 ] && [ "$top" -le $((HEIGHT / 2)) ] && echo "$top"
}
xdotool key ctrl+shift+r
await_shot "Ctrl+Shift+R to show a ruler above the script" 30 ruler ruler_top
top=$(ruler_top ruler)
echo "the ruler begins at row $top"

# The second alignment button (centre), 5 points in, 26 wide, in the ruler's top row.
# The ruler starts right of the focus arrow when the prompter's controls show in Edit mode: its
# left edge is the first light pixel of the button row.
left=$(convert "$work/ruler.png" -crop "${WIDTH}x1+0+$((top + 12))" +repage -colorspace gray -threshold 80% txt:- |
  awk -F'[,:]' '/#FFFFFF/ && !found {print $1; found = 1}' || true)
echo "the ruler's buttons start at column ${left:-none}"
cp "$work/ruler.png" "$work/centred.png"
xdotool mousemove $((X + ${left:-0} + 26 + 13)) $((Y + top + 12)) click 1
await_change "the centring button to centre the paragraph" 30 centred "$whole"
echo "centring: $found"
xdotool key ctrl+s
await_true "the saved script to hold a centred paragraph" 30 \
  grep -q '\\qc' "$work/Script.ovdocument/Content.rtfd/TXT.rtf"

# The ruler's scale, left of where the preview panel opens at the top right of the screen over the
# window's right end (not raised again without a window manager).
strip=$((WIDTH < 700 ? WIDTH : 700))
scale_strip() { convert "$work/$1.png" -crop "${strip}x20+0+$((top + 28))" +repage "$work/strip_$1.png"; }
scale_strip ruler
scale_differs() {
  scale_strip "$1"
  compare -metric AE "$work/strip_ruler.png" "$work/strip_$1.png" null: 2>&1 || true
}
ruler_hidden() { local n; n=$(scale_differs "$1"); [ "${n%%.*}" -ge 200 ] && echo "$n"; }
ruler_back() {
  local n row
  n=$(scale_differs "$1")
  row=$(first_changed_row prompt "$1")
  [ "${n%%.*}" -le 50 ] && [ -n "$row" ] && [ "$row" -le "$top" ] && echo "scale $n, rows from $row"
}
xdotool key ctrl+Return
await_shot "Prompt mode to show something else where the ruler was" 30 prompt ruler_hidden
echo "ruler scale pixels differing in Prompt mode: $found"
xdotool key Escape
await_shot "the ruler to come back as it was with Edit mode" 30 back ruler_back
echo "back in Edit mode: $found"

xdotool key ctrl+q
wait_for_exit
trap - EXIT
kill $pid 2>/dev/null || true
echo "passed"
EOF

run_session 1280x800x24
