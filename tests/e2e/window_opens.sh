#!/usr/bin/env bash
# The real program opens its window under an X server and quits cleanly.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export TOLVANE_AUDIO_OUTPUT=null QT_QPA_PLATFORM=xcb

dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$0/tolvane" > "$1/out.txt" 2>&1 &
  pid=$!
  for i in $(seq 1 100); do
    if xdotool search --name "^Tolvane$" > /dev/null 2>&1; then break; fi
    sleep 0.1
  done
  xdotool search --name "^Tolvane$" > /dev/null || { echo "no window"; kill $pid; exit 1; }
  kill -TERM $pid
  wait $pid
' "$build" "$work" || { cat "$work/out.txt"; exit 1; }

grep -q "\[Cache\] No global queue file found." "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
test -d "$XDG_DATA_HOME/OrrisMediaPlayer/LibraryStructure"
test "$(cat "$XDG_CONFIG_HOME/Tolvane/Tolvane.conf" | grep -c isOLEDCareMode)" = 1
echo "window opened and closed cleanly"
