#!/usr/bin/env bash
# A person's session with the real program, driven by keys and clicks at the
# places the window shows and read back through MPRIS: a folder opened from
# the command line, a sidebar folder played by double click, next, previous,
# pause and play, quit and start again (the last folder, file and queue come
# back, paused at the start), a cover dropped on a folder from another
# program, and a folder of FLAC tracks played gaplessly into a WAV file.
E2E_SCREEN=1600x900
. "$(dirname "$0")/lib.sh"
session bus x
started=$SECONDS

# The library: three top-level folders, the first with every kind of file
# (long enough not to end while the keys are tried), the first two with
# covers, the last with FLAC tracks at 500, 600 and 700 Hz.
music=$work/Music
mixed="1 Ünïcode #1 100%"
nested="2 Nested Box"
gapless="3 Gäpless 50% #"
titles=("Première" "Hash #2" "Fifty 50%" "Wave" "05 Raw ADTS.aac")
m=$music/$mixed
freq=500 tones "$music/$gapless/00 part.flac" 1.1 -- "$music/$gapless/01 part.flac" 0.7 \
  -- "$music/$gapless/02 part.flac" 1.3 -- "$m/01 Première.mp3" 10 -metadata "title=Première" -metadata artist=Ärtist \
  -- "$m/02 Hash #2.m4a" 10 -metadata "title=Hash #2" -- "$m/03 Fifty 50%.flac" 10 \
  -metadata "title=Fifty 50%" -- "$m/04 Wave.wav" 10 -metadata title=Wave -- "$m/05 Raw ADTS.aac" 10 \
  -c:a aac -- "$music/$nested/Disc #1/Tŕack.flac" 1 -- "$music/$nested/Disc 2 ø/Track.mp3" 1
ffmpeg -nostdin -v error -f lavfi -i color=c=red:s=64x64 -f lavfi -i color=c=green:s=64x64 \
  -f lavfi -i color=c=blue:s=64x64 -map 0 -frames:v 1 "$m/folder.jpg" \
  -map 1 -frames:v 1 "$music/$nested/Disc #1/cover.png" -map 2 -frames:v 1 "$work/dropped cover.png"

queue=$cache/global_queue.json
queue_index() { sed -n 's/^{"index":\([0-9]*\),.*/\1/p' "$queue"; }
near_zero() { ctl position | awk '{exit !($1 < 0.05)}'; }
# Focus is asked for only when the window lacks it: asking again makes the
# window inactive for a moment, and a key arriving then reaches no shortcut.
keys() {
  local win
  win=$(window)
  [ "$(xdotool getwindowfocus 2> /dev/null)" = "$win" ] || xdotool windowfocus --sync "$win"
  xdotool key "$@"
}
# step KEY [STATUS [TITLE [QUEUE_INDEX]]]: the key, then what it should lead to.
step() {
  keys "$1"
  [ -z "${2:-}" ] || expect "$2" ctl status
  [ -z "${3:-}" ] || expect "${titles[$3]}" ctl metadata title
  [ -z "${4:-}" ] || expect "$4" queue_index
}
# The sidebar's top-level rows are 52 px apart, their covers' middle 32 px
# from the left; the first row is found by its red cover on the screen.
find_first_row() {
  eval "$(xdotool getwindowgeometry --shell "$(window)")"
  first_row=$(ffmpeg -v error -f x11grab -draw_mouse 0 -video_size "1x$HEIGHT" -i "$DISPLAY+$((X + 32)),$Y" \
    -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -v -tu1 -w3 |
    awk '$1 > 200 && $2 < 60 && $3 < 60 {if (!n++) top = NR - 1; bottom = NR - 1}
         END {if (!n) exit 1; print int((top + bottom) / 2)}')
}
row_point() { echo $((X + 32)) $((Y + first_row + 52 * $1)); }
double_click_row() {
  read -r x y <<< "$(row_point "$1")"
  xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
}
drag_says() { [ "$(tail -n 1 "$work/out-drag.txt")" = "$1" ]; }

# Opened from the command line; once the library shows, a double click
# plays the first folder from its first track.
TOLVANE_AUDIO_OUTPUT=wav:$work/first.wav start_player "$music"
retry window || fail "no window"
retry find_first_row || fail "the first folder's cover is not in the sidebar"
double_click_row 0
expect Playing ctl status
expect "${titles[0]}" ctl metadata title
expect Ärtist ctl metadata artist
expect "$mixed" xdotool getwindowname "$(window)"

# Space pauses and plays; Right goes to the next track; Left goes back, or
# first to the start of a track more than 2 s in.
step space Paused
step space Playing
step Right "" 1 1
step space Paused
if ctl position | awk '{exit !($1 > 2)}'; then
  keys Left
  retry near_zero || fail "Left did not go back to the start of the track"
fi
step Left Playing 0 0
step Right "" 1
step space Paused
cp "$queue" "$work/queue-before.json"

# Ctrl+Q, and a start without arguments: the same folder and file, paused at
# the start, and the same queue, which Right goes on with.
keys ctrl+q
player_ends
TOLVANE_AUDIO_OUTPUT=wav:$work/second.wav start_player
retry window || fail "no window after the restart"
expect "${titles[1]}" ctl metadata title
expect Paused ctl status
retry near_zero || fail "the restored file is not at its start: $(ctl position)"
expect "$mixed" xdotool getwindowname "$(window)"
cmp "$queue" "$work/queue-before.json" || fail "the queue changed across the restart"
step Right Playing 2

# A picture dragged from another program onto the second folder's cover is
# written into that folder as folder.jpg, byte for byte.
"$build/e2e-dragsource" "$work/dropped cover.png" 1400 100 > "$work/out-drag.txt" 2>&1 &
retry xdotool search --name "^drag source$" || fail "no drag source window"
retry find_first_row || fail "the sidebar moved"
xdotool mousemove 1432 132 mousedown 1 sleep 0.1 mousemove 150 "$((Y + HEIGHT - 40))" sleep 0.1
read -r x y <<< "$(row_point 1)"
xdotool mousemove "$x" "$y"
retry drag_says accepted || fail "the folder's cover does not take the drag"
xdotool mouseup 1
retry drag_says dropped || fail "the drop was refused"
retry test -s "$music/$nested/folder.jpg" || fail "no folder.jpg in the folder the picture was dropped on"
cmp "$music/$nested/folder.jpg" "$work/dropped cover.png" || fail "folder.jpg is not the dropped picture"

# The FLAC folder, double-clicked, plays straight through: its part of the
# output is the tracks' samples one after the other, with nothing between.
double_click_row 2
expect "00 part.flac" ctl metadata title
ffmpeg -nostdin -v error -i "$music/$gapless/00 part.flac" -i "$music/$gapless/01 part.flac" \
  -i "$music/$gapless/02 part.flac" -filter_complex concat=n=3:v=0:a=1 -f f32le -ac 2 -ar 44100 \
  "$work/expected.raw"
gapless() {
  /usr/bin/python3 - "$work/second.wav" "$work/expected.raw" << 'PYTHON'
import sys
played = open(sys.argv[1], 'rb').read()[44:]
sys.exit(0 if open(sys.argv[2], 'rb').read() in played else 1)
PYTHON
}
retry gapless || fail "the FLAC tracks did not play sample for sample, one after the other"

keys ctrl+q
player_ends
echo "e2e user_session took $((SECONDS - started)) s"
