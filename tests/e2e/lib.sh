# shellcheck shell=bash
# Sourced by every whole-program test, whose $1 is the build folder: a
# private HOME and XDG folders (removed on exit), on request a private session
# bus and X server, bounded waits, and the program under test, whose output is
# printed when the test fails.
set -euo pipefail
build=$(cd "$1" && pwd)
e2e=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
pid=""
runs=0
out=/dev/null

# Ends whatever the script left running; on failure shows every output.
finish() {
  local status=$? job file
  for job in $(jobs -p); do kill "$job" 2> /dev/null || true; done
  wait 2> /dev/null || true
  if [ "$status" != 0 ] && [ -z "${E2E_OUTER:-}" ]; then
    for file in "$work"/out-*.txt; do
      [ ! -f "$file" ] || { echo "--- $(basename "$file")"; cat "$file"; }
    done
  fi
  [ -n "${E2E_INSIDE:-}" ] || rm -rf "$work"
  exit "$status"
}
work=${E2E_WORK:-$(mktemp -d)}
export E2E_WORK=$work
trap finish EXIT

export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export TOLVANE_AUDIO_OUTPUT=${TOLVANE_AUDIO_OUTPUT:-null} QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
cache=$XDG_DATA_HOME/OrrisMediaPlayer
# No bus unless asked for: an address where none listens (no autolaunch).
if [ -z "${E2E_INSIDE:-}" ]; then
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus
fi

# session [bus] [x]: runs the script again on a private session bus and/or
# X server (Xvfb on a display it picks itself); the outer run only waits for
# it and cleans up.
session() {
  [ -z "${E2E_INSIDE:-}" ] || return 0
  local wrap=() need
  for need in "$@"; do
    case $need in
      bus) wrap+=(dbus-run-session --) ;;
      x)
        Xvfb -displayfd 3 -nolisten tcp -screen 0 "${E2E_SCREEN:-1280x800}x24" 3> "$work/display" \
          2> "$work/xvfb.txt" &
        retry test -s "$work/display" || fail "no X server: $(cat "$work/xvfb.txt")"
        export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
        ;;
    esac
  done
  E2E_OUTER=1
  E2E_INSIDE=1 "${wrap[@]}" "$0" "$build"
  exit 0
}

fail() {
  echo "FAIL: $*"
  exit 1
}
# retry CMD...: polls CMD until it succeeds, for up to E2E_WAIT (20) seconds.
retry() {
  local deadline=$((SECONDS + ${E2E_WAIT:-20}))
  until "$@" > /dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "gave up waiting for: $*"; return 1; }
    sleep 0.1
  done
}
# expect WANT CMD...: polls CMD until it prints WANT.
expect() {
  local want=$1 got="" deadline=$((SECONDS + ${E2E_WAIT:-20}))
  shift
  until got=$("$@" 2> /dev/null) && [ "$got" = "$want" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$* gave '$got', wanted '$want'"
    sleep 0.1
  done
}

# start_player [ARG...]: tolvane in the background, its output in $out.
start_player() {
  runs=$((runs + 1))
  out=$work/out-$runs.txt
  "$build/tolvane" "$@" > "$out" 2>&1 &
  pid=$!
}
running() { [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; }
# player_ends: waits for the player to end by itself, which must be cleanly.
player_ends() {
  retry eval '! running' || fail "the program did not end"
  wait "$pid" || fail "the program ended with status $?"
  pid=""
}
stop_player() {
  kill -TERM "$pid" 2> /dev/null || fail "the program ended early"
  player_ends
}
# The player's main window (under X).
window() { xdotool search --onlyvisible --pid "$pid" 2> /dev/null | head -n 1 | grep .; }
ctl() { playerctl -p tolvane "$@"; }

# tones FILE SECONDS [OUTPUT OPTION...] [-- FILE SECONDS [OPTION...]]...:
# sine tones in one ffmpeg run, stereo at 44.1 kHz unless the options say
# otherwise; the first at ${freq:-440} Hz, each next one 100 Hz higher.
tones() {
  local inputs=() outputs=() n=0 file
  while [ $# -gt 0 ]; do
    mkdir -p "$(dirname "$1")"
    inputs+=(-f lavfi -i "sine=frequency=$((${freq:-440} + 100 * n)):sample_rate=44100:duration=$2")
    outputs+=(-map "$n:a" -ac 2)
    file=$1
    shift 2
    while [ $# -gt 0 ] && [ "$1" != -- ]; do outputs+=("$1") && shift; done
    [ $# = 0 ] || shift
    outputs+=(-y "$file")
    n=$((n + 1))
  done
  ffmpeg -nostdin -v error "${inputs[@]}" "${outputs[@]}"
}
