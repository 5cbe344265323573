#!/usr/bin/env bash
# The built program on a real X server with two monitors under openbox, prompting: the line of text
# at the talent's arrow is the line at the operator's arrow, with the talent flipped and not, the
# toolbar shown and hidden while prompting, full-screen and windowed. Found in the screenshots: each
# arrow's rows, and the shift that lays the talent's rows of text over the operator's.
#   talent_reading_line.sh ORVANE WORKDIR TWO_SCREEN_X
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
work=$2
two_screen_x=$3

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require python3 openbox xprop

rm -rf "$work"
mkdir -p "$work"

# The script: 150 lines of different widths on a black page, so that the rows of one stretch of
# text match the rows of no other stretch.
script=$work/Source.ovdocument
python3 - "$script" <<'PY'
import os, plistlib, sys
package = sys.argv[1]
os.makedirs(os.path.join(package, "Content.rtfd"))
# Every tenth line is red, for the talent's inversion, which turns black and white only.
lines = [("\\cf2 %03d %s\\cf1 " if i % 10 == 3 else "%03d %s") % (i, "W" * ((i * 7) % 23 + 1))
         for i in range(150)]
rtf = ["{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
       "{\\colortbl;\\red255\\green255\\blue255;\\red255\\green0\\blue0;}\n"
       "{\\*\\background {\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright0\\shpbottom0\\shpfhdr0\\shpbxmargin"
       "\\shpbymargin\\shpwr0\\shpwrk0\\shpfblwtxt1\\shplid1025{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn fFlipH}"
       "{\\sv 0}}{\\sp{\\sn fFlipV}{\\sv 0}}{\\sp{\\sn fillColor}{\\sv 0}}{\\sp{\\sn fFilled}{\\sv 1}}{\\sp"
       "{\\sn lineWidth}{\\sv 0}}{\\sp{\\sn fLine}{\\sv 0}}{\\sp{\\sn bWMode}{\\sv 9}}{\\sp{\\sn fBackground}"
       "{\\sv 1}}}}}\n\\pard\\f0\\fs64\\cf1 "]
rtf.append("\\\n".join(lines) + "}\n")
with open(os.path.join(package, "Content.rtfd", "TXT.rtf"), "w") as f:
    f.write("".join(rtf))
properties = {"selectedRanges": ["{0, 0}"], "scrollbarPosition": 0.0, "speed": 0.0,
              "windowFrame": "{{60, 60}, {1000, 640}}", "fileFormatNumber": 5, "appVersion": "0.1.0"}
with open(os.path.join(package, "Properties.plist"), "wb") as f:
    plistlib.dump(properties, f)
PY

