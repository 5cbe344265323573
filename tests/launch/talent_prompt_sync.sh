#!/usr/bin/env bash
# The built program on a real X server with two monitors, prompting: the talent window scrolls with
# the operator's while the prompter runs and stands still while it is paused, and blanking turns the
# talent monitor black and back.
#   talent_prompt_sync.sh ORVANE SCRIPT WORKDIR TWO_SCREEN_X
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
two_screen_x=$4

if [ ! -x "$two_screen_x" ]; then
  echo "SKIPPED: $two_screen_x is missing"
  exit 77
fi
for tool in Xorg xrandr cvt xdotool import convert compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it as root)"
    exit 77
  fi
done
if ! ls /usr/lib/xorg/modules/drivers/dummy_drv.so >/dev/null 2>&1; then
  echo "SKIPPED: the X server's dummy driver is not installed (xserver-xorg-video-dummy)"
  exit 77
fi

# A display number of our own, so that parallel runs and a developer's own servers are left alone.
display_number=$((40 + $$ % 50))
while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/two-screen-x.$display_number" ]; do
  display_number=$((display_number + 1))
done
pid=
stop_all() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  "$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true
}
trap stop_all EXIT

rm -rf "$work"
mkdir -p "$work"

# A fresh settings folder: the second display chosen, the text as it is.
fresh_settings() {
  rm -rf "$work/config" "$work/data" "$work/cache" "$work/Script.ovdocument"
  mkdir -p "$work/config/Orvane" "$work/data" "$work/cache"
  cp -r "$script" "$work/Script.ovdocument"
  cat >"$work/config/Orvane/Orvane.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>screenMode</key>
	<integer>1</integer>
</dict>
</plist>
PLIST
}

start_x() {
  local status=0
  DISPLAY= "$two_screen_x" start "$display_number" "$@" >"$work/x.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || ! DISPLAY=":$display_number" xrandr --listmonitors >/dev/null 2>&1; then
    cat "$work/x.log" || true
    if [ -f "/tmp/two-screen-x.$display_number/xorg.log" ]; then
      tail -20 "/tmp/two-screen-x.$display_number/xorg.log" || true
    fi
    echo "SKIPPED: the X server with two monitors did not start here"
    exit 77
  fi
  export DISPLAY=":$display_number"
}

start_orvane() {
  XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb \
    "$orvane" "$work/Script.ovdocument" >"$work/orvane-$1.log" 2>&1 &
  pid=$!
  operator=$(timeout 30 xdotool search --sync --onlyvisible --name "Script" | head -1)
}

quit_orvane() {
  xdotool key --clearmodifiers ctrl+q || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

# The visible top-level windows that sit on the talent monitor, as "X Y WIDTH HEIGHT".
talent_windows() {
  local window
  for window in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    [ "$window" = "$operator" ] && continue
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The root window spans both monitors; it is not ours.
    [ "$WIDTH" -ge "$((talent_x + talent_width))" ] && continue
    if [ "$X" -ge "$talent_x" ]; then
      echo "$X $Y $WIDTH $HEIGHT"
    fi
  done
}

shot() { import -window root "$work/$1.png"; }
# How much of an area is lit: the script is white on black.
lit() { convert "$work/$1.png" -crop "$2" +repage -colorspace Gray -format '%[fx:mean*1000]' info:; }
changed() { compare -metric AE -crop "$3" "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }

# Two equal monitors: the talent window covers the second.
fresh_settings
start_x 1920x1080 1920x1080
talent_x=1920
talent_width=1920
talent_area="1920x1080+1920+0"
start_orvane prompt
sleep 2
windows=$(talent_windows)
echo "windows on the talent monitor: ${windows:-none}"
if [ "$windows" != "1920 0 1920 1080" ]; then
  echo "FAIL: the talent window does not cover exactly the talent monitor (1920,0 1920x1080)"
  exit 1
fi
xdotool windowfocus --sync "$operator"
sleep 1

# Into Prompt mode and started: two ticks of the prompter a second apart differ on the talent monitor.
xdotool key --clearmodifiers ctrl+Return
sleep 1
xdotool key --clearmodifiers space
sleep 1
shot tick1
sleep 1.5
shot tick2
moved=$(changed tick1 tick2 "$talent_area")
echo "talent pixels changed between two ticks: $moved"
if [ "${moved%%.*}" -lt 500 ]; then
  echo "FAIL: the talent window does not scroll with the operator"
  exit 1
fi
operator_moved=$(changed tick1 tick2 "1920x1080+0+0")
echo "operator pixels changed between the same ticks: $operator_moved"

# Paused, the talent stands still with the operator.
xdotool key --clearmodifiers space
sleep 1
shot paused1
sleep 1
shot paused2
still=$(changed paused1 paused2 "$talent_area")
echo "talent pixels changed while paused: $still"
if [ "${still%%.*}" -gt 100 ]; then
  echo "FAIL: the talent window moves while the prompter is paused"
  exit 1
fi
echo "talent monitor lit before blanking: $(lit paused2 "$talent_area")"
if ! awk -v l="$(lit paused2 "$talent_area")" 'BEGIN { exit !(l > 5) }'; then
  echo "FAIL: the talent monitor shows no script"
  exit 1
fi

# Blanking (the B hot key) turns the talent monitor black; again brings the script back.
xdotool key --clearmodifiers b
sleep 1
shot blanked
echo "talent monitor lit while blanked: $(lit blanked "$talent_area")"
if ! awk -v l="$(lit blanked "$talent_area")" 'BEGIN { exit !(l < 0.5) }'; then
  echo "FAIL: blanking does not turn the talent monitor black"
  exit 1
fi
xdotool key --clearmodifiers b
sleep 1
shot unblanked
echo "talent monitor lit after blanking: $(lit unblanked "$talent_area")"
if ! awk -v l="$(lit unblanked "$talent_area")" 'BEGIN { exit !(l > 5) }'; then
  echo "FAIL: the script does not come back after blanking"
  exit 1
fi
xdotool key --clearmodifiers Escape
sleep 0.5
quit_orvane
echo "passed"
