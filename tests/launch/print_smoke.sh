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
screen_area="1440x900+0+0"
start_program
xdotool windowfocus --sync "$window"
await_quiet "the script's window drawn and at rest" 60 start "$screen_area"
xdotool key ctrl+p
sheet=$(timeout 60 xdotool search --sync --onlyvisible --name "^Print$" | head -1 || true)
[ -n "$sheet" ] || fail "Ctrl+P showed no print sheet within 60s"
sheet_geometry() { xdotool getwindowgeometry --shell "$sheet" | tr '\n' ' '; }
await_steady "the print sheet to stay put for half a second" 30 0.5 sheet_geometry
# The preview's page: mostly white, with dark text near its top; drawn a moment after the sheet.
eval "$(xdotool getwindowgeometry --shell "$sheet")"
preview_area="200x300+$((X + 80))+$((Y + 60))"
preview_white() { lit_passes "$preview_area" ">" 700 "$1"; }
within 60 shot_passes sheet preview_white || true
await_quiet "the print sheet drawn and at rest" 60 sheet-drawn "$screen_area"
preview=$(lit sheet "$preview_area")
echo "preview brightness $preview"
# The sheet's Return brings the print dialog, a window of its own under the same name.
print_dialog() { xdotool search --onlyvisible --name "^Print$" 2>/dev/null | grep -vx "$sheet" | head -1; }
xdotool key Return
await "the print dialog after the sheet" 60 print_dialog
await_quiet "the print dialog drawn and at rest" 60 dialog "$screen_area"
xdotool key Return
# The file is written in one go, but a reader that looks while it is written sees it short: it is
# complete once its size has held for a second.
pdf_size() { [ -s "$work/Script.pdf" ] && stat -c %s "$work/Script.pdf"; }
await_steady "the printed file $work/Script.pdf to be written" 60 1 pdf_size
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
print_counted() { grep -A1 '<key>printedDocuments</key>' "$work/data/Orvane/Analytics.plist" | grep -q '<integer>1</integer>'; }
within 30 print_counted || true
print_counted ||
  { echo "FAIL: the print was not counted"; exit 1; }
kill $pid
trap - EXIT
echo "passed"
SESSION

run_session 1440x900x24
