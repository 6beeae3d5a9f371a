#!/usr/bin/env bash
# Without a session bus the program runs on, saying so in one line.
. "$(dirname "$0")/lib.sh"
session x

start_player
retry window || fail "no window"
stop_player
count=$(grep -c "^MPRIS: " "$out" || true)
[ "$count" = 1 ] || fail "expected one MPRIS line, got $count"
grep -q -x "MPRIS: No session bus; media keys and now playing are off." "$out" || fail "no MPRIS line"
echo "ran without a session bus"
