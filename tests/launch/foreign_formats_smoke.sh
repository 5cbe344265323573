#!/usr/bin/env bash
# The built program on a real X server, started on an HTML page as a file manager starts it: the
# window is titled by the file's name and shows the page's text, and exports to plain text and to
# OpenDocument; a second start on a plain-text file hands it to the running program, which opens
# it too.
#   foreign_formats_smoke.sh ORVANE WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
work=$2
script=/dev/null

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import convert
rm -rf "$work"
mkdir -p "$work/config" "$work/data" "$work/cache"
cat >"$work/Evening News.html" <<'HTML'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Evening News</title>
<link rel="stylesheet" href="/nonexistent/style.css">
<style>h1 { text-align: center } .cue { font-weight: bold; color: #ffcc00 }</style></head>
<body>
<h1>EVENING NEWS</h1>
<p><span class="cue">ANCHOR:</span> Good evening &amp; welcome. Tonight&rsquo;s top story: the caf&eacute;
on the corner reopened after a long winter&nbsp;&mdash; &ldquo;we never gave up&rdquo;, said the owner.</p>
<p>More after the break.</p><img src="/etc/hostname">
</body></html>
HTML
printf 'Second script\r\nfrom a text file\r\n' >"$work/second.txt"
# An imported script is untitled: its Export panel opens in the documents folder.
mkdir -p "$work/documents"
echo "XDG_DOCUMENTS_DIR=\"$work/documents\"" >"$work/config/user-dirs.dirs"

cat >"$work/session.sh" <<'EOF2'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=xcb
"$orvane" "$work/Evening News.html" >"$work/orvane.log" 2>&1 &
pid=$!
at_exit 'kill $pid 2>/dev/null || true'
window=$(timeout 60 xdotool search --sync --onlyvisible --name "Evening News" | head -1 || true)
if [ -z "$window" ]; then
  fail "no window titled by the HTML file's name within 60s"
fi
xdotool windowfocus --sync "$window"
window_geometry
text_area="$((WIDTH - 80))x$((HEIGHT - 220))+$((X + 60))+$((Y + 120))"
# Text shows as a spread of light and dark in the text area; an empty page is flat.
spread_of() { convert "$work/$1.png" -crop "$text_area" +repage -colorspace Gray -format '%[fx:standard_deviation*1000]' info:; }
text_shows() { awk -v s="$(spread_of "$1")" 'BEGIN { exit !(s > 20) }'; }
within 60 shot_passes html text_shows || true
spread=$(spread_of html)
echo "text area spread: $spread"
if ! awk -v s="$spread" 'BEGIN { exit !(s > 20) }'; then
  fail "the HTML page's text does not show"
fi

# File > Export… by keys: the panel offers RTF with the report and the simplified-style switch; a
# name ending in .txt chooses plain text, which the file then holds in UTF-8.
panel=
for _ in 1 2 3; do
  xdotool windowfocus --sync "$window"
  closed=$(popup_windows)
  xdotool key alt+f
  within 30 menu_opened "$closed" || true
  # Up and Down choose the first item whether or not the menu opened with one chosen.
  xdotool key --delay 60 Up Down
  for _ in 1 2 3 4 5 6 7; do xdotool key Down; done
  xdotool key Return
  panel=$(timeout 30 xdotool search --sync --onlyvisible --name "^Export$" | head -1 || true)
  [ -n "$panel" ] && break
  xdotool key Escape Escape
done
if [ -z "$panel" ]; then
  fail "File > Export… showed no Export panel"
fi
xdotool windowfocus --sync "$panel"
# The panel fills in its own name for the file once shown: what is typed goes in after that.
window_geometry_of() { eval "$(xdotool getwindowgeometry --shell "$1")"; echo "${WIDTH}x${HEIGHT}+${X}+${Y}"; }
panel_area=$(window_geometry_of "$panel")
await_quiet "the Export panel drawn and at rest" 60 export_panel "$panel_area"
xdotool key ctrl+a
xdotool type --delay 5 "exported.txt"
await_quiet "the Export panel to show the name typed" 60 export_named "$panel_area"
xdotool key Return
within 60 grep -q "Good evening & welcome" "$work/documents/exported.txt" || true
if ! grep -q "Good evening & welcome" "$work/documents/exported.txt" 2>/dev/null; then
  fail "the export wrote no plain text of the script"
fi
if grep -q "<p" "$work/documents/exported.txt"; then
  fail "the export wrote markup into the plain-text file"
fi

# Once more to OpenDocument: the name's extension chooses the type, and the file starts with its
# stored "mimetype" member, as OpenDocument readers expect.
panel=
for _ in 1 2 3; do
  xdotool windowfocus --sync "$window"
  closed=$(popup_windows)
  xdotool key alt+f
  within 30 menu_opened "$closed" || true
  # Up and Down choose the first item whether or not the menu opened with one chosen.
  xdotool key --delay 60 Up Down
  for _ in 1 2 3 4 5 6 7; do xdotool key Down; done
  xdotool key Return
  panel=$(timeout 30 xdotool search --sync --onlyvisible --name "^Export$" | head -1 || true)
  [ -n "$panel" ] && break
  xdotool key Escape Escape
done
if [ -z "$panel" ]; then
  fail "File > Export… showed no Export panel the second time"
fi
xdotool windowfocus --sync "$panel"
panel_area=$(window_geometry_of "$panel")
await_quiet "the Export panel drawn and at rest the second time" 60 export_odt_panel "$panel_area"
xdotool key ctrl+a
xdotool type --delay 5 "opendocument.odt"
await_quiet "the Export panel to show the OpenDocument name typed" 60 export_odt "$panel_area"
xdotool key Return
odt_member() { head -c 38 "$work/documents/opendocument.odt" 2>/dev/null | tail -c 8; }
odt_written() { [ "$(odt_member)" = "mimetype" ]; }
within 60 odt_written || true
if ! odt_written; then
  fail "the export wrote no OpenDocument file (its first member: $(odt_member | tr -cd '[:print:]'))"
fi
xdotool windowfocus --sync "$window"

# A second start hands its file to the running program and ends.
"$orvane" "$work/second.txt" >"$work/second.log" 2>&1 &
second=$!
second_window=$(timeout 60 xdotool search --sync --onlyvisible --name "second" | head -1 || true)
if [ -z "$second_window" ]; then
  fail "the second start's text file did not open within 60s"
fi
second_ended() { ! kill -0 "$second" 2>/dev/null; }
within 60 second_ended || true
if kill -0 "$second" 2>/dev/null; then
  kill "$second"
  fail "the second start kept running for 60s instead of handing its file over"
fi
# The running program is to go on after opening the file handed over: once its window is drawn.
await_quiet "the second script's window drawn and at rest" 60 second "1280x800+0+0"
if ! kill -0 $pid 2>/dev/null; then
  fail "the program ended"
fi
echo "passed"
EOF2

run_session 1280x800x24
