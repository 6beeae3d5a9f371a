#!/usr/bin/env bash
# `tolvane FOLDER` opens the folder, stores its grant and its library
# structure; the next start without an argument restores the folder from the
# grant, with the last folder and file selected.
set -euo pipefail

build=$1
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export TOLVANE_AUDIO_OUTPUT=null QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS

music=$work/Music
mkdir -p "$music/Album" "$music/.hidden"
printf 'x' > "$music/Album/01 Song.mp3"
printf 'x' > "$music/.hidden/secret.mp3"
settings=$XDG_CONFIG_HOME/Tolvane/Tolvane.conf
structure_dir=$XDG_DATA_HOME/OrrisMediaPlayer/LibraryStructure

fail() { echo "FAIL: $*"; echo "--- output"; cat "$work"/run*.txt 2>/dev/null; exit 1; }
# Waits up to 15 s for a command to succeed.
wait_for() {
  for _ in $(seq 1 150); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
stop() { kill -TERM "$pid"; wait "$pid" || true; pid=""; }

"$build/tolvane" "$music" > "$work/run1.txt" 2>&1 &
pid=$!
wait_for compgen -G "$structure_dir/*_library.json" || fail "no library structure was stored"
structure=$(compgen -G "$structure_dir/*_library.json")
grep -q 'Album/01%20Song.mp3' "$structure" || fail "the scanned tree lacks the song"
grep -q 'secret' "$structure" && fail "a hidden folder was scanned"
stop
grep -q '^SyncedFolderBookmark=' "$settings" || fail "no folder grant was stored"

# The next start restores the folder and the last selection.
cat >> "$settings" <<EOT
LastSelectedFolderPath=$music/Album
LastSelectedFilePath=$music/Album/01 Song.mp3
EOT
"$build/tolvane" > "$work/run2.txt" 2>&1 &
pid=$!
wait_for grep -q -x -F 'Attempting to load file: 01 Song.mp3, autoPlay: false' "$work/run2.txt" \
  || fail "the last file was not loaded paused"
wait_for grep -q -x 'Refreshing library...' "$work/run2.txt" || fail "no refresh followed the cached tree"
stop
grep -q '^LastSelectedFolderPath=' "$settings" || fail "the last folder was forgotten"
echo "ok"
