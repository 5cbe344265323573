#!/usr/bin/env bash
# The built program under a real window manager on one 1600x1000 screen, as an operator prompts:
# Ctrl+Return, Space, Space, Esc, three times in each launch, windowed and full-screen, on an idle
# machine and beside six busy processes. After every change of mode the script's window is mapped
# (the window manager shows it), and once Edit mode is back no blocking window is left on screen.
#   mode_change_mapping_smoke.sh ORVANE SCRIPT WORKDIR WINDOW_MANAGER
# ORVANE_MAPPING_LAUNCHES sets the launches per variant (1 unless set; 20 for a long run).
# Exits 77 (skipped) only when the X tools or the window manager cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3
wm=$4
launches=${ORVANE_MAPPING_LAUNCHES:-1}
cycles=3
# A mode change, and the window manager taking the window in again, finish well within this even on
# a loaded machine; a window still unmapped after it stays unmapped.
change_seconds=10

source "$(dirname "$0")/smoke_common.bash"
smoke_require Xvfb xdotool xwininfo xprop import "$wm"

rm -rf "$work"
mkdir -p "$work"

claim_display
export DISPLAY=":$display_number"

xvfb_pid= wm_pid= pid=
busy_pids=()
stop_busy() {
  local busy
  for busy in "${busy_pids[@]}"; do
    kill "$busy" 2>/dev/null || true
  done
  busy_pids=()
}
stop_program() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  pid=
}
stop_everything() {
  stop_busy
  stop_program
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
at_exit stop_everything

fail() {
  echo "FAIL: $*"
  failed=yes
  shot failure || true
  echo "(screenshot: $work/failure.png; program output: $work/orvane.log)"
  exit 1
}

start_x_and_window_manager 1600x1000x24 "$wm"

# The program's windows named after the script (the script's window; Qt may make it anew).
script_windows() { xdotool search --name '^Script' 2>/dev/null || true; }
# mapped_in MODE: the viewable script window whose title-bar buttons say it is in MODE (prompt: no
# close button, edit: one), or nothing.
mapped_in() {
  local id hints functions
  for id in $(script_windows); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    hints=$(xprop -id "$id" _MOTIF_WM_HINTS 2>/dev/null) || continue
    functions=$(awk -F'[=,]' '/_MOTIF_WM_HINTS/ && NF >= 3 {print $3}' <<<"$hints")
    [ -n "$functions" ] || continue
    if [ "$1" = prompt ] && ! (((functions & 0x20))); then
      echo "$id"
    elif [ "$1" = edit ] && (((functions & 0x20))); then
      echo "$id"
    fi
  done | head -1
}
# The map states of the script windows, for the verdict.
map_states() {
  local id
  for id in $(script_windows); do
    echo "$id $(xwininfo -id "$id" 2>/dev/null | awk -F': ' '/Map State/ {print $2}')"
  done | tr '\n' ' '
}
# The program's viewable windows no window manager handles that cover most of the screen: blocking
# windows.
blocking_windows() {
  local id info
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
    xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $pid\$" || continue
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    grep -q 'Override Redirect State: yes' <<<"$info" || continue
    awk -v id="$id" '/^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {if (w >= 800 && h >= 500) print id}' <<<"$info"
  done
}
# await_mode MODE WHAT: the script window mapped in MODE within change_seconds; sets window.
window=
await_mode() {
  local deadline=$((${EPOCHREALTIME/./} + change_seconds * 1000000))
  while :; do
    window=$(mapped_in "$1")
    [ -n "$window" ] && return 0
    if [ "${EPOCHREALTIME/./}" -ge "$deadline" ]; then
      fail "$2: no mapped script window in ${1^} mode after ${change_seconds}s (script windows: $(map_states))"
    fi
    sleep 0.1
  done
}
# key KEYS...: typed into the script window, which the operator has clicked before.
key() {
  timeout 5 xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --clearmodifiers "$@"
}

# run_launch WINDOWED LABEL: one launch on fresh settings, entering and leaving Prompt mode.
run_launch() {
  local windowed=$1 label=$2 cycle
  rm -rf "$work/config" "$work/data" "$work/cache" "$work/Script.ovdocument"
  mkdir -p "$work/data" "$work/cache"
  cp -r "$script" "$work/Script.ovdocument"
  write_settings "$(printf '\t<key>useWindowedPrompting</key>\n\t<%s/>' "$windowed")"
  XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb \
    "$orvane" "$work/Script.ovdocument" >"$work/orvane.log" 2>&1 &
  pid=$!
  change_seconds=30 await_mode edit "$label, start"
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  for cycle in $(seq "$cycles"); do
    key ctrl+Return
    await_mode prompt "$label, cycle $cycle, Ctrl+Return"
    key space
    sleep 0.3
    key space
    key Escape
    await_mode edit "$label, cycle $cycle, Esc"
    local left
    left=$(blocking_windows)
    [ -z "$left" ] || fail "$label, cycle $cycle: blocking windows left in Edit mode: $left"
  done
  stop_program
}

for windowed in true false; do
  for load in idle busy; do
    if [ "$load" = busy ]; then
      for _ in 1 2 3 4 5 6; do
        yes >/dev/null &
        busy_pids+=($!)
      done
    fi
    variant="$([ "$windowed" = true ] && echo windowed || echo full-screen), $load"
    for launch in $(seq "$launches"); do
      run_launch "$windowed" "$wm, $variant, launch $launch"
    done
    echo "$wm, $variant: $launches launches, the window mapped after each of $((launches * cycles * 2)) mode changes"
    stop_busy
  done
done
echo "passed"
