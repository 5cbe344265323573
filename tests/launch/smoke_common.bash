# Sourced by the tests that run the built program on an X server of their own, and again by the
# session each of them runs there. The caller sets orvane, script and work first.

smoke_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# smoke_require TOOL...: every tool named, or a skip.
smoke_require() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it as root)"
      exit 77
    fi
  done
}

# fresh_work: a new work folder with empty settings, data and cache folders and a copy of the script,
# so that nothing of an earlier run or of the user's own settings reaches the program.
fresh_work() {
  rm -rf "$work"
  mkdir -p "$work/config" "$work/data" "$work/cache"
  cp -r "$script" "$work/Script.ovdocument"
}

# run_session SCREEN: $work/session.sh on a new virtual server with one screen of SCREEN
# (WIDTHxHEIGHTxDEPTH). The session gets the work folder, the program and this file's folder.
run_session() {
  # A machine that keeps test servers to a range names its first display in ORVANE_TEST_DISPLAY.
  xvfb-run -a ${ORVANE_TEST_DISPLAY:+-n "$ORVANE_TEST_DISPLAY"} -s "-screen 0 $1" \
    bash "$work/session.sh" "$work" "$orvane" "$smoke_dir"
}

# start_program: in a session, the program on the work folder's script and settings, its output in
# orvane.log; sets pid (ended with the session) and window.
start_program() {
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
  export QT_QPA_PLATFORM=xcb
  "$orvane" "$work/Script.ovdocument" >"$work/orvane.log" 2>&1 &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "Script" | head -1)
}

# window_geometry: the window's X, Y, WIDTH and HEIGHT.
window_geometry() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
}

# wait_for_exit: up to five seconds for the program to end by itself.
wait_for_exit() {
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
}

shot() { import -window root "$work/$1.png"; }
# lit SHOT AREA: how much of the area is lit (0...1000): the script is white on black.
lit() { convert "$work/$1.png" -crop "$2" +repage -colorspace Gray -format '%[fx:mean*1000]' info:; }
# changed SHOT SHOT [AREA]: how many pixels differ between two shots, in the area when one is given.
changed() { compare -metric AE ${3:+-crop "$3"} "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }

# cpu_share SECONDS: the share of one core, in percent, that the program ($pid) used over SECONDS.
cpu_share() {
  local before after
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep "$1"
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  awk -v b="$before" -v a="$after" -v s="$1" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "%.2f", (a - b) / hz / s * 100 }'
}
