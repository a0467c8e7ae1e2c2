#!/usr/bin/env bash
# The edit mode heard through a real sound server: a PulseAudio of its own (private runtime folder,
# one null sink) plays what the edit mode sends while the sink's monitor is recorded. Drives play,
# a pause, the resume and a Right seek; writes the recording to WORK/recording.raw (44.1 kHz 16-bit
# stereo) and the edit mode's standard error to WORK/err. Run by EditSound in EditSoundTest.cpp.
#
#   edit_sound.sh PLAYER WORK      (WORK/show holds the show)
#
# Exits 77 (skipped) when PulseAudio, its tools or the X tools are missing or the server cannot start.
set -uo pipefail
player="$(realpath "$1")"
work="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"

for tool in pulseaudio pactl parec python3 Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup installs it)"; exit 77; }
done

server=""
show=""
recorder=""
cleanup() {
  [ -n "$show" ] && kill -KILL "$show" 2>/dev/null
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null
  pactl exit 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -s "$work/err" ] && tail -n 20 "$work/err"; exit 1; }

source "$here/xserver.sh"
start_xserver 1280x720x24
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --use-pid-file=no \
  -L "module-null-sink sink_name=seams rate=44100 format=s16le channels=2" -L module-native-protocol-unix \
  --log-target=file:"$work/pulse.log" 2>/dev/null &
until="$(deadline 10)"
while before "$until" && ! pactl info >/dev/null 2>&1; do sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "SKIP: PulseAudio did not start: $(tail -n 3 "$work/pulse.log")"; exit 77; }
pactl set-default-sink seams
# Each piece read from the monitor is stamped on the monotonic clock (WORK/recording.times: seconds,
# bytes so far), to place the pictures against the sound heard; small pieces keep the stamps close.
mkfifo "$work/monitor"
parec -d seams.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=10 >"$work/monitor" &
recorder=$!
python3 -c '
import os, sys, time
out = open(sys.argv[1], "wb", buffering=0)
times = open(sys.argv[2], "w")
total = 0
while True:
    piece = os.read(0, 65536)
    if not piece:
        break
    now = time.monotonic()
    out.write(piece)
    total += len(piece)
    times.write("%.6f %d\n" % (now, total))
    times.flush()
' "$work/recording.raw" "$work/recording.times" <"$work/monitor" &
# The recording runs before the music starts.
until="$(deadline 20)"
while before "$until" && [ -z "$(pactl list short source-outputs 2>/dev/null)" ]; do sleep 0.1; done
[ -n "$(pactl list short source-outputs 2>/dev/null)" ] || { echo "SKIP: the monitor could not be recorded"; exit 77; }
sleep 0.3

built() { grep -c "show built at" "$work/err"; }
cd "$work/show"
GLOWMARCH_FRAME_TIMES="$work/frames.times" SDL_AUDIODRIVER=pulseaudio "$player" --edit --size 640x360 --at 2 >"$work/out" 2>"$work/err" &
show=$!
until="$(deadline 120)"
while before "$until" && [ "$(built)" -lt 1 ]; do sleep 0.1; done
[ "$(built)" -ge 1 ] || fail "the show was not built"
sleep 3
x xdotool key space
sleep 1
x xdotool key space
sleep 2
x xdotool key Right
until="$(deadline 60)"
while before "$until" && [ "$(built)" -lt 2 ]; do sleep 0.1; done
sleep 2
x xdotool key Escape
until="$(deadline 30)"
while before "$until" && kill -0 "$show" 2>/dev/null; do sleep 0.1; done
wait "$show" || fail "the edit mode did not end cleanly"
show=""
sleep 0.3
echo "recorded $(stat -c %s "$work/recording.raw") bytes"
