#!/usr/bin/env bash
# A second `tolvane FOLDER` on the same session bus hands FOLDER to the
# running program and ends at once; the running one then plays from it.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  build=$1
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
  export XDG_RUNTIME_DIR=$work/run
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  export TOLVANE_AUDIO_OUTPUT=null QT_QPA_PLATFORM=offscreen
  unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS
  for name in First Second; do
    mkdir -p "$work/$name/Album"
    ffmpeg -loglevel error -f lavfi -i anullsrc=r=8000:cl=mono -t 5 -c:a pcm_s16le \
      "$work/$name/Album/track.wav"
  done
  dbus-run-session -- "$0" --inside "$build" "$work" \
    || { echo "--- first"; cat "$work/first.txt" 2>/dev/null; \
         echo "--- second"; cat "$work/second.txt" 2>/dev/null; exit 1; }
  exit 0
fi

build=$2
work=$3
fail() { echo "FAIL: $*"; exit 1; }
# Retries (up to 10 s) until the command succeeds.
retry() {
  for _ in $(seq 1 100); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "$* kept failing"
}

"$build/tolvane" "$work/First" > "$work/first.txt" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
retry playerctl -p tolvane status

timeout 20 "$build/tolvane" "$work/Second" > "$work/second.txt" 2>&1 \
  || fail "the second start did not end cleanly"
grep -q "^MPRIS: " "$work/second.txt" && fail "the second start set up a player"
kill -0 $pid || fail "the running program ended"

# The running program now has the second folder as its library: a file of it
# opens and plays (a file outside the library is refused).
retry playerctl -p tolvane open "file://$work/Second/Album/track.wav"
retry bash -c '[ "$(playerctl -p tolvane status)" = Playing ]'

kill -TERM $pid
wait $pid || fail "the program did not exit cleanly"
echo "one instance"
