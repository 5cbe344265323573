#!/usr/bin/env bash
# The built program on a real X server with two equal monitors under openbox, a white-page script:
# with the talent's content adjustments on (inverted, magnified 2.1 times) Prompt mode shows the
# talent inverted with lines 2.1 times the operator's, not adjusted twice; blanked, the talent monitor
# has no lit pixel edge to edge; flipped upside down in Edit mode, and magnified anew, the talent
# shows the lines the preview shows. Found in the screenshots, row by row.
#   talent_adjustments_two_screens.sh ORVANE WORKDIR TWO_SCREEN_X
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
work=$2
two_screen_x=$3

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require python3 openbox xprop xwininfo

rm -rf "$work"
mkdir -p "$work"

# The script: 150 lines of different widths, black on a white page, so that the rows of one stretch
# of text match the rows of no other stretch.
script=$work/Source.ovdocument
python3 - "$script" <<'PY'
import os, plistlib, sys
package = sys.argv[1]
os.makedirs(os.path.join(package, "Content.rtfd"))
lines = ["%03d %s" % (i, "W" * ((i * 7) % 23 + 1)) for i in range(150)]
rtf = ["{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
       "{\\colortbl;\\red0\\green0\\blue0;}\n"
       "{\\*\\background {\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright0\\shpbottom0\\shpfhdr0\\shpbxmargin"
       "\\shpbymargin\\shpwr0\\shpwrk0\\shpfblwtxt1\\shplid1025{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn fFlipH}"
       "{\\sv 0}}{\\sp{\\sn fFlipV}{\\sv 0}}{\\sp{\\sn fillColor}{\\sv 16777215}}{\\sp{\\sn fFilled}{\\sv 1}}{\\sp"
       "{\\sn lineWidth}{\\sv 0}}{\\sp{\\sn fLine}{\\sv 0}}{\\sp{\\sn bWMode}{\\sv 9}}{\\sp{\\sn fBackground}"
       "{\\sv 1}}}}}\n\\pard\\f0\\fs40\\cf1 "]
rtf.append("\\\n".join(lines) + "}\n")
with open(os.path.join(package, "Content.rtfd", "TXT.rtf"), "w") as f:
    f.write("".join(rtf))
properties = {"selectedRanges": ["{0, 0}"], "scrollbarPosition": 0.0, "speed": 0.0,
              "windowFrame": "{{60, 60}, {1000, 640}}", "fileFormatNumber": 5, "appVersion": "0.1.0"}
with open(os.path.join(package, "Properties.plist"), "wb") as f:
    plistlib.dump(properties, f)
PY

# rows SHOT AREA INK [FLIP] [SHRINK]: the area's rows as how much ink each holds (0 ... 1), INK
# "dark" for dark text on a light page, "light" for the other way; FLIP 1 turns the area upside
# down, SHRINK reduces it by that whole factor first, as the preview reduces the talent's page.
rows() {
  convert "$work/$1.png" -crop "$2" +repage ${5:+-filter Box -resize "$((100 / $5))%"} \
    ${4:+$([ "$4" = 1 ] && echo -flip)} -colorspace Gray -depth 8 gray:- |
    python3 -c '
import sys
width = int(sys.argv[1]) // int(sys.argv[3] or 1)
ink_is_dark = sys.argv[2] == "dark"
data = sys.stdin.buffer.read()
for start in range(0, len(data) - width + 1, width):
    row = data[start:start + width]
    ink = sum((255 - v) if ink_is_dark else v for v in row) / (255.0 * width)
    print("%.4f" % ink)
' "${2%%x*}" "$3" "${5:-1}"
}

