#!/usr/bin/env bash
# Installs the built game into a temporary prefix (a path with a space, so
# quoting faults show) and checks what landed there file by file, the launcher
# and the desktop entry; then a staged install (DESTDIR, as the Debian package
# makes it) must still name the final prefix.
#   check_install.sh BUILD_DIR
# Exit status 77 (skipped) when the game data is not built.
set -uo pipefail

BUILD=$1
DATA=$BUILD/data
STAMP=$BUILD/datagen/data.stamp
if [ ! -f "$STAMP" ] || [ ! -x "$BUILD/bin/vorn" ]; then
  echo "SKIP: the game or its data is not built (cmake --build $BUILD --target data)"
  exit 77
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { if ! eval "$1"; then fail "$2"; fi; }

TMP=$(mktemp -d "${TMPDIR:-/tmp}/vorn install.XXXXXX")
trap 'rm -rf "$TMP"' EXIT
P=$TMP/prefix
# Messages below name these files whether or not their check ran.
: >"$TMP/data.diff"
: >"$TMP/validate.log"

if ! cmake --install "$BUILD" --prefix "$P" >"$TMP/install.log" 2>&1; then
  cat "$TMP/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# --- the files ---------------------------------------------------------------
for exe in bin/vvvorn bin/quox2 bin/auren-play lib/vvvorn/vorn; do
  check '[ -f "$P/$exe" ] && [ -x "$P/$exe" ]' "$exe is not an installed executable"
done
check '[ "$(cat "$P/lib/vvvorn/app.ini")" = "vorn_freeware_resource_folder = $P/share/vvvorn/data/" ]' \
  "app.ini does not name the installed data: $(cat "$P/lib/vvvorn/app.ini" 2>&1)"

# The data folder holds exactly what the data tool wrote (without its marker
# file), byte for byte.
(cd "$DATA" && find . -type f ! -name .vorn-data | sort) >"$TMP/data.built"
(cd "$P/share/vvvorn/data" && find . -type f | sort) >"$TMP/data.installed"
check 'diff "$TMP/data.built" "$TMP/data.installed" >"$TMP/data.diff"' \
  "the installed data differs from build/data in its file list: $(head -5 "$TMP/data.diff")"
check '[ "$(wc -l <"$TMP/data.built")" -gt 50 ]' "build/data holds too few files"
while IFS= read -r f; do
  cmp -s "$DATA/$f" "$P/share/vvvorn/data/$f" || fail "data file $f differs from the built one"
done <"$TMP/data.built"

# Icons: PNG files of their folder's size.
for size in 256 64; do
  icon=$P/share/icons/hicolor/${size}x${size}/apps/vvvorn.png
  if [ ! -f "$icon" ]; then fail "no ${size}px icon"; continue; fi
  # PNG signature, then the IHDR chunk: width and height as big-endian words.
  head=$(od -An -tx1 -N24 "$icon" | tr -d ' \n')
  check '[ "${head:0:16}" = "89504e470d0a1a0a" ]' "the ${size}px icon is not a PNG file"
  check '[ $((16#${head:32:8})) -eq $size ] && [ $((16#${head:40:8})) -eq $size ]' \
    "the ${size}px icon is $((16#${head:32:8})) x $((16#${head:40:8}))"
done

# Manual pages: compressed, and the formatter has nothing to warn about.
for page in man6/vvvorn.6 man1/quox2.1 man1/auren-play.1; do
  gz=$P/share/man/$page.gz
  if ! gzip -t "$gz" 2>/dev/null; then fail "$page.gz is missing or damaged"; continue; fi
  if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$gz" 2>&1 >/dev/null)
    check '[ -z "$warnings" ]' "$page: $warnings"
  fi
done

# --- the desktop entry ---------------------------------------------------------
desktop=$P/share/applications/vvvorn.desktop
if command -v desktop-file-validate >/dev/null; then
  check 'desktop-file-validate "$desktop" >"$TMP/validate.log" 2>&1' \
    "desktop-file-validate: $(cat "$TMP/validate.log")"
else
  fail "desktop-file-validate is missing (package desktop-file-utils)"
fi
# Outside /usr the entry names the launcher and the icon by path (quoted, for
# the space in the prefix).
check 'grep -qxF "Exec=\"$P/bin/vvvorn\"" "$desktop"' "Exec= does not name the launcher: $(grep ^Exec= "$desktop")"
check 'grep -qxF "Icon=$P/share/icons/hicolor/256x256/apps/vvvorn.png" "$desktop"' \
  "Icon= does not name the icon: $(grep ^Icon= "$desktop")"

