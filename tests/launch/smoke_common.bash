# Sourced by the tests that run the built program on an X server of their own, and again by the
# session each of them runs there. The caller sets orvane, script and work first.

smoke_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# fail REASON: the verdict, and the end of the test. The work folder keeps a mark of it, so that the
# script that started a session does not report the same end once more.
failed=
# In a command substitution the verdict goes to the error output, which is not taken as its value.
fail() {
  if [ "$BASH_SUBSHELL" -gt 0 ]; then echo "FAIL: $*" >&2; else echo "FAIL: $*"; fi
  failed=yes
  [ -d "${work:-}" ] && : >"$work/failed"
  exit 1
}
# set -e ends the test on the first command that fails, also on one in an assignment from $(...),
# where nothing else would say so. The command is kept, in functions too, so that the end can name
# it; a command substitution keeps it only in its own subshell, which is what is wanted.
failing_command=
set -E
trap 'failing_command="${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND"' ERR
# report_exit STATUS: a FAIL line for a test that set -e ended.
report_exit() {
  if [ "$1" -ne 0 ] && [ "$1" -ne 77 ] && [ -z "$failed" ] && [ ! -e "${work:-/nonexistent}/failed" ] &&
    [ -n "$failing_command" ]; then
    echo "FAIL: stopped with status $1 at $failing_command"
    [ -d "${work:-}" ] && : >"$work/failed"
  fi
  return 0
}
# at_exit COMMAND: run when the test ends, however it ends, after the verdict; the latest first.
exit_commands=
at_exit() { exit_commands="$1; $exit_commands"; }
trap 'report_exit $?; eval "$exit_commands"' EXIT

# await WHAT SECONDS COMMAND...: the command's output, once it succeeds and prints something, in
# found; it is run every tenth of a second, and when SECONDS have passed the test fails naming WHAT
# and what the command printed last. Windows appear, move and are made anew while the program and
# the window manager answer, each in its own time.
found=
await() {
  local what=$1 seconds=$2 deadline=$((${EPOCHREALTIME/./} + $(microseconds "$2")))
  shift 2
  while :; do
    if found=$("$@" 2>/dev/null) && [ -n "$found" ]; then
      return 0
    fi
    if [ "${EPOCHREALTIME/./}" -ge "$deadline" ]; then
      fail "waited ${seconds}s for $what${found:+ (last seen: ${found//$'\n'/; })}"
    fi
    sleep 0.1
  done
}
# microseconds SECONDS: SECONDS, which may be a fraction, in microseconds.
microseconds() { awk -v s="$1" 'BEGIN { printf "%d", s * 1000000 }'; }
# within SECONDS COMMAND...: the command run every tenth of a second until it succeeds; fails, without
# ending the test, once SECONDS have passed.
within() {
  local deadline=$((${EPOCHREALTIME/./} + $(microseconds "$1")))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "${EPOCHREALTIME/./}" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
# await_true WHAT SECONDS COMMAND...: as await, for a command that answers by its status alone.
await_true() {
  local what=$1 seconds=$2
  shift 2
  await "$what" "$seconds" succeeds "$@"
}
succeeds() { "$@" && echo yes; }

# claim_display: a display number no running server and no other test holds, in display_number,
# held until this shell and what it started end. Tests start many at once: the number is locked
# before it is used, and the lock goes with the last process that holds it, also after a kill.
# ORVANE_TEST_DISPLAY is the first one tried, for a machine that keeps test servers to a range.
claim_display() {
  local number=${ORVANE_TEST_DISPLAY:-$((40 + $$ % 50))}
  while :; do
    if [ ! -e "/tmp/.X11-unix/X$number" ] && [ ! -e "/tmp/.X$number-lock" ] &&
      [ ! -e "/tmp/two-screen-x.$number" ]; then
      exec {display_lock}>"/tmp/orvane-test-display-$number.lock"
      # Looked at again once locked: a test that held the number may have started its server.
      if flock -n "$display_lock" && [ ! -e "/tmp/.X11-unix/X$number" ] &&
        [ ! -e "/tmp/.X$number-lock" ] && [ ! -e "/tmp/two-screen-x.$number" ]; then
        display_number=$number
        return 0
      fi
      exec {display_lock}>&-
    fi
    number=$((number + 1))
  done
}

# start_x_and_window_manager SCREEN WM: on the claimed $DISPLAY, an Xvfb with one screen of SCREEN
# (WIDTHxHEIGHTxDEPTH) and the window manager WM on it, their processes in xvfb_pid and wm_pid. The
# server counts as up only while its own process lives, so that another one answering on the number
# is never taken for it; a window manager that ends before it has taken the screen (as one started
# while the server still settles can) is started again, for up to thirty seconds.
start_x_and_window_manager() {
  local deadline=$((${EPOCHREALTIME/./} + 30000000)) wm=$2
  Xvfb "$DISPLAY" -screen 0 "$1" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  until xwininfo -root >/dev/null 2>&1 && kill -0 "$xvfb_pid" 2>/dev/null; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null || [ "${EPOCHREALTIME/./}" -ge "$deadline" ]; then
      echo "SKIPPED: Xvfb did not start on $DISPLAY: $(tail -3 "$work/xvfb.log" | tr '\n' ' ')"
      exit 77
    fi
    sleep 0.1
  done
  "$wm" >"$work/$wm.log" 2>&1 &
  wm_pid=$!
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q '0x'; do
    [ "${EPOCHREALTIME/./}" -lt "$deadline" ] ||
      fail "$wm did not take the screen within 30s ($(tail -3 "$work/$wm.log" | tr '\n' ' '))"
    if ! kill -0 "$wm_pid" 2>/dev/null; then
      "$wm" >>"$work/$wm.log" 2>&1 &
      wm_pid=$!
    fi
    sleep 0.1
  done
}

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

# write_settings ENTRIES: a settings file in the work folder holding the property-list entries given
# (lines of <key>…</key> and a value), as the program writes its own.
write_settings() {
  mkdir -p "$work/config/Orvane"
  printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
    '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">' \
    '<plist version="1.0">' '<dict>' "$1" '</dict>' '</plist>' >"$work/config/Orvane/Orvane.plist"
}

# run_session SCREEN: $work/session.sh on a new virtual server with one screen of SCREEN
# (WIDTHxHEIGHTxDEPTH). The session gets the work folder, the program and this file's folder.
# The session gives its own verdict; a session that could not give one is named here.
run_session() {
  local status=0
  claim_display
  xvfb-run -n "$display_number" -s "-screen 0 $1" \
    bash "$work/session.sh" "$work" "$orvane" "$smoke_dir" || status=$?
  if [ "$status" -ne 0 ]; then
    [ -e "$work/failed" ] || echo "FAIL: the session on display :$display_number ended with status $status"
    failed=yes
    exit "$status"
  fi
}

# start_program: in a session, the program on the work folder's script and settings, its output in
# orvane.log; sets pid (ended with the session) and window.
start_program() {
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
  export QT_QPA_PLATFORM=xcb
  "$orvane" "$work/Script.ovdocument" >"$work/orvane.log" 2>&1 &
  pid=$!
  at_exit 'kill $pid 2>/dev/null || true'
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "Script" | head -1) ||
    fail "the program showed no window named Script within 60s (its output: $work/orvane.log)"
}

