#!/usr/bin/env bash
# tolvane-play on a real sound server (a private PulseAudio with a null sink):
# what it plays reaches the server, and the program exits cleanly every time.
. "$(dirname "$0")/lib.sh"
out=$work/out-play.txt
play() { "$build/tolvane-play" "$@" > "$out" 2>&1; }
start_pulse() {
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --load="module-null-sink sink_name=nullsink" \
    --load="module-native-protocol-unix auth-anonymous=1" >> "$work/out-pulse.txt" 2>&1 &
  pulse=$!
  retry pactl info || fail "the sound server did not start"
}
stop_pulse() { kill "$pulse" && { wait "$pulse" 2> /dev/null || true; }; }
stream_corked() { pactl list sink-inputs | grep -q "Corked: $1"; }
# record: the server's sound from now on, as 32-bit float stereo at $rate.
record() {
  parec -d nullsink.monitor --format=float32le --rate="$rate" --channels=2 --raw > "$work/rec.raw" &
  recorder=$!
  retry eval 'pactl list short source-outputs | grep -q .' || fail "the recorder did not start"
}
stop_recording() { kill "$recorder" && { wait "$recorder" 2> /dev/null || true; }; }
# loud SECONDS: at least that much of the tone was recorded (a sine spends
# about 80 % of its time above a fifth of its peak, 0.088).
loud() {
  /usr/bin/python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
frames = struct.unpack("<%df" % (len(data) // 4), data)[::2]
sys.exit(sum(abs(s) > 0.03 for s in frames) < float(sys.argv[3]) * int(sys.argv[2]))' \
    "$work/rec.raw" "$rate" "$1"
}
# sound_arrives: half a second of the tone reaches the server.
sound_arrives() {
  record
  local result=0
  retry loud 0.5 || result=1
  stop_recording
  return $result
}

start_pulse
rate=$(pactl info | sed -n 's/^Default Sample [^:]*: .* \([0-9]*\)Hz$/\1/p')
tones "$work/tone.flac" 0.8 -ar 48000 -- "$work/short.flac" 0.2 -- "$work/long.flac" 30 \
  -- "$work/mid.flac" 6

# The tone arrives at the server.
record
TOLVANE_AUDIO_OUTPUT=device play "$work/tone.flac" || fail "tolvane-play failed"
retry loud 0.48 || fail "the tone did not reach the server"
stop_recording
grep -q "^Playing: $work/tone.flac$" "$out" || fail "no Playing line"

# Repeated starts and exits on the device, chosen automatically: never a crash.
for i in 1 2 3 4; do
  TOLVANE_AUDIO_OUTPUT=auto play "$work/short.flac" < /dev/null || fail "run $i failed"
done

# Paused, the stream is corked (the device may suspend); playing uncorks it.
mkfifo "$work/control"
exec 3<> "$work/control"
TOLVANE_AUDIO_OUTPUT=device "$build/tolvane-play" "$work/long.flac" < "$work/control" > "$out" 2>&1 &
player=$!
retry grep -q "^Playing:" "$out" || fail "the track did not start"
retry stream_corked no || fail "no stream while playing"
echo pause >&3
retry stream_corked yes || fail "the stream is not corked while paused"
printf 'seek 3\nplay\n' >&3
retry stream_corked no || fail "the stream stays corked after play"
sound_arrives || fail "no sound after a seek while paused"
echo "seek 1" >&3
sound_arrives || fail "no sound after a seek while playing"

# The server restarts mid-track: the sound comes back.
stop_pulse
start_pulse
retry stream_corked no || fail "no stream after the server restarted"
sound_arrives || fail "no sound after the server restarted"
kill "$player" 2> /dev/null || fail "the player ended early"
wait "$player" 2> /dev/null || true

# Started before the server: the sound starts when the server does; gone
# again mid-track, the track plays on (silently) to its end.
stop_pulse
TOLVANE_AUDIO_OUTPUT=auto "$build/tolvane-play" "$work/mid.flac" < /dev/null > "$out" 2>&1 &
player=$!
retry grep -q "^Playing:" "$out" || fail "the track did not start without a server"
start_pulse
retry stream_corked no || fail "no stream once the server started"
stop_pulse
retry eval "! kill -0 $player" || fail "the player hangs without its sound server"
wait "$player" || fail "the player failed without its sound server"
echo "played on the sound server, followed its restarts and exited cleanly"
