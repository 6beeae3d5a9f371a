#!/usr/bin/env bash
# Without a session bus the program runs on, saying so in one line.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export TOLVANE_AUDIO_OUTPUT=null QT_QPA_PLATFORM=xcb
# A bus address where no bus listens (no autolaunch either).
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
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

count=$(grep -c "^MPRIS: " "$work/out.txt" || true)
[ "$count" = 1 ] || { echo "expected one MPRIS line, got $count"; cat "$work/out.txt"; exit 1; }
grep -q -x "MPRIS: No session bus; media keys and now playing are off." "$work/out.txt" \
  || { cat "$work/out.txt"; exit 1; }
echo "ran without a session bus"
