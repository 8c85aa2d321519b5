#!/bin/sh
# Builds the QUOX2 loader's fuzz target with clang, writes its seed corpus and
# runs it for a while (default 60 seconds). Fails on a crash.
#   tools/fuzz/run_quox2_fuzz.sh [SECONDS] [BUILD_DIR]
set -e
SECONDS_TO_RUN=${1:-60}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${2:-$ROOT/build-fuzz}
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVORN_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target quox2_fuzz quox2_fuzz_seeds -j "${JOBS:-2}"
CORPUS="$BUILD/quox2_corpus"
mkdir -p "$CORPUS"
"$BUILD/bin/quox2_fuzz_seeds" "$CORPUS"
cd "$BUILD"
"$BUILD/bin/quox2_fuzz" -max_total_time="$SECONDS_TO_RUN" -rss_limit_mb=1024 -max_len=65536 -timeout=10 -close_fd_mask=2 "$CORPUS"
