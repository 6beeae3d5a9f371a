#!/usr/bin/env bash
# The real program opens its window under an X server and quits cleanly.
. "$(dirname "$0")/lib.sh"
session bus x

start_player
retry window || fail "no window"
stop_player
grep -q "\[Cache\] No global queue file found." "$out" || fail "the queue file was looked for"
test -d "$cache/LibraryStructure" || fail "no library structure folder"
[ "$(grep -c isOLEDCareMode "$settings")" = 1 ] || fail "the first start did not store its settings"
echo "window opened and closed cleanly"
