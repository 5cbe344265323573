#!/usr/bin/env bash
# The built program on a real X server, as a new user prints: Ctrl+P on the sample script opens the
# print sheet with its preview and every adjustment on; Return presses Print…, and Return again
# prints to the PDF file the system's print dialog offers. The page comes out white with black
# text, and the print is counted.
#   print_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert pdftotext pdftoppm
fresh_work

cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
# The print dialog offers a file named after the script in the home folder.
export HOME=$work
start_program
xdotool windowfocus --sync "$window"
sleep 1
xdotool key ctrl+p
sheet=$(timeout 20 xdotool search --sync --onlyvisible --name "^Print$" | head -1)
sleep 1.5
shot sheet
# The preview's page: mostly white, with dark text near its top.
eval "$(xdotool getwindowgeometry --shell "$sheet")"
preview=$(convert "$work/sheet.png" -crop "200x300+$((X + 80))+$((Y + 60))" +repage -colorspace Gray -format '%[fx:mean*1000]' info:)
echo "preview brightness $preview"
xdotool key Return
timeout 20 xdotool search --sync --onlyvisible --name "^Print$" >/dev/null
sleep 1.5
shot dialog
xdotool key Return
for _ in $(seq 50); do
  [ -s "$work/Script.pdf" ] && break
  sleep 0.2
done
sleep 1
[ -s "$work/Script.pdf" ] || { echo "FAIL: nothing was printed to $work/Script.pdf"; exit 1; }
pdftotext "$work/Script.pdf" "$work/printed.txt"
grep -q "Good evening, and welcome to Orvane." "$work/printed.txt" || { echo "FAIL: the printed words are missing"; exit 1; }
pdftoppm -r 72 -f 1 -l 1 -png "$work/Script.pdf" "$work/page"
page=$(ls "$work"/page*.png | head -1)
corner=$(convert "$page" -crop 1x1+300+700 -format '%[fx:int(mean*255)]' info:)
darkest=$(convert "$page" -crop 400x60+0+30 +repage -colorspace Gray -format '%[fx:int(minima*255)]' info:)
echo "printed page: blank area $corner, darkest text $darkest"
if [ "$corner" -lt 250 ] || [ "$darkest" -gt 40 ]; then
  fail "the printed page is not white with black text"
fi
if ! awk -v p="$preview" 'BEGIN { exit !(p > 700) }'; then
  fail "the preview does not show a white page"
fi
grep -A1 '<key>printedDocuments</key>' "$work/data/Orvane/Analytics.plist" | grep -q '<integer>1</integer>' ||
  { echo "FAIL: the print was not counted"; exit 1; }
kill $pid
trap - EXIT
echo "passed"
SESSION

run_session 1440x900x24
