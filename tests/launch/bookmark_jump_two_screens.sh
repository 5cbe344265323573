#!/usr/bin/env bash
# The built program on a real X server with two monitors: a script with three bookmarks, in Prompt
# mode, and Ctrl+Alt+2 pressed as a user would. The second bookmark's line, a line of capital Ws that
# lights its rows far more than any other line, comes into view on the operator and talent monitors.
#   bookmark_jump_two_screens.sh ORVANE WORKDIR TWO_SCREEN_X
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
work=$2
two_screen_x=$3

source "$(dirname "$0")/two_screen_x.bash"
two_screen_require python3

rm -rf "$work"
mkdir -p "$work/config/Orvane" "$work/data" "$work/cache"

# The script: 90 short lines, bookmarks opening lines 1, 40 and 75; line 40 is all capital Ws.
python3 - "$work/Script.ovdocument" <<'PY'
import os, plistlib, sys
package = sys.argv[1]
os.makedirs(os.path.join(package, "Content.rtfd"))
lines = ["Line %02d of the script." % i for i in range(90)]
lines[40] = "W" * 24
marked = {1: "One", 40: "Two", 75: "Three"}
rtf = ["{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
       "{\\colortbl;\\red255\\green255\\blue255;}\n"
       # A black page, as the sample script has it.
       "{\\*\\background {\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright0\\shpbottom0\\shpfhdr0\\shpbxmargin"
       "\\shpbymargin\\shpwr0\\shpwrk0\\shpfblwtxt1\\shplid1025{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn fFlipH}"
       "{\\sv 0}}{\\sp{\\sn fFlipV}{\\sv 0}}{\\sp{\\sn fillColor}{\\sv 0}}{\\sp{\\sn fFilled}{\\sv 1}}{\\sp"
       "{\\sn lineWidth}{\\sv 0}}{\\sp{\\sn fLine}{\\sv 0}}{\\sp{\\sn bWMode}{\\sv 9}}{\\sp{\\sn fBackground}"
       "{\\sv 1}}}}}\n\\pard\\f0\\fs72\\cf1 "]
rtf.append("\\\n".join(lines) + "}\n")
with open(os.path.join(package, "Content.rtfd", "TXT.rtf"), "w") as f:
    f.write("".join(rtf))

def archive(name):
    return plistlib.dumps({
        "$archiver": "NSKeyedArchiver", "$version": 100000, "$top": {"root": plistlib.UID(1)},
        "$objects": ["$null", {"name": plistlib.UID(2), "type": 0, "$class": plistlib.UID(3)}, name,
                     {"$classname": "OVBookmark", "$classes": ["OVBookmark", "NSObject"]}]},
        fmt=plistlib.FMT_BINARY)

# Locations in the finished text, where each earlier bookmark already takes one character.
bookmarks, offset, inserted = [], 0, 0
for i, line in enumerate(lines):
    if i in marked:
        bookmarks.append({"data": archive(marked[i]), "locations": str(offset + inserted)})
        inserted += 1
    offset += len(line) + 1
properties = {"selectedRanges": ["{0, 0}"], "bookmarks": bookmarks, "scrollbarPosition": 0.0, "speed": 0.0,
              "windowFrame": "{{60, 60}, {1000, 640}}", "fileFormatNumber": 5,
              "appVersion": "0.1.0"}
with open(os.path.join(package, "Properties.plist"), "wb") as f:
    plistlib.dump(properties, f)
PY

settings_file

start_x 1920x1080 1920x1080

talent_x=1920
talent_width=1920
start_orvane jump
await "the talent window to cover exactly the talent monitor (1920,0 1920x1080)" 60 covers "1920 0 1920 1080"
xdotool windowfocus --sync "$operator"

# The brightest row of a monitor: the line of Ws outshines every other line.
brightest() { convert "$work/$1.png" -crop "$2" +repage -colorspace Gray -scale 1x1080! -format '%[fx:maxima*1000]' info:; }
# Below the window's menu and tool bars, which are lighter than any line of text.
operator_area="1920x860+0+220"
talent_area="1920x1080+1920+0"

enter_prompt_mode jump "1920x1080+0+0"
# Prompt mode at rest, which the jump is weighed against.
cp "$work/jump-prompt-2.png" "$work/prompt.png"
# Both views, once the line of Ws has come into each (the jump may glide there) and they are at rest.
jumped() {
  awk -v before="$(brightest prompt "$operator_area")" -v after="$(brightest "$1" "$operator_area")" \
    'BEGIN { exit !(after > 1.5 * before) }' &&
    awk -v before="$(brightest prompt "$talent_area")" -v after="$(brightest "$1" "$talent_area")" \
      'BEGIN { exit !(after > 1.5 * before) }'
}
xdotool key ctrl+alt+2
within 60 shot_passes jumped jumped || true
await_quiet "the views at rest after the jump" 30 jumped-rest "1920x1080+1920+0"
cp "$work/jumped-rest-2.png" "$work/jumped.png"
echo "operator brightest row: before $(brightest prompt "$operator_area"), after $(brightest jumped "$operator_area")"
echo "talent brightest row: before $(brightest prompt "$talent_area"), after $(brightest jumped "$talent_area")"
if ! awk -v before="$(brightest prompt "$operator_area")" -v after="$(brightest jumped "$operator_area")" \
  'BEGIN { exit !(after > 1.5 * before) }'; then
  fail "the operator view did not jump to the second bookmark"
fi
if ! awk -v before="$(brightest prompt "$talent_area")" -v after="$(brightest jumped "$talent_area")" \
  'BEGIN { exit !(after > 1.5 * before) }'; then
  fail "the talent monitor does not show the second bookmark's line"
fi
xdotool key Escape
await_change "Esc to leave Prompt mode" 60 jumped "1920x1080+0+0"
quit_orvane
echo "passed"