# --- the launcher ----------------------------------------------------------------
ELSEWHERE=$TMP/elsewhere
mkdir -p "$ELSEWHERE" "$TMP/home"
launch() {  # XDG_DATA_HOME value ("" for unset), arguments...
  local xdg=$1; shift
  if [ -n "$xdg" ]; then
    (cd "$ELSEWHERE" && env HOME="$TMP/home" XDG_DATA_HOME="$xdg" "$P/bin/vvvorn" "$@")
  else
    (cd "$ELSEWHERE" && env -u XDG_DATA_HOME HOME="$TMP/home" "$P/bin/vvvorn" "$@")
  fi
}
PLAYER=$TMP/home/.local/share/vvvorn

out=$(launch "" --version)
check '[ "$out" = "vorn $(sed -n "s/^CMAKE_PROJECT_VERSION:STATIC=//p" "$BUILD/CMakeCache.txt")" ]' \
  "the launcher's --version printed \"$out\""
check '[ -d "$PLAYER" ]' "the launcher did not make ~/.local/share/vvvorn"
out=$(launch "" --help)
check '[[ "$out" == usage:\ vorn* ]]' "the launcher did not pass --help on: $out"
launch "" --no-such-option >/dev/null 2>&1
status=$?
check '[ $status -eq 2 ]' "a wrong option gave status $status through the launcher, not the game's 2"
# An argument with a space stays one argument.
launch "" --keys "5:NOSUCHKEY 9:ESC" >/dev/null 2>"$TMP/keys.err"
check 'grep -qF "not \"5:NOSUCHKEY 9:ESC\"" "$TMP/keys.err"' "--keys LIST came through split: $(cat "$TMP/keys.err")"

launch "$TMP/xdg" --version >/dev/null
check '[ -d "$TMP/xdg/vvvorn" ]' "the launcher ignored XDG_DATA_HOME"
launch "relative/xdg" --version >/dev/null
check '[ ! -e "$ELSEWHERE/relative" ]' "the launcher used a relative XDG_DATA_HOME"

# The game itself, started from elsewhere: its files land in the player's folder.
headless=()
if [ -z "${DISPLAY:-}" ]; then
  if command -v xvfb-run >/dev/null; then
    headless=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
  else
    fail "no display and no xvfb-run: the game cannot be started"
  fi
fi
if [ $failures -eq 0 ]; then
  # In a sanitizer build the whole game is checked for memory errors, not for
  # leaks: the GL driver is unloaded before the leak check runs.
  (cd "$ELSEWHERE" && env -u XDG_DATA_HOME HOME="$TMP/home" LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
     ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
     ALSOFT_DRIVERS=null timeout 60 "${headless[@]}" "$P/bin/vvvorn" --windowed --keys "5:ESC 10:ESC 15:ESC 20:ESC" \
     >"$TMP/game.out" 2>&1)
  status=$?
  check '[ $status -eq 0 ]' "the game ended with status $status: $(tail -5 "$TMP/game.out")"
  check 'grep -qF "resource folder \"$P/share/vvvorn/data/\"" "$PLAYER/vorn-log.txt" 2>/dev/null' \
    "the player's folder has no log naming the installed data"
  check '[ -z "$(ls -A "$ELSEWHERE")" ]' "the game wrote into the folder it was started from: $(ls -A "$ELSEWHERE")"
  # Builds whose game keeps settings write them with the defaults at the first start.
  if grep -qaF game_config.ini "$P/lib/vvvorn/vorn"; then
    check '[ -s "$PLAYER/game_config.ini" ]' "no game_config.ini in the player's folder"
  else
    echo "note: this game keeps no settings file yet; game_config.ini not checked"
  fi
fi

# --- a staged install, as the Debian package is made ----------------------------
STAGE=$TMP/stage
if DESTDIR=$STAGE cmake --install "$BUILD" --prefix /usr >"$TMP/stage.log" 2>&1; then
  check '[ "$(cat "$STAGE/usr/lib/vvvorn/app.ini")" = "vorn_freeware_resource_folder = /usr/share/vvvorn/data/" ]' \
    "a staged app.ini names $(cat "$STAGE/usr/lib/vvvorn/app.ini" 2>&1)"
  check 'grep -qx "Exec=vvvorn" "$STAGE/usr/share/applications/vvvorn.desktop" &&
         grep -qx "Icon=vvvorn" "$STAGE/usr/share/applications/vvvorn.desktop"' \
    "the /usr desktop entry does not name the launcher and the icon by name"
  check '[ "$(ls -A "$STAGE")" = usr ]' "the staged install wrote outside its prefix: $(ls -A "$STAGE")"
else
  cat "$TMP/stage.log"
  fail "DESTDIR install"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install checks passed"