# window_geometry: the window's X, Y, WIDTH and HEIGHT.
window_geometry() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
}

# wait_for_exit [SECONDS]: up to SECONDS (sixty unless told) for the program to end by itself; a
# quit that saves and closes its windows takes its time on a busy machine.
wait_for_exit() {
  within "${1:-60}" program_ended || true
}
program_ended() { ! kill -0 "$pid" 2>/dev/null; }

# popup_windows: how many menus and other popups of the program's show (windows no window manager
# frames): a menu is open once there is one more. A window of another kind, such as the preview panel
# shown late on a busy machine, is no menu.
popup_windows() {
  local id count=0
  for id in $(xdotool search --onlyvisible --class orvane 2>/dev/null); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Override Redirect State: yes' && count=$((count + 1))
  done
  echo "$count"
}

# menu_opened COUNT: succeeds once more menus and popups show than COUNT, as popup_windows counted
# them before the key that opens one.
menu_opened() { [ "$(popup_windows)" -gt "$1" ]; }

# popups_at_most COUNT: succeeds once no more menus and popups show than COUNT: a menu closed.
popups_at_most() { [ "$(popup_windows)" -le "$1" ]; }

# await_steady WHAT SECONDS HOLD COMMAND...: as await, for a command whose output has stayed the same
# for HOLD seconds: a window the program sizes or places in more than one step has come to rest.
# await runs the command in a subshell of its own, so what was seen last is kept in a file.
await_steady() {
  local what=$1 seconds=$2 hold=$3
  shift 3
  rm -f "$work/steady"
  await "$what" "$seconds" steady "$hold" "$@"
}
steady() {
  local hold=$1 now last='' since=${EPOCHREALTIME/./}
  shift
  now=$("$@") || return 1
  [ -e "$work/steady" ] && { read -r since; IFS= read -r last; } <"$work/steady"
  if [ "$now" != "$last" ]; then
    since=${EPOCHREALTIME/./}
    printf '%s\n%s\n' "$since" "$now" >"$work/steady"
  fi
  echo "$now"
  [ $((${EPOCHREALTIME/./} - since)) -ge "$(microseconds "$hold")" ]
}

