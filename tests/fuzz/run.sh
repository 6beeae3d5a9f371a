#!/usr/bin/env bash
# Runs each fuzz target of a TOLVANE_FUZZ build for FUZZ_SECONDS (60) from its
# regression inputs (and, for the decoder, short ffmpeg files); the corpus grows
# in <build>/fuzz/corpus. A crash stops with the input in <build>/fuzz/crashes/:
# shrink it (fuzz_<target> -minimize_crash=1 -runs=10000) into regressions/<target>/.
set -euo pipefail
build=$(realpath "${1:-build-fuzz}") seconds=${FUZZ_SECONDS:-60} here=$(cd "$(dirname "$0")" && pwd)
work=$build/fuzz seeds=$build/fuzz/seeds/audio_file
mkdir -p "$seeds"
for spec in wav:pcm_s16le flac:flac mp3:libmp3lame m4a:aac aac:aac ogg:libvorbis opus:libopus wv:wavpack; do
  [ -s "$seeds/tone.${spec%%:*}" ] || ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000" \
    -t 0.3 -ac 1 -c:a "${spec#*:}" "$seeds/tone.${spec%%:*}"
done
for program in "$build"/tests/fuzz/fuzz_*; do
  [ -f "$program" ] || continue # not the autogen folders
  target=${program##*/fuzz_} options=(-dict="$here/json.dict") inputs=()
  [ "$target" = audio_file ] && options=() inputs=("$seeds")
  mkdir -p "$work/corpus/$target" "$work/crashes/$target"
  echo "== $target (${seconds} s)"
  nice -n 10 "$program" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$work/crashes/$target/" "${options[@]}" \
    "$work/corpus/$target" "$here/regressions/$target" "${inputs[@]}" 2>"$work/$target.log" ||
    { tail -n 40 "$work/$target.log"; exit 1; }
  grep -E '^#[0-9]+\s+DONE|stat::number_of_executed_units|stat::peak_rss' "$work/$target.log"
done
