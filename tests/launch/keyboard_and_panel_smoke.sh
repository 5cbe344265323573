#!/usr/bin/env bash
# The built program on a real X server without a window manager, driven by the keyboard with the
# pointer away from its windows: the preview panel stays above the script's window after Prompt mode
# comes and goes, the keyboard stays with the script's window, and after the Open dialog is opened
# from the menu bar and cancelled, Ctrl+Return still enters Prompt mode.
#   keyboard_and_panel_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

for tool in xvfb-run Xvfb xdotool import convert compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it as root)"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work/config/Orvane" "$work/data" "$work/cache"
cp -r "$script" "$work/Script.ovdocument"
# Told so, the editor hides the prompter's arrow while editing, and the arrow tells the modes apart.
cat >"$work/config/Orvane/Orvane.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>showPrompterControlsInEditMode</key>
	<false/>
</dict>
</plist>
PLIST

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=xcb
"$orvane" "$work/Script.ovdocument" >"$work/orvane.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 30 xdotool search --sync --onlyvisible --name "Script" | head -1)
panel=$(timeout 30 xdotool search --sync --onlyvisible --name "Preview" | head -1)
sleep 1
# The script's window under most of the panel, which opened last and lies above it.
xdotool windowmove --sync "$window" 640 120
eval "$(xdotool getwindowgeometry --shell "$panel")"
panel_area="$((WIDTH - 20))x$((HEIGHT - 20))+$((X + 10))+$((Y + 10))"
eval "$(xdotool getwindowgeometry --shell "$window")"
# Keys go to the window the pointer is over when nothing has the keyboard: the pointer stays away.
xdotool mousemove 5 880
xdotool windowfocus --sync "$window"
sleep 1

shot() { import -window root "$work/$1.png"; }
blueness() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  convert "$work/$1.png" -crop "48x${HEIGHT}+${X}+${Y}" -fx 'b-r' -format '%[fx:mean*1000]' info:
}
panel_changed() { compare -metric AE -fuzz 5% -crop "$panel_area" "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }
prompting() { awk -v e="$edit_blue" -v p="$(blueness "$1")" 'BEGIN { exit !(p > e + 5) }'; }
focused() { [ "$(xdotool getwindowfocus)" = "$window" ]; }

shot edit
edit_blue=$(blueness edit)

# Prompt mode and back: the panel is hidden while prompting and shows above the script's window after.
xdotool key ctrl+Return
sleep 1.5
shot prompt
if ! prompting prompt; then
  echo "FAIL: Ctrl+Return did not enter Prompt mode"
  exit 1
fi
if ! focused; then
  echo "FAIL: the keyboard left the script's window on entering Prompt mode (focus $(xdotool getwindowfocus))"
  exit 1
fi
xdotool key Escape
sleep 1.5
shot edit_after_prompt
if prompting edit_after_prompt; then
  echo "FAIL: Esc did not leave Prompt mode"
  exit 1
fi
covered=$(panel_changed edit edit_after_prompt)
echo "panel pixels changed by a Prompt-mode round trip: $covered"
if [ "${covered%%.*}" -gt 2000 ]; then
  echo "FAIL: the preview panel is no longer above the script's window"
  exit 1
fi
if ! focused; then
  echo "FAIL: the keyboard did not come back to the script's window (focus $(xdotool getwindowfocus))"
  exit 1
fi

# File > Open... from the menu bar by the keyboard, cancelled.
xdotool key alt+f
sleep 0.5
xdotool key Down Down Return
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "^Open$" | head -1)
if [ -z "$dialog" ]; then
  echo "FAIL: File > Open... showed no dialog"
  exit 1
fi
xdotool key Escape
sleep 1.5
if xdotool search --onlyvisible --name "^Open$" >/dev/null 2>&1; then
  echo "FAIL: Esc did not cancel the Open dialog"
  exit 1
fi
xdotool key ctrl+Return
sleep 1.5
shot prompt_after_dialog
if ! prompting prompt_after_dialog; then
  echo "FAIL: Ctrl+Return went unanswered after the Open dialog was cancelled (focus $(xdotool getwindowfocus))"
  exit 1
fi
xdotool key Escape
sleep 1.5
shot edit_after_dialog
if prompting edit_after_dialog; then
  echo "FAIL: Esc did not leave Prompt mode after the dialog"
  exit 1
fi

xdotool key ctrl+q
for _ in $(seq 50); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then
  echo "FAIL: Ctrl+Q did not end the program"
  exit 1
fi
trap - EXIT
echo "passed"
EOF

xvfb-run -a -s "-screen 0 1440x900x24" bash "$work/session.sh" "$work" "$orvane"