shot() { import -window root "$work/$1.png"; }
# await_shot WHAT SECONDS SHOT TEST...: screenshots taken as SHOT until TEST... SHOT succeeds.
await_shot() {
  local what=$1 seconds=$2
  shift 2
  await "$what" "$seconds" shot_passes "$@"
}
shot_passes() {
  local name=$1
  shift
  shot "$name" && "$@" "$name" && echo yes
}
# await_change WHAT SECONDS SHOT AREA: a new shot as SHOT once AREA differs from the shot SHOT in more
# than 500 pixels.
await_change() {
  cp "$work/$3.png" "$work/$3-before.png"
  await "$1" "$2" shot_passes "$3" differs_from_before "$4"
}
differs_from_before() {
  local moved
  moved=$(changed "$2-before" "$2" "$1")
  echo "$moved pixels changed"
  [ "${moved%%.*}" -gt 500 ]
}
# await_still WHAT SECONDS SHOT AREA: two shots SHOT-1 and SHOT-2 half a second apart that are the same in
# AREA: what moved has come to rest.
await_still() {
  await "$1" "$2" still_pair "$3" "$4"
}
still_pair() { pair_moved "$1" "$2" -eq 0; }
# await_quiet WHAT SECONDS SHOT AREA: as await_still, but for two shots that differ in fewer than 200
# pixels of AREA: drawn and at rest but for a blinking caret, which a text field may keep up forever.
await_quiet() {
  await "$1" "$2" quiet_pair "$3" "$4"
}
quiet_pair() { pair_moved "$1" "$2" -lt 200; }
# await_motion WHAT SECONDS SHOT AREA: two shots SHOT-1 and SHOT-2 half a second apart that differ in
# more than 500 pixels of AREA: something moves.
await_motion() {
  await "$1" "$2" moving_pair "$3" "$4"
}
moving_pair() { pair_moved "$1" "$2" -gt 500; }
# pair_moved SHOT AREA TEST COUNT: two shots half a second apart (pair_span seconds when set), and
# whether the pixels that changed between them in AREA pass "[ CHANGED TEST COUNT ]". The span is
# the measure itself: what moves slowly shows over a longer one.
pair_moved() {
  local span=${pair_span:-0.5}
  shot "$1-1" && sleep "$span" && shot "$1-2" || return 1
  local moved
  moved=$(changed "$1-1" "$1-2" "$2")
  echo "$moved pixels changed in ${span}s"
  [ "${moved%%.*}" "$3" "$4" ]
}
# lit_passes AREA TEST LEVEL SHOT: whether how much of AREA is lit in SHOT passes "[ LIT TEST LEVEL ]"
# (with awk, so LIT may be a fraction; TEST is one of < > <= >=); for shot_passes.
lit_passes() {
  local level
  level=$(lit "$4" "$1")
  echo "lit $level"
  awk -v l="$level" -v n="$3" -v t="$2" 'BEGIN { exit !(t == "<" ? l < n : t == ">" ? l > n : t == "<=" ? l <= n : l >= n) }'
}
# lit SHOT AREA: how much of the area is lit (0...1000): the script is white on black.
lit() { convert "$work/$1.png" -crop "$2" +repage -colorspace Gray -format '%[fx:mean*1000]' info:; }
# changed SHOT SHOT [AREA]: how many pixels differ between two shots, in the area when one is given.
changed() { compare -metric AE ${3:+-crop "$3"} "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }

# cpu_share SECONDS: the share of one core, in percent, that the program ($pid) used over SECONDS.
# The threads' run times in nanoseconds (schedstat), not /proc/PID/stat's clock ticks: an idle
# program's share is a few ticks in ten seconds, so one tick more or less decided the verdict.
# The sum is printed as a float with no decimals: mawk's %d stops at 2^31, which is 2.1 seconds of
# run time, after which every share read as nothing.
cpu_nanoseconds() { cat /proc/"$pid"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%.0f", n }'; }
cpu_share() {
  local before after
  before=$(cpu_nanoseconds)
  sleep "$1"
  after=$(cpu_nanoseconds)
  awk -v b="$before" -v a="$after" -v s="$1" 'BEGIN { printf "%.2f", (a - b) / 1e9 / s * 100 }'
}
below() { awk -v s="$1" -v l="$2" 'BEGIN { exit !(s < l) }'; }
# idle_share LIMIT: the program's share of a core over ten seconds once it has settled (two seconds in
# a row under LIMIT, waited for up to a minute: a start or a mode change finishes its work first, for
# as long as a busy machine makes it take). A share over LIMIT is measured once more, so work the
# program does once (an autosave) is told from a cost that stays: only the second figure is final.
idle_share() {
  local quiet=0 share
  for _ in $(seq 60); do
    share=$(cpu_share 1)
    if below "$share" "$1"; then quiet=$((quiet + 1)); else quiet=0; fi
    [ "$quiet" -lt 2 ] || break
  done
  share=$(cpu_share 10)
  if ! below "$share" "$1"; then
    echo "(${share}% of a core over the first ten seconds; measuring again)" >&2
    share=$(cpu_share 10)
  fi
  echo "$share"
}
