# Sourced by the tests that run the built program on a real X server with two monitors (the dummy
# driver, started by the two-screen-x tool). The caller sets orvane, work and two_screen_x first,
# and script when it copies one in with fresh_settings.
# Exits 77 (skipped) only when the X server, its dummy driver or the X tools cannot be had.

source "$(dirname "${BASH_SOURCE[0]}")/smoke_common.bash"

# two_screen_require TOOL...: the tool, the X tools named and the dummy driver, or a skip.
two_screen_require() {
  if [ ! -x "$two_screen_x" ]; then
    echo "SKIPPED: $two_screen_x is missing"
    exit 77
  fi
  smoke_require Xorg xrandr cvt xdotool import convert "$@"
  if ! ls /usr/lib/xorg/modules/drivers/dummy_drv.so >/dev/null 2>&1; then
    echo "SKIPPED: the X server's dummy driver is not installed (xserver-xorg-video-dummy)"
    exit 77
  fi
}

# A display number of our own, so that parallel runs and a developer's own servers are left alone.
claim_display
pid=
stop_all() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  "$two_screen_x" stop "$display_number" >/dev/null 2>&1 || true
}
at_exit stop_all

# await_window_manager NAME: until the window manager just started has taken the screen (needs
# xprop); a window shown before that is never framed by it.
window_manager_check() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -o '0x[0-9a-f]*'; }
await_window_manager() { await "$1 to take the screen" 30 window_manager_check; }

# settings_file [EXTRA_PLIST_LINES]: a settings file choosing the second display, plus the lines given.
settings_file() {
  write_settings "$(printf '\t<key>screenMode</key>\n\t<integer>1</integer>\n%s' "${1:-}")"
}

# fresh_settings [EXTRA_PLIST_LINES]: fresh settings, data and cache folders and a fresh copy of the
# script.
fresh_settings() {
  rm -rf "$work/config" "$work/data" "$work/cache" "$work/Script.ovdocument"
  mkdir -p "$work/data" "$work/cache"
  cp -r "$script" "$work/Script.ovdocument"
  settings_file "${1:-}"
}

# start_x SIZE SIZE: the server with an operator and a talent monitor of those sizes.
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

# start_orvane NAME: the program on the script, its output in orvane-NAME.log; sets pid and operator.
start_orvane() {
  XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=xcb \
    "$orvane" "$work/Script.ovdocument" >"$work/orvane-$1.log" 2>&1 &
  pid=$!
  operator=$(timeout 60 xdotool search --sync --onlyvisible --name "Script" | head -1) ||
    fail "the program showed no window named Script within 60s (its output: $work/orvane-$1.log)"
}

quit_orvane() {
  xdotool key --clearmodifiers ctrl+q || true
  # A program that has not ended by then is ended here: its quitting is not what is tried.
  wait_for_exit 20
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

# The visible top-level windows that sit on the talent monitor (from talent_x, talent_width wide),
# as "X Y WIDTH HEIGHT".
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

# covers GEOMETRY: the one talent window, once it stands exactly at "X Y WIDTH HEIGHT".
covers() { local windows; windows=$(talent_windows); [ "$windows" = "$1" ] && echo "$windows"; }

# enter_prompt_mode NAME AREA: Ctrl+Return, once the operator's monitor (AREA) is at rest, and that
# monitor changed by it and at rest again, so that the next key goes to Prompt mode and not into the
# script. Leaves the shots NAME-edit-1/2 and NAME-prompt-1/2 (Prompt mode at rest, but for the
# toolbar's timer, which may tick by itself).
enter_prompt_mode() {
  await_quiet "the operator's monitor at rest before Ctrl+Return" 60 "$1-edit" "$2"
  xdotool key --clearmodifiers ctrl+Return
  await_change "Ctrl+Return to enter Prompt mode" 60 "$1-edit-2" "$2"
  await_quiet "Prompt mode at rest" 60 "$1-prompt" "$2"
}
