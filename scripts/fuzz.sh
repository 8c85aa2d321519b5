#!/usr/bin/env bash
# Short runs of the fuzz targets (clang and libFuzzer): every
# tools/fuzz/run_*.sh with FUZZ_SECONDS (default 60) each. Fails on a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found, fuzzing skipped"
  exit 0
fi
for run in tools/fuzz/run_*.sh; do
  [ -e "$run" ] || continue
  echo "-- $run"
  bash "$run" "${FUZZ_SECONDS:-60}"
done
