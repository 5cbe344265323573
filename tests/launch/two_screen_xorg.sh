#!/usr/bin/env bash
# A real X server with two monitors side by side for the two-screen smoke tests, on machines that
# have no such tool of their own: Xorg on the dummy driver, the operator monitor at (0,0) as the
# output's mode and the talent monitor right of it as a RandR monitor.
#   two_screen_xorg.sh start [N [OPERATOR TALENT]]   prints the DISPLAY (":N"); sizes as WIDTHxHEIGHT,
#                                                    1280x800 and 1920x1080 unless given
#   two_screen_xorg.sh stop N
set -eu
command=${1:-start}
number=${2:-9}
operator=${3:-1280x800}
talent=${4:-1920x1080}
# The same folder as the shared tool, so that the tests find the log and busy display numbers alike.
dir=/tmp/two-screen-x.$number

case "$command" in
start)
  opw=${operator%x*} oph=${operator#*x} taw=${talent%x*} tah=${talent#*x}
  width=$((opw + taw))
  height=$((oph > tah ? oph : tah))
  mkdir -p "$dir"
  cat >"$dir/xorg.conf" <<CONF
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual $width $height
  EndSubSection
EndSection
CONF
  Xorg ":$number" -noreset -nolisten tcp -config "$dir/xorg.conf" -logfile "$dir/xorg.log" >"$dir/out.log" 2>&1 &
  echo $! >"$dir/pid"
  export DISPLAY=":$number"
  # Up to a minute for the server to answer: it starts slowly on a busy machine.
  for _ in $(seq 300); do
    xrandr >/dev/null 2>&1 && break
    sleep 0.2
  done
  output=$(xrandr | awk '/ connected/ {print $1; exit}')
  if ! xrandr | grep -q "^   $operator "; then
    modeline=$(cvt "$opw" "$oph" 60 | awk '/Modeline/ {for (i = 3; i <= NF; i++) printf "%s ", $i}')
    # shellcheck disable=SC2086
    xrandr --newmode "$operator" $modeline >/dev/null 2>&1 || true
    xrandr --addmode "$output" "$operator" >/dev/null 2>&1 || true
  fi
  xrandr --output "$output" --mode "$operator" --pos 0x0
  xrandr --fb "${width}x${height}"
  # Physical sizes at 96 dpi, so that Qt reports ordinary logical sizes.
  xrandr --setmonitor TALENT "$taw/$((taw * 254 / 960))x$tah/$((tah * 254 / 960))+$opw+0" none
  echo ":$number"
  ;;
stop)
  [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null || true
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start [N [OPERATOR TALENT]] | stop N" >&2
  exit 2
  ;;
esac
