#!/usr/bin/env bash
# `tolvane FOLDER` opens the folder, stores its grant and its library
# structure; the next start without an argument restores the folder from the
# grant, with the last folder and file selected.
. "$(dirname "$0")/lib.sh"

music=$work/Music
mkdir -p "$music/Album" "$music/.hidden"
printf 'x' > "$music/Album/01 Song.mp3"
printf 'x' > "$music/.hidden/secret.mp3"
stored() { compgen -G "$cache/LibraryStructure/*_library.json"; }

start_player "$music"
retry stored || fail "no library structure was stored"
grep -q 'Album/01%20Song.mp3' "$(stored)" || fail "the scanned tree lacks the song"
grep -q 'secret' "$(stored)" && fail "a hidden folder was scanned"
stop_player
grep -q '^SyncedFolderBookmark=' "$settings" || fail "no folder grant was stored"

# The next start restores the folder and the last selection.
cat >> "$settings" << EOT
LastSelectedFolderPath=$music/Album
LastSelectedFilePath=$music/Album/01 Song.mp3
EOT
start_player
retry grep -q -x -F 'Attempting to load file: 01 Song.mp3, autoPlay: false' "$out" \
  || fail "the last file was not loaded paused"
retry grep -q -x 'Refreshing library...' "$out" || fail "no refresh followed the cached tree"
stop_player
grep -q '^LastSelectedFolderPath=' "$settings" || fail "the last folder was forgotten"
echo "ok"
