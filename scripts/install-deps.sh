#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests, the data generator and
# the game need. Non-interactive and idempotent: packages already present are
# left alone, and the package lists are refreshed only when something is missing.
set -euo pipefail

PACKAGES=(
  # toolchain and test harness
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev clang-tidy clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # window, context, OpenGL (Mesa llvmpipe under Xvfb for headless runs)
  libglfw3-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  xvfb xauth mesa-utils
  # sound
  libopenal-dev libopenal1 libalut-dev libvorbis-dev libogg-dev
  # text, images, compression
  libfreetype-dev libjpeg62-turbo-dev zlib1g-dev libpng-dev
  # video
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  # game data generation: fonts and speech
  fonts-liberation fonts-dejavu-core espeak-ng
  # installing and packaging: the desktop entry's check, the Debian package's
  # library dependencies (dpkg-shlibdeps)
  desktop-file-utils dpkg-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
