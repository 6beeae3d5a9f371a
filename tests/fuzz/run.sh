#!/usr/bin/env bash
# Runs each fuzz target of a TOLVANE_FUZZ build for FUZZ_SECONDS (60) from
# its kept regression inputs and, for the decoder, from short files made here
# with ffmpeg. The corpus grows in <build>/fuzz/corpus across runs. A crash
# ends the run with the input in <build>/fuzz/crashes/<target>/; shrink it
# with `<build>/tests/fuzz/fuzz_<target> -minimize_crash=1 -runs=10000 <input>`
# and keep it under tests/fuzz/regressions/<target>/.
set -euo pipefail
build=$(realpath "${1:-build-fuzz}")
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$build/fuzz

seeds=$work/seeds/audio_file
mkdir -p "$seeds"
for spec in wav:pcm_s16le flac:flac mp3:libmp3lame m4a:aac aac:aac ogg:libvorbis opus:libopus \
    wv:wavpack; do
  ext=${spec%%:*}
  [ -s "$seeds/tone.$ext" ] || ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000" \
    -t 0.3 -ac 1 -c:a "${spec#*:}" "$seeds/tone.$ext"
done

for program in "$build"/tests/fuzz/fuzz_*; do
  [ -f "$program" ] || continue
  target=${program##*/fuzz_}
  mkdir -p "$work/corpus/$target" "$work/crashes/$target"
  options=(-dict="$here/json.dict") inputs=()
  if [ "$target" = audio_file ]; then options=() inputs=("$seeds"); fi
  echo "== $target (${seconds} s)"
  nice -n 10 "$program" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$work/crashes/$target/" "${options[@]}" \
    "$work/corpus/$target" "$here/regressions/$target" "${inputs[@]}" 2>"$work/$target.log" ||
    { tail -n 40 "$work/$target.log"; exit 1; }
  grep -E '^#[0-9]+\s+DONE|stat::number_of_executed_units|stat::peak_rss' "$work/$target.log"
done
