#!/usr/bin/env bash
# Runs every benchmark for a few frames (or a few milliseconds of Google
# Benchmark time) on the built data and checks that it finishes and prints its
# first figure. The figures themselves are not judged here: a benchmark that
# no longer starts is what this catches.
#   check_benches.sh BUILD_DIR        (exit 77: skipped, no data or no display)
set -uo pipefail
BUILD=$1
BIN=$BUILD/bin
DATA=$BUILD/data/
if [ ! -f "$DATA/vorn.quox2" ] || [ ! -f "$BIN/app.ini" ]; then
  echo "skipped: no default data (build the 'data' target first)"
  exit 77
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "skipped: no display (run under xvfb-run)"
  exit 77
fi
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
# In sanitizer builds whole programs are checked for memory errors but not for
# leaks: the GL driver is unloaded when the window library shuts down, and its
# one-time allocations can then no longer be told apart from ours (the
# modules' own suites check leaks).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
GB=--benchmark_min_time=0.01
failed=0
# name | arguments | a line the output must hold
while IFS='|' read -r name args expect; do
  [ -z "$name" ] && continue
  if [ ! -x "$BIN/$name" ]; then
    echo "$name: not built"
    failed=1
    continue
  fi
  # shellcheck disable=SC2086
  out=$(cd "$BIN" && timeout 120 ./$name $args 2>&1)
  rc=$?
  if [ $rc -ne 0 ]; then
    echo "$name $args: exit $rc"
    echo "$out" | tail -15
    failed=1
  elif ! grep -q -- "$expect" <<<"$out"; then
    echo "$name $args: no \"$expect\" in its output"
    echo "$out" | tail -15
    failed=1
  else
    echo "$name: $(grep -m1 -- "$expect" <<<"$out" | tr -s ' ')"
  fi
done <<EOF2
default_scene_bench|../data/ 10|frames per second
level_bench|10|frames per second
game_logic_bench|../data/ 10|attackers in flight
hud_bench|10 ../data/|first frame
text_bench|10|first frame
terrain_bench|../data/ 10|fps
video_bench||frames of
renderer_bench|20 5|frames per second
collision_bench|$GB|BM_
particles_bench|$GB|BM_
scene_bench|$GB|BM_
sound_bench|$GB|BM_
EOF2
exit $failed
