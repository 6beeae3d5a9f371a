#!/usr/bin/env bash
# playerctl, a real MPRIS client, drives the running player on a private
# session bus; a fake portal on the same bus records the sleep inhibitions.
. "$(dirname "$0")/lib.sh"
session bus x

# Tracks long enough to seek to 42 s, untagged and tagged.
music=$work/music
tones "$music/Album/track1.wav" 50 -ar 8000 -ac 1 -- "$music/Album/track2.wav" 50 -ar 8000 -ac 1 \
  -- "$music/Album/track3.wav" 50 -ar 8000 -ac 1 -- "$music/Tagged/tagged.mp3" 50 -ar 8000 -ac 1 \
  -b:a 16k -metadata title="Real Title" -metadata artist="Real Artist"
queue_index() { sed -n 's/^{"index":\([0-9]*\),.*/\1/p' "$cache/global_queue.json"; }
lines_of() { grep -c -x -F "$1" "$out" || true; }
inhibit_lines() { grep -c "^$1" "$work/out-inhibit.txt" || true; }

/usr/bin/python3 "$e2e/../support/sleep_fake_inhibit_service.py" --portal \
  --log "$work/out-inhibit.txt" > "$work/fake.txt" &
retry grep -q ready "$work/fake.txt" || fail "the fake portal did not start"

start_player "$music"
expect tolvane playerctl -l

# Nothing loaded: stopped, and play answers success without changing anything.
expect Stopped ctl status
ctl play || fail "play with no player did not report success"
sleep 0.1
expect Stopped ctl status
[ -z "$(ctl metadata 2> /dev/null || true)" ] || fail "metadata with nothing loaded"
[ "$(lines_of 'SleepManager: Preventing System Sleep')" = 0 ] || fail "sleep line without playing"

# Outside the library: refused, nothing changes.
if ctl open "file:///etc/hostname" 2> /dev/null; then fail "opened a file outside the library"; fi
sleep 0.1
expect Stopped ctl status

# A folder of the library plays as a double click would: the file-name
# title and "Unknown Artist" for untagged files.
# (The library is scanned in the background, so the first tries may be refused.)
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
expect Playing ctl status
ctl previous
expect track1.wav ctl metadata title
expect 0 queue_index
ctl position 42
expect yes bash -c "playerctl -p tolvane position | awk '{print (\$1 >= 42 && \$1 < 45) ? \"yes\" : \"no\"}'"

# Volume reads and writes the model's volume.
ctl volume 0.5
expect 0.500000 ctl volume
grep -q -x "Volume changed to: 0.5" "$out" || fail "volume did not reach the model"

# Sleep prevention while playing: one line, and one inhibition between pauses.
[ "$(lines_of 'SleepManager: Preventing System Sleep')" = 2 ] \
  || fail "expected one sleep line per start of playing"
ctl pause
expect Paused ctl status
expect 2 inhibit_lines portal-close
[ "$(inhibit_lines portal-inhibit)" = 2 ] || fail "extra inhibitions"
[ "$(grep -c 'flags=4 reason=Media Playback' "$work/out-inhibit.txt")" = 2 ] || fail "wrong flags"
ctl play
expect Playing ctl status

# A tagged file plays as a click would; its tags replace the fallbacks.
ctl open "file://$music/Tagged/tagged.mp3" || fail "open of a library file refused"
expect "Real Title" ctl metadata title
expect "Real Artist" ctl metadata artist
expect Playing ctl status

stop_player
# Tear-down gives the inhibition back.
expect "$(inhibit_lines portal-inhibit)" inhibit_lines portal-close
echo "playerctl drove the player"
