#!/usr/bin/env bash
# A second `tolvane FOLDER` on the same session bus hands FOLDER to the
# running program and ends at once; the running one then plays from it.
. "$(dirname "$0")/lib.sh"
session bus

tones "$work/First/Album/track.wav" 5 -ar 8000 -- "$work/Second/Album/track.wav" 5 -ar 8000
start_player "$work/First"
retry ctl status || fail "no MPRIS player"
first=$pid
start_player "$work/Second"
player_ends
grep -q "^MPRIS: " "$out" && fail "the second start set up a player"
pid=$first
running || fail "the running program ended"

# The running program now has the second folder as its library: a file of it
# opens and plays (a file outside the library is refused).
retry ctl open "file://$work/Second/Album/track.wav" || fail "the second folder's file was refused"
expect Playing ctl status
stop_player
echo "one instance"
