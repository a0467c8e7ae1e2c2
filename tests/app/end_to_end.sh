#!/usr/bin/env bash
# The player as a person runs it: the real program on an X server of its own, in a folder holding a
# small show, answered and driven from the keyboard, judged by its output, its exit code and screenshots.
#
#   end_to_end.sh restart PLAYER   question answered No; picture, F5 restart, picture again, Escape
#   end_to_end.sh end PLAYER       question answered Yes (full screen); the script's END ends the program
#   end_to_end.sh refused PLAYER   on a screen with no 1920 x 1080 mode: full screen refused; answered
#                                  No the program closes without a window, answered Yes it runs windowed
#
# Exits 77 (skipped) when the X tools are missing.
set -uo pipefail

mode="$1"
player="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"

for tool in Xvfb xdotool xwininfo import od; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup installs it)"; exit 77; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/glowmarch-e2e-XXXXXX")"
server=""
show=""
cleanup() {
  # A message box lives in a child of the player; it goes with it.
  [ -n "$show" ] && { pkill -KILL -P "$show" 2>/dev/null; kill -KILL "$show" 2>/dev/null; }
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in out err; do
    [ -s "$work/$log" ] && { echo "--- player's std$log:"; tail -n 40 "$work/$log"; }
  done
  exit 1
}

source "$here/xserver.sh"
screen=1920x1080x24
[ "$mode" = refused ] && screen=1280x1024x24
start_xserver "$screen"


# SDL's boxes carry their caption as a UTF-8 name that xwininfo shows and xdotool's search does not.
answer() {  # caption key seconds
  await_box "$1" "$3"
  x xdotool key --window "$box_id" "$2" || fail "could not answer the box \"$1\""
}

count() { grep -cxF -- "$1" "$work/out"; }

# Waits until standard output holds `times` copies of the line. Without music each start shows the
# player's "BASS" box, which is answered on the way.
await_line() {  # line times seconds
  local until id
  until="$(deadline "$3")"
  while before "$until"; do
    [ "$(count "$1")" -ge "$2" ] && return 0
    alive || fail "the player ended before printing \"$1\" $2 times"
    id="$(box BASS)"
    [ -n "$id" ] && x xdotool key --window "$id" Return
    sleep 0.2
  done
  fail "\"$1\" printed $(count "$1") times, not $2, within $3 s"
}


# The picture is drawn every frame; waits until the pixel shows the colour, then checks a second one.
await_picture() {  # seconds
  local until seen=""
  until="$(deadline "$1")"
  while before "$until"; do
    alive || fail "the player ended before drawing"
    seen="$(pixel 960 540)"
    [ "$seen" = "$swapped" ] && break
    sleep 0.3
  done
  [ "$seen" = "$swapped" ] || fail "centre pixel is \"$seen\", not the textured quad through the program ($swapped)"
  local corner
  corner="$(pixel 20 20)"
  [ "$corner" = "0 0 0" ] || fail "corner pixel is \"$corner\", not the black clear colour"
}

await_exit() {  # seconds
  local until
  until="$(deadline "$1")"
  while before "$until" && alive; do sleep 0.2; done
  alive && fail "the player did not end within $1 s"
  wait "$show"
  local code=$?
  show=""
  [ "$code" -eq 0 ] || fail "exit code $code, not 0"
}

# The show: a program that swaps red and blue, and a textured quad close enough to fill the centre.
mkdir -p "$work/show"
cp -r "$here/show/data" "$work/show/"
# The showcase's music, when there is one: with it no "BASS" box stops the start. SDL shows its boxes
# from a forked process, which can deadlock under AddressSanitizer once the audio and GL threads run.
music="$here/../../showcase/data/music/QX07Synthpop_FINAL.mp3"
if [ -f "$music" ]; then
  mkdir -p "$work/show/data/music"
  cp "$music" "$work/show/data/music/"
fi
cat >"$work/show/data/vesperscript.txt" <<'EOF'
# A quad textured with a swatch of (200, 40, 90), shown through a program as (90, 40, 200).
-1 swap SHADER swap.vert swap.frag
-1 pic new image
-1 pic texture swatch.png
-1 pic shader swap
-1 pic setpoint 0,0,-1
-1 SCENE append pic
0.3 pic state 1
EOF
[ "$mode" = end ] && echo "0.8 show END" >>"$work/show/data/vesperscript.txt"
swapped="90 40 200"
listed="-1 pic new image -1.000000"
doing="Doing: 0.3 pic state 1"

cd "$work/show"
"$player" >"$work/out" 2>"$work/err" &
show=$!

case "$mode" in
  restart)
    answer "Start Fullscreen?" Escape 60
    await_line "$listed" 1 60
    await_line "$doing" 1 60
    await_picture 30
    x xdotool mousemove 960 540 || fail "could not move the pointer onto the window"
    x xdotool key F5 || fail "could not press F5"
    # F5: a new window, a new Player: the script read and listed again, run again, drawn again.
    await_line "$listed" 2 60
    await_line "$doing" 2 60
    [ "$(count "$doing")" -eq 2 ] || fail "\"$doing\" printed $(count "$doing") times after one restart"
    await_picture 30
    x xdotool key Escape || fail "could not press Escape"
    await_exit 30
    ;;
  end)
    answer "Start Fullscreen?" Return 60
    await_line "$doing" 1 60
    await_line "Doing: 0.8 show END" 1 60
    await_exit 30
    [ "$(count "$listed")" -eq 1 ] || fail "the script was listed $(count "$listed") times"
    ;;
  refused)
    answer "Start Fullscreen?" Return 60
    answer "OpenGL Rules" Escape 60
    answer "ERROR" Return 60
    await_exit 30
    [ -s "$work/out" ] && fail "the show started although the program was to close"
    # Again, now running windowed on the refusal.
    "$player" >"$work/out" 2>"$work/err" &
    show=$!
    answer "Start Fullscreen?" Return 60
    answer "OpenGL Rules" Return 60
    await_line "$doing" 1 60
    x xdotool mousemove 640 512 || fail "could not move the pointer onto the window"
    x xdotool key Escape || fail "could not press Escape"
    await_exit 30
    ;;
  *)
    fail "unknown mode $mode"
    ;;
esac
echo "PASS: $mode"
