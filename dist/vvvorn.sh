#!/bin/sh
# vvvorn: starts the game in the player's folder, $XDG_DATA_HOME/vvvorn
# (~/.local/share/vvvorn when XDG_DATA_HOME is unset), so that the settings
# (game_config.ini), the hi-scores (vorn.hs), the log (vorn-log.txt) and
# recorded frames land there, whatever folder the game was started from.
# Every argument goes to the game.
set -eu

case "${XDG_DATA_HOME:-}" in
/*) data_home=$XDG_DATA_HOME ;;
*)
    # Unset, empty or relative (which the XDG rules say to ignore).
    if [ -z "${HOME:-}" ]; then
        echo "vvvorn: neither XDG_DATA_HOME nor HOME is set: no place for the player's files" >&2
        exit 1
    fi
    data_home=$HOME/.local/share
    ;;
esac
player_dir=$data_home/vvvorn

# The game lies in ../lib/vvvorn beside this script's real location.
here=$(dirname "$(readlink -f "$0")")
game=$here/../lib/vvvorn/vorn
if [ ! -x "$game" ]; then
    echo "vvvorn: the game is missing: $game" >&2
    exit 1
fi

if ! mkdir -p "$player_dir" 2>/dev/null || [ ! -w "$player_dir" ]; then
    echo "vvvorn: cannot make or write the player's folder $player_dir" >&2
    exit 1
fi
cd "$player_dir"
exec "$game" "$@"
