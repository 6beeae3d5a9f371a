#!/usr/bin/env bash
# playerctl, a real MPRIS client, drives the running player on a private
# session bus; a fake portal on the same bus records the sleep inhibitions.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  build=$1
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
  export XDG_RUNTIME_DIR=$work/run
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  export TOLVANE_AUDIO_OUTPUT=null QT_QPA_PLATFORM=xcb
  unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS

  # Untagged tracks long enough to seek to 42 s, and one tagged track.
  mkdir -p "$work/music/Album" "$work/music/Tagged"
  for name in track1 track2 track3; do
    ffmpeg -loglevel error -f lavfi -i anullsrc=r=8000:cl=mono -t 50 -c:a pcm_s16le \
      "$work/music/Album/$name.wav"
  done
  ffmpeg -loglevel error -f lavfi -i anullsrc=r=8000:cl=mono -t 50 -c:a libmp3lame -b:a 16k \
    -metadata title="Real Title" -metadata artist="Real Artist" "$work/music/Tagged/tagged.mp3"

  dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inside "$build" "$work" \
    || { echo "--- program output"; cat "$work/out.txt" 2>/dev/null; \
         echo "--- inhibit log"; cat "$work/inhibit.log" 2>/dev/null; exit 1; }
  exit 0
fi

build=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
music=$work/music
queue=$XDG_DATA_HOME/OrrisMediaPlayer/global_queue.json

fail() { echo "FAIL: $*"; exit 1; }
ctl() { playerctl -p tolvane "$@"; }
# Waits (up to 10 s) until the command's output equals the expected text.
expect() {
  local want=$1; shift
  local got=""
  for _ in $(seq 1 100); do
    got=$("$@" 2>/dev/null || true)
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  fail "$* gave '$got', wanted '$want'"
}
# Retries (up to 10 s) until the command succeeds.
retry() {
  for _ in $(seq 1 100); do
    "$@" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "$* kept failing"
}
queue_index() { /usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["index"])' "$queue"; }
lines_of() { grep -c -x -F "$1" "$work/out.txt" || true; }

/usr/bin/python3 "$here/../support/sleep_fake_inhibit_service.py" --portal \
  --log "$work/inhibit.log" > "$work/fake.txt" &
fake=$!
for _ in $(seq 1 100); do grep -q ready "$work/fake.txt" 2>/dev/null && break; sleep 0.1; done

"$build/tolvane" "$music" > "$work/out.txt" 2>&1 &
pid=$!
trap 'kill $pid $fake 2>/dev/null || true' EXIT
expect tolvane playerctl -l

# Nothing loaded: stopped, and play answers success without changing anything.
expect Stopped ctl status
ctl play || fail "play with no player did not report success"
sleep 0.3
expect Stopped ctl status
[ -z "$(ctl metadata 2>/dev/null || true)" ] || fail "metadata with nothing loaded"
[ "$(lines_of 'SleepManager: Preventing System Sleep')" = 0 ] || fail "sleep line without playing"

# Outside the library: refused, nothing changes.
if ctl open "file:///etc/hostname" 2>/dev/null; then fail "opened a file outside the library"; fi
sleep 0.3
expect Stopped ctl status

# A folder of the library plays as a double click would: the file-name
# title and "Unknown Artist" for untagged files.
# (The library is scanned in the background, so the first tries may be refused.)
retry ctl open "file://$music/Album"
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
grep -q -x "Volume changed to: 0.5" "$work/out.txt" || fail "volume did not reach the model"

# Sleep prevention while playing: one line, and one inhibition between pauses.
[ "$(lines_of 'SleepManager: Preventing System Sleep')" = 2 ] \
  || fail "expected one sleep line per start of playing"
ctl pause
expect Paused ctl status
expect 2 bash -c "grep -c '^portal-close' '$work/inhibit.log'"
[ "$(grep -c '^portal-inhibit' "$work/inhibit.log")" = 2 ] || fail "extra inhibitions"
[ "$(grep -c 'flags=4 reason=Media Playback' "$work/inhibit.log")" = 2 ] || fail "wrong flags"
ctl play
expect Playing ctl status

# A tagged file plays as a click would; its tags replace the fallbacks.
ctl open "file://$music/Tagged/tagged.mp3" || fail "open of a library file refused"
expect "Real Title" ctl metadata title
expect "Real Artist" ctl metadata artist
expect Playing ctl status

kill -TERM $pid
wait $pid || fail "the program did not exit cleanly"
sleep 0.3
# Tear-down gives the inhibition back.
[ "$(grep -c '^portal-inhibit' "$work/inhibit.log")" = "$(grep -c '^portal-close' "$work/inhibit.log")" ] \
  || fail "an inhibition outlived the program"
kill $fake 2>/dev/null || true
echo "playerctl drove the player"
