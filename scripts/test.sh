#!/usr/bin/env bash
# Sets up this machine, builds the project and runs every test headless:
#   1. the normal build and its whole suite, then clang-tidy over the sources,
#   2. a ThreadSanitizer build of the threaded tests (label "tsan"),
#   3. a short run of the fuzz targets (clang, when built),
#   4. an AddressSanitizer + UndefinedBehaviorSanitizer build and its whole suite.
# CTest's summary of the last run is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

JOBS=${JOBS:-$(nproc)}
# Tests that open windows or sound devices run on Xvfb with Mesa's software
# renderer and OpenAL Soft's null backend unless a test asks for another.
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
export LIBGL_ALWAYS_SOFTWARE=1
export GALLIUM_DRIVER=llvmpipe
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export CTEST_OUTPUT_ON_FAILURE=1

run_headless() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$@"
  else
    # -noreset: an X server that resets whenever its last client leaves
    # refuses the connections that arrive during the reset, and the tests
    # come and go all the time.
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
  fi
}

configure_and_build() {  # dir, cmake options...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

echo "== normal build =="
configure_and_build build
if cmake --build build --target help | grep -q '^data:'; then
  cmake --build build --target data
fi
run_headless ctest --test-dir build -j "$JOBS" --timeout 600

echo "== clang-tidy =="
bash scripts/tidy.sh build

# The test executables whose suites carry the "tsan" label.
TSAN_TARGETS=$(grep -rls 'LABELS.*tsan' --include=CMakeLists.txt tests | xargs -r grep -ho 'vorn_test(test_[a-z_]*' | sed 's/vorn_test(//' | sort -u)
if [ -n "$TSAN_TARGETS" ]; then
  echo "== ThreadSanitizer build (threaded tests) =="
  cmake -S . -B build-tsan -G Ninja -DVORN_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  # shellcheck disable=SC2086
  cmake --build build-tsan -j "$JOBS" --target $TSAN_TARGETS
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_headless ctest --test-dir build-tsan -L tsan --timeout 600
fi

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing =="
  # A few seconds per target keeps the run short; longer runs: scripts/fuzz.sh SECONDS.
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-5}"
fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
configure_and_build build-asan -DVORN_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Mesa here starts no threads of its own: llvmpipe draws on the calling thread
# and the shader disk cache (whose writer thread is still alive when the
# process exits) is off. Now and then LeakSanitizer's exit-time check crashed
# stopping such a thread after the test itself had passed.
# intercept_tls_get_addr=0: this sanitizer runtime guesses where a dynamic TLS
# block starts from a header that glibc no longer writes, and the exit-time
# check of the GL tests now and then crashed scanning from a wild address
# ("Tracer caught signal 11" in ScanRangeForPointers: 3 runs of the GL tests
# in 13; none in 12 with the option). Static TLS and thread-specific data are
# still scanned, and leaks are still found.
ASAN_OPTIONS="$ASAN_OPTIONS:intercept_tls_get_addr=0" LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true \
  run_headless ctest --test-dir build-asan -j "$JOBS" --timeout 900
