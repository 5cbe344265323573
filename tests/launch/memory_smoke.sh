#!/usr/bin/env bash
# The built program with its address space capped (ulimit -v): a script far too long to open under
# the cap must fail as an error for that open alone, while the program and the small script opened
# beside it carry on to a normal quit. An allocation failure used to abort the whole program.
#   memory_smoke.sh ORVANE SCRIPT WORKDIR LIMIT_KB BIG_MB
# LIMIT_KB must leave the program room to start with SCRIPT and be far below what BIG_MB of text
# needs; the first run below checks the first half of that.
# Exits 77 (skipped) only when the address space cannot be capped for this build.
set -euo pipefail

orvane=$1
script=$2
work=$3
limit_kb=$4
big_mb=$5

if ldd "$orvane" | grep -q 'libasan'; then
  # The address sanitizer reserves terabytes of address space at start, so no cap can be set.
  echo "SKIPPED: built with the address sanitizer"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work"
cp -r "$script" "$work/Small.ovdocument"
cp -r "$script" "$work/Second.ovdocument"
cp -r "$script" "$work/Big.ovdocument"
{
  printf '{\\rtf1\\ansi\\ansicpg1252{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n\\f0\\fs96 '
  yes 'Good evening. This is the long script, read line after line until the end of the evening.\par' |
    head -c "$((big_mb * 1024 * 1024))" || true # yes ends on a broken pipe
  printf '}\n'
} >"$work/Big.ovdocument/Content.rtfd/TXT.rtf"

# run NAME DOCUMENTS...: one start under the cap in a fresh settings and data folder; sets $status
# and leaves everything the program wrote, its log and its output, in $work/NAME.out.
run() {
  local name=$1
  shift
  local home=$work/$name
  mkdir -p "$home/config" "$home/data" "$home/cache"
  set +e
  (
    ulimit -v "$limit_kb"
    export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache
    export QT_QPA_PLATFORM=offscreen ORVANE_QUIT_AFTER_LAUNCH=1
    exec timeout -k 5 60 "$orvane" "$@"
  ) >"$home/stdout" 2>&1
  status=$?
  set -e
  # The log file takes what the program prints too; its output counts when there is no log.
  cat "$home"/data/Orvane/Logs/*.log >"$work/$name.out" 2>/dev/null || cp "$home/stdout" "$work/$name.out"
  echo "--- $name: exit status $status, log:"
  tail -n 30 "$work/$name.out"
}

run alone "$work/Small.ovdocument"
if [ "$status" -ne 0 ]; then
  echo "FAIL: the program does not start with the small script under ${limit_kb} KB; raise the cap"
  exit 1
fi
if grep -q 'not enough memory' "$work/alone.out"; then
  echo "FAIL: the small script alone does not fit under ${limit_kb} KB; raise the cap"
  exit 1
fi

# Two scripts that both open end the unattended start as one does; the quit request used to be
# taken by a loop of the second open and the program stayed up.
run two "$work/Small.ovdocument" "$work/Second.ovdocument"
if [ "$status" -ne 0 ]; then
  echo "FAIL: the program ended with status $status opening two small scripts"
  exit 1
fi

run both "$work/Small.ovdocument" "$work/Big.ovdocument"
if [ "$status" -ne 0 ]; then
  echo "FAIL: the program ended with status $status opening a ${big_mb} MB script under ${limit_kb} KB"
  exit 1
fi
if ! grep -q 'not enough memory to open .Big' "$work/both.out"; then
  echo "FAIL: no 'not enough memory to open' error for the long script"
  exit 1
fi
# A hundred megabytes of text is not worth keeping once it has done its work.
rm -rf "$work/Big.ovdocument"
echo "passed"
