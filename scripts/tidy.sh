#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over every source file of
# the project in a configured build folder (default: build); exits non-zero
# on any finding.
#   scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
JOBS=${JOBS:-$(nproc)}
if [ ! -f "$BUILD/compile_commands.json" ]; then
  echo "tidy: no $BUILD/compile_commands.json; configure the build first" >&2
  exit 2
fi
RUN=$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)
if [ -z "$RUN" ]; then
  echo "tidy: run-clang-tidy not found (package clang-tidy)" >&2
  exit 2
fi
TOP=$(pwd)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! "$RUN" -p "$BUILD" -j "$JOBS" -quiet \
    "^$TOP/(corelib|scene|renderer|particles|sound|frontend|game|actors|tools|data|bench|tests)/" >"$log" 2>&1; then
  grep -E "(warning|error): " "$log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u >&2 || true
  echo "tidy: clang-tidy found problems" >&2
  exit 1
fi
echo "tidy: clean ($(grep -c '^clang-tidy' "$log" || true) files)"
