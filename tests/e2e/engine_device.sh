#!/usr/bin/env bash
# tolvane-play on a real sound server (a private PulseAudio with a null sink):
# what it plays reaches the server, and the program exits cleanly every time.
set -euo pipefail
build=$1
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

pulseaudio --daemonize=no --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=nullsink" \
  --load="module-native-protocol-unix auth-anonymous=1" > "$work/pulse.log" 2>&1 &
pulse=$!
recorder=""
cleanup() {
  if [ -n "$recorder" ]; then kill "$recorder" 2> /dev/null || true; fi
  kill "$pulse" 2> /dev/null || true
  wait 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 1 100); do pactl info > /dev/null 2>&1 && break; sleep 0.1; done
pactl info > /dev/null || { cat "$work/pulse.log"; exit 1; }
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
# The server goes away mid-track: the track plays on (silently) to its end.
ffmpeg -v error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=1.5" -ac 2 "$work/long.flac"
TOLVANE_AUDIO_OUTPUT=device "$build/tolvane-play" "$work/long.flac" > "$work/out.txt" 2>&1 &
player=$!
for _ in $(seq 1 100); do grep -q "^Playing:" "$work/out.txt" && break; sleep 0.05; done
sleep 0.3
kill "$pulse"
wait "$pulse" 2> /dev/null || true
for _ in $(seq 1 100); do kill -0 "$player" 2> /dev/null || break; sleep 0.1; done
if kill -0 "$player" 2> /dev/null; then
  echo "the player hangs without its sound server"
  kill "$player"
  exit 1
fi
wait "$player" || { echo "the player failed without its sound server"; cat "$work/out.txt"; exit 1; }
echo "played on the sound server and exited cleanly"
