#!/usr/bin/env bash
# tolvane-play on a real sound server (a private PulseAudio with a null sink):
# its sound reaches the server, pausing corks the stream, the sound follows the
# server's start and restart, and the track ends cleanly without a server.
. "$(dirname "$0")/lib.sh"
out=$work/out-play.txt
start_pulse() {
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --load="module-null-sink sink_name=nullsink" \
    --load="module-native-protocol-unix auth-anonymous=1" >> "$work/out-pulse.txt" 2>&1 &
  pulse=$!
  retry pactl info || fail "the sound server did not start"
}
stop_pulse() { kill "$pulse" && { wait "$pulse" 2> /dev/null || true; }; }
stream_corked() { pactl list sink-inputs | grep -q "Corked: $1"; }
# sound_arrives: half a second of the tone above a fifth of its peak is recorded.
sound_arrives() {
  parec -d nullsink.monitor --format=float32le --rate="$rate" --channels=2 --raw > "$work/rec.raw" &
  local recorder=$! result=0
  retry /usr/bin/python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read(); frames = struct.unpack("<%df" % (len(data) // 4), data)[::2]
sys.exit(sum(abs(s) > 0.03 for s in frames) < 0.5 * int(sys.argv[2]))' "$work/rec.raw" "$rate" || result=1
  kill "$recorder" && { wait "$recorder" 2> /dev/null || true; }
  return $result
}

start_pulse
rate=$(pactl info | sed -n 's/^Default Sample [^:]*: .* \([0-9]*\)Hz$/\1/p')
tones "$work/long.flac" 30 -ar 48000 -- "$work/mid.flac" 12

# Paused, the stream is corked (the device may suspend); playing uncorks it;
# the sound arrives, also after a seek while paused.
mkfifo "$work/control"
exec 3<> "$work/control"
TOLVANE_AUDIO_OUTPUT=device "$build/tolvane-play" "$work/long.flac" < "$work/control" > "$out" 2>&1 &
player=$!
retry grep -q "^Playing: $work/long.flac$" "$out" || fail "the track did not start"
sound_arrives || fail "the tone did not reach the server"
echo pause >&3
retry stream_corked yes || fail "the stream is not corked while paused"
printf 'seek 3\nplay\n' >&3
retry stream_corked no || fail "the stream stays corked after play"
sound_arrives || fail "no sound after a seek while paused"
kill "$player" 2> /dev/null && { wait "$player" 2> /dev/null || true; } || fail "the player ended early"

# Started before the server: the sound starts when the server does and comes
# back after a restart; gone again mid-track, the track plays on to its end.
stop_pulse
TOLVANE_AUDIO_OUTPUT=auto "$build/tolvane-play" "$work/mid.flac" < /dev/null > "$out" 2>&1 &
player=$!
retry grep -q "^Playing:" "$out" || fail "the track did not start without a server"
start_pulse
retry stream_corked no || fail "no stream once the server started"
stop_pulse
start_pulse
sound_arrives || fail "no sound after the server restarted"
stop_pulse
retry eval "! kill -0 $player" || fail "the player hangs without its sound server"
wait "$player" || fail "the player failed without its sound server"
echo "played on the sound server, followed its restarts and exited cleanly"
