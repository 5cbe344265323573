#!/usr/bin/env bash
# Sets up what is missing, builds the program and opens Orvane on FILE, or on the sample script.
#   scripts/run.sh [FILE]
# In the window: Ctrl+Return enters Prompt mode, the space bar starts and pauses the prompter, the
# number keys set the speed, Esc returns to Edit mode.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

file=${1:-"$top/resources/Sample Script.ovdocument"}
if [[ ! -e "$file" ]]; then
  echo "run.sh: no such file: $file" >&2
  exit 1
fi
file=$(realpath "$file")

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "Run Orvane on a virtual display instead:" >&2
  echo "  apt-get install xvfb && xvfb-run -a scripts/run.sh ${1:+\"$1\"}" >&2
  exit 2
fi

scripts/deps.sh

build=${ORVANE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)" --target orvane
exec "$build/app/orvane" "$file"
