#!/usr/bin/env bash
# playerctl, a real MPRIS client, drives the running player on a private
# session bus; a fake portal on the same bus records the sleep inhibitions.
# A second start hands its folder to the running program and ends at once.
# Without a bus, first, the program runs on, saying so in one line.
. "$(dirname "$0")/lib.sh"
if [ -z "${E2E_INSIDE:-}" ]; then
  start_player
  retry grep -q "^MPRIS: " "$out" || fail "no MPRIS line"
  stop_player
  [ "$(grep "^MPRIS: " "$out")" = "MPRIS: No session bus; media keys and now playing are off." ] || fail "$(cat "$out")"
fi
session bus

music=$work/music
tones "$music/Album/track1.wav" 50 -ar 8000 -ac 1 -- "$music/Album/track2.wav" 50 -ar 8000 -ac 1 \
  -- "$music/Tagged/tagged.mp3" 50 -ar 8000 -ac 1 -b:a 16k -metadata title="Real Title" \
  -metadata artist="Real Artist" -- "$work/Second/Album/track.wav" 5 -ar 8000
count() { grep -c "$1" "$work/out-inhibit.txt" || true; }
/usr/bin/python3 "$e2e/../support/sleep_fake_inhibit_service.py" --portal --log "$work/out-inhibit.txt" > "$work/fake.txt" &
retry grep -q ready "$work/fake.txt" || fail "the fake portal did not start"

start_player "$music"
# A library folder plays as a double click would, untagged files under their
# file names (the library is scanned in the background: retried).
retry ctl open "file://$music/Album" || fail "the folder was refused"
expect Playing ctl status
expect track1.wav ctl metadata title
expect "Unknown Artist" ctl metadata artist
expect 50000000 ctl metadata mpris:length

# One sleep inhibition per start of playing, given back on pause.
ctl play-pause
expect Paused ctl status
expect 1 count portal-close
ctl play-pause # playing again: a second inhibition, counted at the end
ctl next
expect track2.wav ctl metadata title
ctl previous
expect track1.wav ctl metadata title
ctl position 42
expect yes bash -c "playerctl -p tolvane position | awk '{print (\$1 >= 42 && \$1 < 45) ? \"yes\" : \"no\"}'"

# A tagged file plays as a click would; its tags replace the fallbacks.
ctl open "file://$music/Tagged/tagged.mp3" || fail "open of a library file refused"
expect "Real Title" ctl metadata title
expect "Real Artist" ctl metadata artist

# A second start with another folder ends at once without a player of its
# own; the running one takes the folder as its library.
first=$pid
start_player "$work/Second"
player_ends
grep -q "^MPRIS: " "$out" && fail "the second start set up a player"
pid=$first
retry ctl open "file://$work/Second/Album/track.wav" || fail "the second folder's file was refused"
expect track.wav ctl metadata title

stop_player # and the inhibition is given back
expect 2 count portal-close
[ "$(count portal-inhibit)/$(count 'flags=4 reason=Media Playback')" = 2/2 ] || fail "wrong inhibitions"
echo "playerctl drove the player"
