#!/usr/bin/env bash
# Without a session bus the program runs on, saying so in one line.
. "$(dirname "$0")/lib.sh"

start_player
retry grep -q "^MPRIS: " "$out" || fail "no MPRIS line"
stop_player
[ "$(grep -c "^MPRIS: " "$out")" = 1 ] || fail "expected one MPRIS line"
grep -q -x "MPRIS: No session bus; media keys and now playing are off." "$out" || fail "no MPRIS line"
echo "ran without a session bus"