# reading_lines SHOT OPERATOR_AREA TALENT_AREA FLIP_H FLIP_V: "operator-arrow talent-arrow shift
# mismatch", rows counted from each area's top. The talent's area is turned back first where it is
# flipped. The shift is the one that lays the talent's rows of lit pixels best over the operator's
# around the operator's arrow; mismatch is how far they still differ then (0 ... 1).
reading_lines() {
  python3 - "$work/$1.png" "$2" "$3" "$4" "$5" <<'PY'
import re, subprocess, sys
png, operator_area, talent_area, flip_h, flip_v = sys.argv[1:6]
width = int(subprocess.run(["identify", "-format", "%w", png], capture_output=True, text=True,
                           check=True).stdout)
pixels = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout

def area(text):
    w, h, x, y = map(int, re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", text).groups())
    return x, y, w, h

def rows(text, mirror_x, mirror_y):
    x0, y0, w, h = area(text)
    result = []
    for r in range(h):
        y = y0 + (h - 1 - r if mirror_y else r)
        line = pixels[3 * (y * width + x0):3 * (y * width + x0 + w)]
        triples = [line[i:i + 3] for i in range(0, len(line), 3)]
        result.append(triples[::-1] if mirror_x else triples)
    return result

def is_arrow(p):
    # The arrow's blue; the text is white and the page black.
    return p[2] > 200 and p[0] < 80 and 120 < p[1] < 230

def arrow(image):
    marked = [r for r, row in enumerate(image) if any(is_arrow(p) for p in row[:70])]
    runs, start = [], None
    for i, r in enumerate(marked):
        if start is None:
            start = r
        if i + 1 == len(marked) or marked[i + 1] != r + 1:
            runs.append((start, r))
            start = None
    if not runs:
        sys.exit("no arrow found")
    first, last = max(runs, key=lambda run: run[1] - run[0])
    return (first + last) / 2

def profile(image):
    return [sum(1 for p in row[80:] if min(p) > 128) for row in image]

operator = rows(operator_area, False, False)
talent = rows(talent_area, flip_h == "1", flip_v == "1")
a, b = arrow(operator), arrow(talent)
lit_o, lit_t = profile(operator), profile(talent)
window = range(max(0, int(a) - 150), min(len(lit_o), int(a) + 150))
total = sum(lit_o[y] for y in window)
if total == 0:
    sys.exit("no text around the operator's arrow")
best = None
for shift in range(-400, 401):
    if any(not 0 <= y + shift < len(lit_t) for y in window):
        continue
    error = sum(abs(lit_o[y] - lit_t[y + shift]) for y in window)
    if best is None or error < best[1]:
        best = (shift, error)
if best is None:
    sys.exit("the talent's rows do not reach the operator's")
print("%.1f %.1f %d %.3f" % (a, b, best[0], best[1] / total))
PY
}

# top_lit SHOT: how lit the top strip of the operator monitor is: the toolbar is light, the page black.
top_lit() { lit "$1" "1920x30+0+0"; }

openbox_pid=
start_openbox() {
  openbox >"$work/openbox.log" 2>&1 &
  openbox_pid=$!
  at_exit 'kill "$openbox_pid" 2>/dev/null || true'
  await_window_manager openbox
}

# one_case NAME OPERATOR_AREA TALENT_AREA FLIP_H FLIP_V TOOLBAR_STATE WINDOWED: prompts a stretch of
# the script, pauses, and compares the two arrows' lines. OPERATOR_AREA "window" takes the operator
# window's own area.
one_case() {
  local name=$1 operator_area=$2 talent_area=$3 flip_h=$4 flip_v=$5 toolbar=$6 windowed=$7
  local bool_h=false bool_v=false bool_w=false
  [ "$flip_h" = 1 ] && bool_h=true
  [ "$flip_v" = 1 ] && bool_v=true
  [ "$windowed" = 1 ] && bool_w=true
  fresh_settings "	<key>horizontallyFlipped</key><$bool_h/>
	<key>verticallyFlipped</key><$bool_v/>
	<key>useWindowedPrompting</key><$bool_w/>
	<key>promptModeToolbarState</key><integer>$toolbar</integer>"
  start_orvane "$name"
  # At rest is told on the talent monitor, which has no toolbar whose timer counts.
  await_still "$name: the windows drawn after the start" 60 "$name-start" "$talent_area"
  xdotool windowactivate --sync "$operator" 2>/dev/null || xdotool windowfocus --sync "$operator"
  xdotool key --clearmodifiers ctrl+Return
  # Prompt mode changes the operator monitor; once it is at rest below the toolbar, the script is
  # started and paused (the script's speed is nought: it stays where it is).
  await_change "$name: Ctrl+Return to enter Prompt mode" 60 "$name-start-2" "1920x1080+0+0"
  await_still "$name: Prompt mode at rest" 60 "$name-prompt" "1920x900+0+180"
  xdotool key --clearmodifiers space
  await_still "$name: the script started" 60 "$name-started" "1920x900+0+180"
  xdotool key --clearmodifiers space
  await_still "$name: the second Space to pause the script" 60 "$name-paused" "$talent_area"
  cp "$work/$name-paused-2.png" "$work/$name.png"
  if [ "$operator_area" = window ]; then
    eval "$(xdotool getwindowgeometry --shell "$operator")"
    operator_area="${WIDTH}x${HEIGHT}+$X+$Y"
  fi
  local strip
  strip=$(top_lit "$name")
  local result
  result=$(reading_lines "$name" "$operator_area" "$talent_area" "$flip_h" "$flip_v") ||
    fail "$name: $result"
  local a b shift mismatch
  read -r a b shift mismatch <<<"$result"
  echo "$name: operator arrow at row $a of $operator_area, talent arrow at row $b, the talent's text" \
    "is $shift rows lower (mismatch $mismatch); top strip lit $strip"
  awk -v m="$mismatch" 'BEGIN { exit !(m < 0.2) }' ||
    fail "$name: the talent's lines do not match the operator's anywhere near the arrow"
  awk -v a="$a" -v b="$b" -v s="$shift" 'BEGIN { d = b - a - s; exit !(d > -8 && d < 8) }' ||
    fail "$name: the talent's arrow is $(awk -v a="$a" -v b="$b" -v s="$shift" 'BEGIN { print b - a - s }')" \
      "rows off the line the operator's arrow marks"
  if [ "$operator_area" = "1920x1080+0+0" ]; then
    if [ "$toolbar" = 2 ]; then
      awk -v l="$strip" 'BEGIN { exit !(l < 50) }' || fail "$name: the toolbar shows while prompting"
    else
      awk -v l="$strip" 'BEGIN { exit !(l > 500) }' || fail "$name: the toolbar is gone while prompting"
    fi
  fi
  xdotool key --clearmodifiers Escape
  sleep 1
  quit_orvane
}

# Two equal monitors: the talent's window covers the second; windowed prompting also covers the
# operator's monitor, since the talent output is as large. Four cases hold every pair of the three
# choices (flipped, toolbar, windowed) once; ORVANE_READING_LINE_CASES=all tries all eight.
start_x 1920x1080 1920x1080
start_openbox
for flip in "0 0" "1 1"; do
  for toolbar in 0 2; do
    for windowed in 0 1; do
      read -r h v <<<"$flip"
      if [ "${ORVANE_READING_LINE_CASES:-pairs}" != all ] && [ $(((h + toolbar / 2 + windowed) % 2)) -ne 0 ]; then
        continue
      fi
      one_case "equal-flip$h$v-toolbar$toolbar-windowed$windowed" "1920x1080+0+0" "1920x1080+1920+0" \
        "$h" "$v" "$toolbar" "$windowed"
    done
  done
done

# The talent inverted: its page turns white and its white text black, and the red lines stay red
# (an inversion of every colour would turn them cyan).
fresh_settings "	<key>enableTalentContentAdjustments</key><true/>
	<key>contentInvertTextAndBackgroundColor</key><true/>"
start_orvane inverted
inverted_page() { awk -v l="$(lit "$1" "1920x1080+1920+0")" 'BEGIN { exit !(l > 700) }'; }
within 60 shot_passes inverted inverted_page || true
count() { convert "$work/inverted.png" -crop "1920x1080+1920+0" +repage -fx "$1" -format '%[fx:mean*1920*1080]' info:; }
red=$(count 'r > 0.8 && g < 0.3 && b < 0.3')
cyan=$(count 'r < 0.3 && g > 0.8 && b > 0.8')
page=$(lit inverted "1920x1080+1920+0")
echo "inverted talent: red pixels $red, cyan pixels $cyan, lit $page"
awk -v l="$page" 'BEGIN { exit !(l > 700) }' || fail "the inverted talent's page is not white"
awk -v r="$red" 'BEGIN { exit !(r > 500) }' || fail "the red lines are not red on the inverted talent"
awk -v c="$cyan" 'BEGIN { exit !(c < 50) }' || fail "the inverted talent turned red into cyan"
quit_orvane
kill "$openbox_pid" 2>/dev/null || true
"$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true

# A smaller talent monitor: windowed prompting keeps a window whose prompter is the talent's size.
start_x 1920x1080 1600x900
start_openbox
for toolbar in 0 2; do
  one_case "smaller-toolbar$toolbar-windowed" window "1600x900+1920+0" 0 0 "$toolbar" 1
done
echo "passed"
