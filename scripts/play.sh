#!/usr/bin/env bash
# Sets up this machine, builds the game, makes the default game data and starts
# the game. Extra arguments go to the game (for example --windowed).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"
if cmake --build build --target help | grep -q '^data:'; then
  cmake --build build --target data
fi
exec ./build/bin/vorn "$@"
