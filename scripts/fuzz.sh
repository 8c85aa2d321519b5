#!/usr/bin/env bash
# Builds the fuzz targets (tools/fuzz) with clang and runs every one for
# SECONDS (default 60) on one core, from a seed corpus its seed writer makes.
# Prints one line per target: its parser, executions, coverage, CPU seconds
# and result. Fails on any crash, leak, timeout or out-of-memory; the input
# that did it is kept in <build>/fuzz-artifacts/.
#   scripts/fuzz.sh [--cpu] [SECONDS] [TARGET...]
# With --cpu, SECONDS are CPU seconds of the fuzzer rather than wall time, for
# long runs on a shared machine (the corpus in <build>/fuzz-corpus/ grows from
# run to run, so a long run can be split). Run such a fuzzer with nothing
# paused under it: libFuzzer's unit timeout runs on the wall clock.
# Environment: FUZZ_BUILD (default build-fuzz), JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
CPU_MODE=0
if [ "${1:-}" = "--cpu" ]; then
  CPU_MODE=1
  shift
fi
SECONDS_EACH=${1:-60}
shift || true
if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found, fuzzing skipped"
  exit 0
fi
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DVORN_FUZZ=ON -DBUILD_TESTING=OFF "${LAUNCHER[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target fuzz_all -j "${JOBS:-2}" >"$BUILD/fuzz-build.log" 2>&1 ||
  { tail -40 "$BUILD/fuzz-build.log"; echo "fuzz: build failed"; exit 1; }

if [ $# -gt 0 ]; then TARGETS=("$@"); else mapfile -t TARGETS < <(grep -v '^$' "$BUILD/fuzz_targets.txt"); fi
export LSAN_OPTIONS="suppressions=$ROOT/tools/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ARTIFACTS="$BUILD/fuzz-artifacts"
mkdir -p "$ARTIFACTS"
failed=0
for t in "${TARGETS[@]}"; do
  corpus="$BUILD/fuzz-corpus/$t"
  mkdir -p "$corpus"
  "$BUILD/bin/${t}_fuzz_seeds" "$corpus" >/dev/null 2>&1 || { echo "fuzz: $t: seed writer failed"; failed=1; continue; }
  dict=()
  [ -f "tools/fuzz/$t.dict" ] && dict=(-dict="tools/fuzz/$t.dict")
  log="$BUILD/fuzz-$t.log"
  # The video decoder bounds itself (AVI_TIME_LIMIT for the open and for each
  # of the three frames the target asks for): a unit is stuck only past that.
  timeout=10
  [ "$t" = video ] && timeout=45
  # -close_fd_mask=2: the readers' messages stay out of the output (the
  # fuzzer's and the sanitizers' reports still show).
  limit=(-max_total_time="$SECONDS_EACH")
  [ $CPU_MODE = 1 ] && limit=()
  set +e
  "$BUILD/bin/${t}_fuzz" "${dict[@]}" "${limit[@]}" -rss_limit_mb=2048 -max_len=65536 \
    -timeout="$timeout" -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$ARTIFACTS/$t-" "$corpus" >"$log" 2>&1 &
  pid=$!
  cpu=0
  stopped=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.5
    # user + system time of the fuzzer, from /proc (fields 14 and 15)
    if stat=$(cat "/proc/$pid/stat" 2>/dev/null); then
      read -r -a f <<<"${stat##*) }"
      cpu=$(((f[11] + f[12]) / $(getconf CLK_TCK)))
    fi
    if [ $CPU_MODE = 1 ] && [ "$cpu" -ge "$SECONDS_EACH" ] && [ $stopped = 0 ]; then
      kill -INT "$pid"
      stopped=1
    fi
  done
  wait "$pid"
  rc=$?
  # Stopped by us: libFuzzer leaves with its interrupt code after its report.
  [ $stopped = 1 ] && [ $rc -eq 72 ] && rc=0
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  if [ $rc -eq 0 ]; then
    result=ok
  else
    failed=1
    kind=$(grep -o -m1 -E 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer): [a-z-]+|runtime error|out-of-memory|timeout|deadly signal' "$log" || true)
    result="FAILED (${kind:-exit $rc}; see $log)"
  fi
  printf 'fuzz: %-8s %12s execs  cov %-6s %6s s CPU  %s\n' "$t" "${execs:-0}" "${cov:-?}" "$cpu" "$result"
done
exit $failed