# pitch SHOT AREA INK: the distance, in rows, from one line of text to the next (the median over the
# area), or nothing without two lines.
pitch() {
  rows "$@" | python3 -c '
import sys
ink = [float(v) for v in sys.stdin]
starts = [i for i in range(1, len(ink)) if ink[i] > 0.01 and ink[i - 1] <= 0.01]
gaps = sorted(b - a for a, b in zip(starts, starts[1:]))
if gaps:
    print(gaps[len(gaps) // 2])
'
}

# same_lines FILE FILE: "shift mismatch": the shift (in rows) that lays the second profile best over
# the first, and how far they still differ then (0 ... 1).
same_lines() {
  python3 - "$1" "$2" <<'PY'
import sys
a = [float(v) for v in open(sys.argv[1])]
b = [float(v) for v in open(sys.argv[2])]
total = sum(a)
if total == 0:
    sys.exit("no text in the preview")
best = None
for shift in range(-12, 13):
    pairs = [(a[y], b[y + shift]) for y in range(len(a)) if 0 <= y + shift < len(b)]
    if len(pairs) < 0.8 * len(a):
        continue
    error = sum(abs(x - y) for x, y in pairs) / sum(x for x, _ in pairs)
    if best is None or error < best[1]:
        best = (shift, error)
print("%d %.3f" % best)
PY
}

openbox_pid=
start_openbox() {
  openbox >"$work/openbox.log" 2>&1 &
  openbox_pid=$!
  trap 'kill "$openbox_pid" 2>/dev/null || true; report_exit $?; stop_all' EXIT
  await_window_manager openbox
}

# A condition on a fresh screenshot, for await: the value when the condition holds.
# shot_value NAME AREA TEST: the lit measure of AREA in a new shot NAME, printed when TEST (an awk
# condition on v) holds.
shot_value() {
  shot "$1"
  local v
  v=$(lit "$1" "$2")
  awk -v v="$v" "BEGIN { exit !($3) }" && echo "$v"
}

talent=1920x1080+1920+0
start_x 1920x1080 1920x1080
start_openbox

# 1. Adjustments on: the operator's Edit-mode lines first, then Prompt mode.
fresh_settings "	<key>enableTalentContentAdjustments</key><true/>
	<key>contentInvertTextAndBackgroundColor</key><true/>
	<key>contentTextMagnificationFactor</key><real>2.1</real>"
start_orvane adjusted
await "the inverted talent's dark page" 30 shot_value edit "$talent" 'v < 400'
xdotool windowactivate --sync "$operator" 2>/dev/null || xdotool windowfocus --sync "$operator"
eval "$(xdotool getwindowgeometry --shell "$operator")"
# The editor's text, below the toolbar and left of the scroller.
editor="$((WIDTH - 120))x$((HEIGHT - 200))+$((X + 60))+$((Y + 150))"
shot edit
operator_pitch=$(pitch edit "$editor" dark)
edit_talent_pitch=$(pitch edit "$talent" light)
echo "Edit mode: the operator's lines every $operator_pitch rows, the talent's every $edit_talent_pitch"
[ -n "$operator_pitch" ] && [ -n "$edit_talent_pitch" ] || fail "no lines of text found in Edit mode"

xdotool key --clearmodifiers ctrl+Return
# Prompt mode covers the operator's monitor: its page turns dark too, the operator's text adjusted.
await "Prompt mode's dark operator monitor" 30 shot_value prompt 1920x900+0+150 'v < 400'
prompt_talent_pitch=$(pitch prompt "$talent" light)
page=$(lit prompt "$talent")
echo "Prompt mode: the talent's lines every $prompt_talent_pitch rows, its monitor lit $page"
awk -v l="$page" 'BEGIN { exit !(l < 400) }' || fail "the talent is not inverted in Prompt mode (lit $page)"
awk -v p="$prompt_talent_pitch" -v o="$operator_pitch" 'BEGIN { r = p / o; exit !(r > 1.8 && r < 2.5) }' ||
  fail "the talent's lines are $(awk -v p="$prompt_talent_pitch" -v o="$operator_pitch" 'BEGIN { print p / o }')" \
    "times the operator's, not 2.1"
awk -v p="$prompt_talent_pitch" -v e="$edit_talent_pitch" 'BEGIN { d = p - e; exit !(d > -3 && d < 3) }' ||
  fail "the talent's lines are every $prompt_talent_pitch rows in Prompt mode, $edit_talent_pitch in Edit mode"
xdotool key --clearmodifiers Escape
await "Edit mode's light operator window" 30 shot_value back 1920x900+0+150 'v > 50'

# 2. Upside down in Edit mode, then magnified anew: the talent's page, reduced as the preview reduces
# it and turned back, has the preview's lines. The preview's page sits in its box, 5 times smaller.
preview_window=$(xdotool search --onlyvisible --name '^Preview' | head -1)
[ -n "$preview_window" ] || fail "no preview panel"
px=$(xwininfo -id "$preview_window" | awk '/Absolute upper-left X/ { print $4 }')
py=$(xwininfo -id "$preview_window" | awk '/Absolute upper-left Y/ { print $4 }')
preview_page="384x205+$((px + 18))+$((py + 25))"
# The talent's page: the monitor less the strips that line it up with the operator's toolbar.
talent_page=1920x1026+1920+27
# Down the script, so that a flip that kept the origin would show other lines.
xdotool mousemove $((px + 200)) $((py + 120))
for _ in 1 2 3 4 5 6 7 8 9 10 11 12; do xdotool click 5; done

compare_outputs() {
  local name=$1 flip=$2
  rows "$name" "$preview_page" light >"$work/$name-preview.rows"
  rows "$name" "$talent_page" light "$flip" 5 >"$work/$name-talent.rows"
  local result shift mismatch
  result=$(same_lines "$work/$name-preview.rows" "$work/$name-talent.rows") || fail "$name: $result"
  read -r shift mismatch <<<"$result"
  echo "$name: the talent's reduced page is $shift rows off the preview's (mismatch $mismatch)"
  awk -v m="$mismatch" -v s="$shift" 'BEGIN { exit !(m < 0.35 && s >= -3 && s <= 3) }' ||
    fail "$name: the talent does not show the preview's lines"
}
# talent_changed BEFORE AFTER: a new shot AFTER, and how many of the talent's pixels differ from
# BEFORE, printed once they are many.
talent_changed() {
  shot "$2"
  local n
  n=$(changed "$1" "$2" "$talent")
  awk -v n="$n" 'BEGIN { exit !(n + 0 > 10000) }' && echo "$n"
}
await "the talent scrolled down the script" 30 talent_changed back scrolled
compare_outputs scrolled 0
# Flip Vertically, in the panel's Displays section.
xdotool mousemove $((px + 220)) $((py + 555)) click 1
await "the talent turned upside down" 30 talent_changed scrolled flipped
compare_outputs flipped 1
# The magnification slider's knob, dragged to the left.
xdotool mousemove $((px + 203)) $((py + 351)) mousedown 1 mousemove $((px + 180)) $((py + 351)) \
  mousemove $((px + 160)) $((py + 351)) mouseup 1
await "the talent's text smaller" 30 talent_changed flipped magnified
compare_outputs magnified 1
quit_orvane

# 3. Blanked, a white page: the strips above and below the talent's page turn dark with it.
fresh_settings
start_orvane blanked
await "the talent's white page" 30 shot_value white "$talent" 'v > 700'
strip=$(lit white 1920x20+1920+0)
echo "the talent's top strip before blanking: lit $strip"
xdotool windowactivate --sync "$operator" 2>/dev/null || xdotool windowfocus --sync "$operator"
xdotool key --clearmodifiers ctrl+Return
await "Prompt mode" 30 shot_value prompting 1920x30+0+0 'v > 300'
xdotool key --clearmodifiers b
# The brightest pixel of the talent monitor in a new shot, printed once it is black.
talent_dark() {
  shot blank
  local v
  v=$(convert "$work/blank.png" -crop "$talent" +repage -colorspace Gray -format '%[fx:round(maxima*255)]' info:)
  echo "brightest $v" >"$work/blank.value"
  [ "$v" -eq 0 ] && echo "$v"
}
await "no lit pixel on the blanked talent monitor" 30 talent_dark
echo "blanked: the talent monitor's brightest pixel is $found of 255"
xdotool key --clearmodifiers Escape
quit_orvane
echo "passed"
