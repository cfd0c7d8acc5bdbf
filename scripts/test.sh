#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs every test. X11 tests get a private Xvfb with
# openbox, started here and stopped on exit. Extra arguments go to ctest (e.g. -R Date).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

pids=()
cleanup() {
  ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done

# Two slots a core: a test takes two, except an end-to-end journey that mostly waits for a task to
# fall due on the wall clock, which takes one and so runs beside the others (cmake/orvane.cmake).
ctest --test-dir build -j"$((2 * $(nproc)))" --output-on-failure "$@"
