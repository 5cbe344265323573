#!/usr/bin/env bash
# The built program started on hostile files, each start capped in address space (ulimit -v) and
# time (timeout), so a start that blocks or reads without a limit fails here instead of hanging:
# a settings file that is a pipe, a link to /dev/zero or 50 MB; a script of 2 GB; a script with
# damaged properties; 300 files that are not there; a text file that is a link to /dev/zero and a
# pipe named as an RTF file; an HTML file with one attribute of 40 MB.
#   hostile_files_smoke.sh ORVANE SCRIPT WORKDIR LIMIT_KB
# Exits 77 (skipped) only when the address space cannot be capped for this build.
set -euo pipefail

orvane=$1
script=$2
work=$3
limit_kb=$4

if ldd "$orvane" | grep -q 'libasan'; then
  echo "SKIPPED: built with the address sanitizer"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work"

# prepare NAME: a fresh settings and data folder for one start.
prepare() {
  home=$work/$1
  mkdir -p "$home/config/Orvane" "$home/data" "$home/cache"
  settings=$home/config/Orvane/Orvane.plist
}

# run NAME ARGUMENTS...: one unattended start of the prepared folder; sets $status and leaves the
# program's log in $work/NAME.out.
run() {
  local name=$1
  shift
  set +e
  (
    ulimit -v "$limit_kb"
    export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache
    export QT_QPA_PLATFORM=offscreen ORVANE_QUIT_AFTER_LAUNCH=1
    exec timeout -k 5 30 "$orvane" "$@"
  ) >"$home/stdout" 2>&1
  status=$?
  set -e
  cat "$home"/data/Orvane/Logs/*.log >"$work/$name.out" 2>/dev/null || cp "$home/stdout" "$work/$name.out"
  echo "--- $name: exit status $status, log:"
  tail -n 12 "$work/$name.out"
  if [ "$status" -ne 0 ]; then
    echo "FAIL: $name: the start ended with status $status (124 is the timeout)"
    exit 1
  fi
}

fail() {
  echo "FAIL: $*"
  exit 1
}

# Each settings file the program cannot read is set aside, the start goes on, the user is told.
settings_case() {
  local name=$1
  run "$name"
  [ -e "$settings.damaged" ] || [ -L "$settings.damaged" ] || fail "$name: the settings file was not set aside"
  grep -q 'it was kept as' "$work/$name.out" || fail "$name: the log does not say where the old file is"
  grep -q 'Dismissed an alert of an unattended start' "$work/$name.out" ||
    fail "$name: the user was not told that the settings were reset"
}

prepare pipe
mkfifo "$settings"
settings_case pipe

prepare zero
ln -s /dev/zero "$settings"
settings_case zero

prepare large
truncate -s 50M "$settings"
settings_case large

# Two gigabytes of text that cost the disk nothing: refused at once for want of memory.
prepare long
cp -r "$script" "$work/Long.ovdocument"
truncate -s 2G "$work/Long.ovdocument/Content.rtfd/TXT.rtf"
run long "$work/Long.ovdocument"
grep -q 'not enough memory to open .Long.ovdocument' "$work/long.out" || fail "the 2 GB script was not refused"
rm -rf "$work/Long.ovdocument"

# Damaged properties: the text opens, the file stays as it was.
prepare damaged
cp -r "$script" "$work/Damaged.ovdocument"
head -c 200 "$script/Properties.plist" >"$work/Damaged.ovdocument/Properties.plist"
cp "$work/Damaged.ovdocument/Properties.plist" "$work/damaged-properties"
run damaged "$work/Damaged.ovdocument"
grep -q 'was opened with parts left out' "$work/damaged.out" || fail "the damaged script did not open with its text"
cmp -s "$work/damaged-properties" "$work/Damaged.ovdocument/Properties.plist" ||
  fail "the damaged script was written before the user saved it"

# Three hundred files that are not there: one alert.
prepare missing
missing=()
for i in $(seq 1 300); do missing+=("$work/Missing $i.ovdocument"); done
run missing "${missing[@]}"
alerts=$(grep -c 'Dismissed an alert of an unattended start' "$work/missing.out" || true)
[ "$alerts" -eq 1 ] || fail "300 missing files made $alerts alerts"

# A text file that is endless zeros and a pipe under an RTF name: refused at once and named, and the
# start goes on to its window.
prepare devices
ln -s /dev/zero "$work/x.txt"
mkfifo "$work/fifo.rtf"
run devices "$work/x.txt" "$work/fifo.rtf"
grep -q 'x.txt.*It is a device, not a file' "$work/devices.out" || fail "the link to /dev/zero was not refused by name"
grep -q 'fifo.rtf.*It is a named pipe, not a file' "$work/devices.out" || fail "the pipe was not refused by name"
rm -f "$work/x.txt" "$work/fifo.rtf"

# One attribute of 40 MB nobody reads: the file opens within the cap, its attribute never copied.
prepare attribute
{
  printf '<html><body><p title="'
  head -c 40000000 /dev/zero | tr '\0' 'a'
  printf '">Attribute read</p></body></html>'
} >"$work/Attribute.html"
run attribute "$work/Attribute.html"
if grep -q 'not enough memory\|couldn.t be opened' "$work/attribute.out"; then
  fail "the HTML file with a long attribute was not opened within the cap"
fi
rm -f "$work/Attribute.html"
echo "passed"
