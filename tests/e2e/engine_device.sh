#!/usr/bin/env bash
# tolvane-play on a real sound server (a private PulseAudio with a null sink):
# what it plays reaches the server, and the program exits cleanly every time.
set -euo pipefail
build=$1
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# wait_for COMMAND...: polls until it succeeds, for up to 10 s.
wait_for() {
  for _ in $(seq 1 200); do "$@" > /dev/null 2>&1 && return 0; sleep 0.05; done
  return 1
}
start_pulse() {
  pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=nullsink" \
    --load="module-native-protocol-unix auth-anonymous=1" >> "$work/pulse.log" 2>&1 &
  pulse=$!
  wait_for pactl info || { cat "$work/pulse.log"; exit 1; }
}
stop_pulse() {
  kill "$pulse"
  wait "$pulse" 2> /dev/null || true
}
stream_corked() { pactl list sink-inputs | grep -q "Corked: $1"; }
fail() {
  echo "$1"
  cat "$work/out.txt"
  exit 1
}
player=""
recorder=""
cleanup() {
  if [ -n "$recorder" ]; then kill "$recorder" 2> /dev/null || true; fi
  if [ -n "$player" ]; then kill "$player" 2> /dev/null || true; fi
  kill "$pulse" 2> /dev/null || true
  wait 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_pulse
rate=$(pactl info | sed -n 's/^Default Sample Specification: .* \([0-9]*\)Hz$/\1/p')

ffmpeg -v error -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=0.8" -ac 2 "$work/tone.flac"
ffmpeg -v error -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=0.2" -ac 2 "$work/short.flac"

# The tone arrives at the server.
parec -d nullsink.monitor --format=float32le --rate="$rate" --channels=2 --raw > "$work/recorded.raw" &
recorder=$!
sleep 0.3
TOLVANE_AUDIO_OUTPUT=device "$build/tolvane-play" "$work/tone.flac" > "$work/out.txt" 2>&1 ||
  { cat "$work/out.txt"; exit 1; }
sleep 0.3
kill "$recorder"
wait "$recorder" 2> /dev/null || true
recorder=""
grep -q "^Playing: $work/tone.flac$" "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
python3 - "$work/recorded.raw" "$rate" << 'PYTHON'
import struct, sys
data = open(sys.argv[1], 'rb').read()
samples = struct.unpack('<%df' % (len(data) // 4), data)
loud = sum(1 for i in range(0, len(samples) - 1, 2) if abs(samples[i]) > 0.03)
# A sine spends about 80 % of its time above a fifth of its peak (0.088).
expected = 0.8 * int(sys.argv[2]) * 0.6
if loud < expected:
    sys.exit("only %d loud frames recorded, expected at least %d" % (loud, expected))
PYTHON

# Repeated starts and exits on the device, chosen automatically: never a crash.
for i in $(seq 1 4); do
  TOLVANE_AUDIO_OUTPUT=auto "$build/tolvane-play" "$work/short.flac" > /dev/null 2> "$work/err.txt" ||
    { echo "run $i failed"; cat "$work/err.txt"; exit 1; }
done
# Paused, the stream is corked (the device may suspend); playing uncorks it.
# sound_arrives: half a second of the tone reaches the server within 10 s.
cat > "$work/loud.py" << 'PYTHON'
import struct, sys
data = open(sys.argv[1], 'rb').read()
samples = struct.unpack('<%df' % (len(data) // 4), data)
sys.exit(0 if sum(1 for s in samples[::2] if abs(s) > 0.03) > 22050 else 1)
PYTHON
sound_arrives() {
  parec -d nullsink.monitor --format=float32le --rate=44100 --channels=2 --raw > "$work/rec.raw" &
  recorder=$!
  local result=0
  wait_for python3 "$work/loud.py" "$work/rec.raw" || result=1
  kill "$recorder"
  wait "$recorder" 2> /dev/null || true
  recorder=""
  return $result
}
ffmpeg -v error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=30" -ac 2 "$work/long.flac"
ffmpeg -v error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=6" -ac 2 "$work/mid.flac"
mkfifo "$work/control"
exec 3<> "$work/control"
TOLVANE_AUDIO_OUTPUT=device "$build/tolvane-play" "$work/long.flac" < "$work/control" \
  > "$work/out.txt" 2>&1 &
player=$!
wait_for grep -q "^Playing:" "$work/out.txt" || fail "the track did not start"
wait_for stream_corked no || fail "no stream while playing"
echo pause >&3
wait_for stream_corked yes || fail "the stream is not corked while paused"
echo "seek 3" >&3
echo play >&3
wait_for stream_corked no || fail "the stream stays corked after play"
sound_arrives || fail "no sound after a seek while paused"
echo "seek 1" >&3
sound_arrives || fail "no sound after a seek while playing"

# The server restarts mid-track: the sound comes back.
stop_pulse
start_pulse
wait_for stream_corked no || fail "no stream after the server restarted"
sound_arrives || fail "no sound after the server restarted"
kill "$player" 2> /dev/null || fail "the player ended early"
wait "$player" 2> /dev/null || true
player=""

# Started before the server: the sound starts when the server does.
stop_pulse
TOLVANE_AUDIO_OUTPUT=auto "$build/tolvane-play" "$work/mid.flac" < /dev/null > "$work/out.txt" 2>&1 &
player=$!
wait_for grep -q "^Playing:" "$work/out.txt" || fail "the track did not start without a server"
start_pulse
wait_for stream_corked no || fail "no stream once the server started"
# Gone again mid-track: the track plays on (silently) to its end.
stop_pulse
for _ in $(seq 1 400); do kill -0 "$player" 2> /dev/null || break; sleep 0.05; done
if kill -0 "$player" 2> /dev/null; then
  echo "the player hangs without its sound server"
  exit 1
fi
wait "$player" || fail "the player failed without its sound server"
player=""
echo "played on the sound server, followed its restarts and exited cleanly"
