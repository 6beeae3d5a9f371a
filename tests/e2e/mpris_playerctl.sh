#!/usr/bin/env bash
# playerctl, a real MPRIS client, drives the running player on a private
# session bus; a fake portal on the same bus records the sleep inhibitions.
# A second start hands its folder to the running program and ends at once.
. "$(dirname "$0")/lib.sh"
session bus

# Tracks long enough to seek to 42 s, untagged and tagged.
music=$work/music
tones "$music/Album/track1.wav" 50 -ar 8000 -ac 1 -- "$music/Album/track2.wav" 50 -ar 8000 -ac 1 \
  -- "$music/Tagged/tagged.mp3" 50 -ar 8000 -ac 1 -b:a 16k -metadata title="Real Title" \
  -metadata artist="Real Artist" -- "$work/Second/Album/track.wav" 5 -ar 8000
queue_index() { sed -n 's/^{"index":\([0-9]*\),.*/\1/p' "$cache/global_queue.json"; }
count() { grep -c "$1" "$2" || true; }

/usr/bin/python3 "$e2e/../support/sleep_fake_inhibit_service.py" --portal \
  --log "$work/out-inhibit.txt" > "$work/fake.txt" &
retry grep -q ready "$work/fake.txt" || fail "the fake portal did not start"

start_player "$music"
expect tolvane playerctl -l
expect Stopped ctl status

# A folder of the library plays as a double click would: the file-name
# title and "Unknown Artist" for untagged files. (The library is scanned in
# the background, so the first tries may be refused.)
retry ctl open "file://$music/Album" || fail "the folder was refused"
expect Playing ctl status
expect track1.wav ctl metadata title
expect "Unknown Artist" ctl metadata artist
expect 50000000 ctl metadata mpris:length
expect 0 queue_index

# Transport commands.
ctl play-pause
expect Paused ctl status
ctl play-pause
expect Playing ctl status
ctl next
expect track2.wav ctl metadata title
expect 1 queue_index
ctl previous
expect track1.wav ctl metadata title
expect 0 queue_index
expect Playing ctl status
ctl position 42
expect yes bash -c "playerctl -p tolvane position | awk '{print (\$1 >= 42 && \$1 < 45) ? \"yes\" : \"no\"}'"

# Sleep prevention while playing: one inhibition per start of playing,
# given back on pause.
ctl pause
expect Paused ctl status
expect 2 count portal-close "$work/out-inhibit.txt"
[ "$(count portal-inhibit "$work/out-inhibit.txt")" = 2 ] || fail "extra inhibitions"
[ "$(count 'flags=4 reason=Media Playback' "$work/out-inhibit.txt")" = 2 ] || fail "wrong flags"
ctl play
expect Playing ctl status

# A tagged file plays as a click would; its tags replace the fallbacks.
ctl open "file://$music/Tagged/tagged.mp3" || fail "open of a library file refused"
expect "Real Title" ctl metadata title
expect "Real Artist" ctl metadata artist

# A second start with another folder ends at once without a player of its
# own; the running one takes the folder as its library and plays from it.
first=$pid
start_player "$work/Second"
player_ends
grep -q "^MPRIS: " "$out" && fail "the second start set up a player"
pid=$first
out=$work/out-1.txt
running || fail "the running program ended"
retry ctl open "file://$work/Second/Album/track.wav" || fail "the second folder's file was refused"
expect track.wav ctl metadata title

stop_player
# Tear-down gives the inhibition back.
expect "$(count portal-inhibit "$work/out-inhibit.txt")" count portal-close "$work/out-inhibit.txt"
echo "playerctl drove the player"
