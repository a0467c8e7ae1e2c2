#!/usr/bin/env bash
# The edit mode as a person uses it: the real program on an X server of its own, driven from the
# keyboard, its files rewritten as an editor saves them, judged by screenshots, its output and its memory.
#
#   edit_end_to_end.sh identity PLAYER CAPTURE
#       A show of every class at --at 3 --paused with the overlay hidden (Tab) is the capture's frame
#       at 3 s, pixel for pixel; it holds still; Right then Left comes back to the same picture. A static
#       show with the overlay hidden is the default mode's picture.
#   edit_end_to_end.sh blend PLAYER CAPTURE
#       A half-transparent sphere under a lit, rolling camera drawn before a text and an image (whose
#       blend function the next frame inherits) and after a lit sphere outside the camera (lit by the
#       light the frame before left) at --at 1 --paused, after Right then Left, after a reload, after a
#       click on the timeline and after a saved shader (its program replaced in place), is the
#       capture's frame at that time, pixel for pixel.
#   edit_end_to_end.sh reload PLAYER
#       Paused, a fragment shader rewritten (a temporary file renamed over it) changes the picture in
#       place at the same time, its program replaced without building the show again; a broken one
#       keeps the last good program, prints the error and the program lives on; a fixed one takes the
#       error out of the messages; Escape ends it with exit code 0.
#   edit_end_to_end.sh inspector PLAYER CAPTURE
#       Over a field of 10,000 particles, paused at 1 s: the inspector (I) opened, the field's 10,000
#       rows listed, the field chosen and a line naming it clicked, which seeks to 0; Right comes back
#       to 1 s and with the overlay hidden the picture is still the capture's frame at 1 s. The
#       overlay's CPU time per frame is printed.
#   edit_end_to_end.sh retime PLAYER CAPTURE
#       A show with a beat file, paused at 1.5 s: the tick of the line at 1 s dragged with the mouse
#       towards 2 s shows its marker there and, let go, snaps to the beat at 2 s: the script holds
#       "1.999" for that line's stamp and every other byte as it was, the show reloads, and with the
#       overlay hidden the picture is the capture's frame at 1.5 s of the moved script. Ctrl+Z puts the
#       file back byte for byte and the picture back to the first one.
#   edit_end_to_end.sh reloads PLAYER COUNT [--no-memory]
#       COUNT saves of a show of every class, in turn its script (the show built again in the same
#       context) and a shader (programs replaced in place); the memory after the last is within 10 %
#       of that after the tenth (only reported with --no-memory: AddressSanitizer's quarantine grows
#       without a leak).
#
# Exits 77 (skipped) when the X tools are missing.
set -uo pipefail

mode="$1"
player="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

for tool in Xvfb xdotool import convert cmp awk; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup installs it)"; exit 77; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/glowmarch-edit-XXXXXX")"
server=""
show=""
cleanup() {
  [ -n "$show" ] && { pkill -KILL -P "$show" 2>/dev/null; kill -KILL "$show" 2>/dev/null; }
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP

fail() {
  echo "FAIL: $*"
  for log in out err; do
    [ -s "$work/$log" ] && { echo "--- player's std$log (end):"; tail -n 30 "$work/$log"; }
  done
  exit 1
}

source "$here/xserver.sh"
start_xserver 1920x1080x24
# The overlay's panel sizes from earlier runs would move the timeline.
export XDG_CONFIG_HOME="$work/config"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi

resident() { awk '/^VmRSS:/ { print $2 }' "/proc/$show/status" 2>/dev/null; }
built() { grep -c "show built at" "$work/err"; }
reloaded() { grep -c "reloaded at .* from the save" "$work/err"; }

start_edit() {  # options...
  "$player" --edit "$@" >"$work/out" 2>"$work/err" &
  show=$!
}

# Waits until `counter` (built or reloaded) reaches `times`, then lets the frame after it be drawn.
await_count() {  # counter times seconds doing
  local until
  until="$(deadline "$3")"
  while before "$until"; do
    alive || fail "the edit mode ended while $4"
    [ "$($1)" -ge "$2" ] && { sleep 0.5; return 0; }
    sleep 0.1
  done
  fail "$4: $1 $($1) times, not $2, within $3 s"
}
# The show built `times` times in all, or `times` saves reloaded, and drawn after.
await_built() { await_count built "$1" "$2" "building the show"; }
await_reloaded() { await_count reloaded "$1" "$2" "reloading"; }



# On a busy machine the screen may show the change a little after the program said it made it.
await_pixel() {  # x y "r g b" seconds
  local until
  until="$(deadline "$4")"
  while before "$until"; do
    [ "$(pixel "$1" "$2")" = "$3" ] && return 0
    sleep 0.1
  done
  return 1
}

press() { x xdotool key "$@" || fail "could not press $*"; }

await_exit() {  # seconds
  local until
  until="$(deadline "$1")"
  while before "$until" && alive; do sleep 0.2; done
  alive && fail "the program did not end within $1 s"
  wait "$show"
  local code=$?
  show=""
  [ "$code" -eq 0 ] || fail "exit code $code, not 0"
}

# Saves a file as editors do: the new text in a temporary file, renamed over the old one.
save() {  # file text
  printf '%s\n' "$2" >"$(dirname "$1")/.$(basename "$1").new"
  mv "$(dirname "$1")/.$(basename "$1").new" "$1"
}

# The capture's frame at a time, then the edit mode started paused there with the overlay hidden:
# the same picture, pixel for pixel.
capture_at() {  # seconds file
  rm -rf "$work/frames"
  "$capture" --from "$1" --to "$(awk -v a="$1" 'BEGIN { print a + 0.01 }')" --out "$work/frames" >/dev/null \
    2>"$work/capture.err" || fail "the capture failed: $(cat "$work/capture.err")"
  convert "$work/frames/frame000000.png" -depth 8 "rgb:$2" || fail "could not read the captured frame"
}

paused_is_captured() {  # seconds
  capture_at "$1" "$work/captured"
  start_edit --at "$1" --paused
  await_built 1 120
  press Tab
  shot_until_same "$work/paused" "$work/captured" 10 ||
    fail "paused at $1 s with the overlay hidden, the picture is not the capture's frame at $1 s"
}

music="$root/showcase/data/music/QX07Synthpop_FINAL.mp3"
make_static_show() {
  mkdir -p "$work/show"
  cp -r "$here/show/data" "$work/show/"
  if [ -f "$music" ]; then
    mkdir -p "$work/show/data/music"
    cp "$music" "$work/show/data/music/"
  fi
  cat >"$work/show/data/vesperscript.txt" <<'SCRIPT'
-1 swap SHADER swap.vert swap.frag
-1 pic new image
-1 pic texture swatch.png
-1 pic shader swap
-1 pic setpoint 0,0,-1
-1 SCENE append pic
SCRIPT
}

case "$mode" in
  identity)
    capture="$(realpath "$3")"
    mkdir -p "$work/show/data/textures" "$work/show/data/music"
    cp -r "$here/soak/data/." "$work/show/data/"
    cp "$here/show/data/textures/swatch.png" "$root/showcase/data/textures/profont.png" "$work/show/data/textures/"
    [ -f "$music" ] && cp "$music" "$work/show/data/music/"
    cd "$work/show"
    paused_is_captured 3
    sleep 1
    shot "$work/later"
    cmp -s "$work/paused" "$work/later" || fail "the paused picture moved"
    press Right
    await_built 2 120
    press Left
    await_built 3 120
    shot "$work/back"
    cmp -s "$work/paused" "$work/back" || fail "Right then Left did not come back to the same picture"
    press Escape
    await_exit 60
    # The default mode's picture of a static show, and the edit mode's with the overlay hidden.
    rm -rf "$work/show"
    make_static_show
    cd "$work/show"
    "$player" >"$work/out" 2>"$work/err" &
    show=$!
    await_box "Start Fullscreen?" 60
    x xdotool key --window "$box_id" Escape
    until="$(deadline 60)"
    while before "$until" && [ "$(pixel 960 540)" != "90 40 200" ]; do sleep 0.3; done
    shot "$work/default"
    press Escape
    await_exit 60
    start_edit
    await_built 1 120
    press Tab
    shot_until_same "$work/edit" "$work/default" 10 || fail "with the overlay hidden the picture is not the default mode's"
    press Escape
    await_exit 60
    ;;
  blend)
    capture="$(realpath "$3")"
    mkdir -p "$work/show/data/shaders" "$work/show/data/textures"
    cp "$root/showcase/data/textures/profont.png" "$root/showcase/data/textures/glow.png" "$work/show/data/textures/"
    cat >"$work/show/data/shaders/main.vert" <<'SHADER'
#version 330 compatibility
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
out float lit;
void main()
{
    vec3 normal = normalize(gl_NormalMatrix * in_normal);
    lit = max(dot(normal, normalize(gl_LightSource[0].position.xyz)), 0.0);
    gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
SHADER
    cat >"$work/show/data/shaders/main.frag" <<'SHADER'
#version 330 compatibility
in float lit;
out vec4 colour;
void main() { colour = vec4(1.0, lit * 0.5, 0.0, 0.5); }
SHADER
    cat >"$work/show/data/vesperscript.txt" <<'SCRIPT'
-10 main SHADER main.vert main.frag
-9 cam new camera
-9 cam setpoint 0,0,4
-9 cam setdirection 0.5,0.5,0
-9 cam deltadirection 0,0,0.5
-9 moon new sphere
-9 moon setpoint 2.5,-1.5,-8
-9 SCENE append moon
-9 SCENE append cam
-9 ball new sphere
-9 cam append ball
-9 title new text
-9 title local text;GLOW
-9 title setpoint -1,-2.5,-6
-9 SCENE append title
-9 flare new image
-9 flare texture glow.png
-9 flare setpoint 1.2,0.8,-4
-9 SCENE append flare
SCRIPT
    cd "$work/show"
    paused_is_captured 1
    # No music: the edit mode's message names the file the player looked for.
    grep -q "BASS: BASS error, file not found? (data/music/QX07Synthpop_FINAL.mp3)" "$work/err" ||
      fail "the missing music's message does not name the file looked for"
    press Right
    await_built 2 120
    press Left
    await_built 3 120
    shot "$work/back"
    cmp -s "$work/captured" "$work/back" || fail "after Right then Left the picture is not the capture's frame"
    printf '%s\n' "# saved again" >>data/vesperscript.txt
    await_built 4 60
    shot "$work/reloaded"
    cmp -s "$work/captured" "$work/reloaded" || fail "after a reload the picture is not the capture's frame"
    # A show without music is a second long on the timeline: 70 % along it is about 0.7 s.
    press Tab
    sleep 0.5
    x xdotool mousemove 1350 1040 click 1 || fail "could not click the timeline"
    await_built 5 120
    clicked="$(grep -o "show built at [0-9.]*" "$work/err" | tail -n 1 | awk '{ print $4 }')"
    awk -v t="$clicked" 'BEGIN { exit !(t > 0.3 && t < 0.95) }' || fail "the click sought to $clicked s, not near 0.7 s"
    press Tab
    capture_at "$clicked" "$work/captured-click"
    shot_until_same "$work/clicked" "$work/captured-click" 10 ||
      fail "after a click on the timeline at $clicked s the picture is not the capture's frame"
    # A saved shader replaces the program under the standing show; the moon, drawn before the turning
    # camera, is lit by the light the frame before left.
    save data/shaders/main.frag "$(sed 's/lit \* 0.5/lit * 0.9/' data/shaders/main.frag)"
    await_reloaded 1 60
    [ "$(built)" -eq 5 ] || fail "a saved shader built the show again"
    capture_at "$clicked" "$work/captured-shader"
    shot_until_same "$work/replaced" "$work/captured-shader" 10 ||
      fail "after a saved shader the picture is not the capture's frame with the new shader"
    press Escape
    await_exit 60
    ;;
  reload)
    make_static_show
    cd "$work/show"
    start_edit --at 1 --paused
    await_built 1 120
    press Tab
    await_pixel 960 540 "90 40 200" 10 || fail "the quad is $(pixel 960 540), not (90, 40, 200)"
    save data/shaders/swap.frag "$(sed 's/vec4(.*)/vec4(0.0, 1.0, 0.0, 1.0)/' "$here/show/data/shaders/swap.frag")"
    grep -q "vec4(0.0, 1.0, 0.0, 1.0)" data/shaders/swap.frag || fail "the test could not rewrite the shader"
    await_reloaded 1 60
    await_pixel 960 540 "0 255 0" 10 || fail "after the save the quad is $(pixel 960 540), not green"
    grep -q "reloaded at 1.000 s" "$work/err" || fail "the reload did not keep the time at 1 s"
    grep -q "programs replaced at 1.000 s .* (1 linked again in" "$work/err" || fail "the program was not replaced in place"
    [ "$(built)" -eq 1 ] || fail "a saved shader built the show again"
    save data/shaders/swap.frag "this is not GLSL"
    await_reloaded 2 60
    alive || fail "a broken shader ended the program"
    [ "$(pixel 960 540)" = "0 255 0" ] || fail "a broken shader did not keep the last good program"
    grep -q "Error compiling shader" "$work/out" || fail "the compiler's error was not printed"
    grep -q "Keeping the last good version of program swap" "$work/out" || fail "no word of the kept program"
    # Fixed again: the program is replaced and its error goes from the message list with the save.
    save data/shaders/swap.frag "$(cat "$here/show/data/shaders/swap.frag")"
    await_reloaded 3 60
    await_pixel 960 540 "90 40 200" 10 || fail "after the fix the quad is $(pixel 960 540), not (90, 40, 200)"
    [ "$(built)" -eq 1 ] || fail "a saved shader built the show again"
    press Escape
    await_exit 60
    ;;
  reloads)
    count="$3"
    judge=1
    [ "${4:-}" = --no-memory ] && judge=0
    mkdir -p "$work/show/data/textures"
    cp -r "$here/soak/data/." "$work/show/data/"
    cp "$here/show/data/textures/swatch.png" "$root/showcase/data/textures/profont.png" "$work/show/data/textures/"
    cd "$work/show"
    start_edit --at 1 --paused
    await_built 1 120
    base=""
    rebuilds=1
    for i in $(seq 1 "$count"); do
      if [ $((i % 2)) -eq 1 ]; then
        printf '%s\n' "-1 box state $i" >>data/vesperscript.txt
        rebuilds=$((rebuilds + 1))
      else
        printf '%s\n' "// saved $i" >>data/shaders/mesh.frag
      fi
      await_reloaded "$i" 60
      [ "$(built)" -eq "$rebuilds" ] || fail "after save $i the show was built $(built) times, not $rebuilds"
      [ "$i" -eq 10 ] && base="$(resident)"
    done
    last="$(resident)"
    alive || fail "the program ended during the reloads"
    press Escape
    await_exit 60
    [ -n "$base" ] && [ -n "$last" ] || fail "no memory figures"
    echo "memory: $base KiB after 10 reloads, $last KiB after $count"
    if [ "$judge" -eq 1 ] && [ "$last" -gt $((base + base / 10)) ]; then
      fail "memory grew by more than 10 % over $count reloads"
    fi
    ;;
  inspector)
    capture="$(realpath "$3")"
    # The panels' layout of this run alone: the inspector starts closed.
    export XDG_CONFIG_HOME="$work/config"
    make_static_show
    cat >>"$work/show/data/vesperscript.txt" <<'SCRIPT'
-1 dot new demoeffect
-1 field new particles
-1 field local x;100
-1 field local y;100
-1 field local type;tube
-1 field local anim;sine
-1 field local init;dot
-1 SCENE append field
SCRIPT
    cd "$work/show"
    paused_is_captured 1
    press Tab
    press i
    sleep 1
    # Where the panel puts them at 1920 x 1080: the field's row (its arrow, then its name) and the
    # first line naming it.
    x xdotool mousemove 19 48 click 1
    sleep 0.5
    x xdotool mousemove 100 48 click 1
    sleep 0.5
    x xdotool mousemove 150 843 click 1
    await_built 2 60
    grep -q "show built at 0.000 s" "$work/err" || fail "a click on a line naming the field did not seek to 0"
    press Right
    await_built 3 60
    press Tab
    shot_until_same "$work/back" "$work/captured" 10 || fail "after the inspector the picture is not the capture's frame"
    press Escape
    await_exit 60
    grep "overlay" "$work/err"
    ;;
  retime)
    capture="$(realpath "$3")"
    make_static_show
    # The picture steps back at 1 s; the END makes the timeline four seconds long, a beat every half.
    printf '%s\n' "1 pic setpoint 0,0,-3" "4 show END" >>"$work/show/data/vesperscript.txt"
    mkdir -p "$work/show/data/music"
    printf '%s\n' "# by hand" 0.5 1.0 1.5 2.0 2.5 3.0 3.5 >"$work/show/data/music/beats.txt"
    cd "$work/show"
    cp data/vesperscript.txt "$work/original.txt"
    paused_is_captured 1.5
    press Tab
    sleep 0.5
    # At 1920 x 1080 the timeline's seconds run from x = 72 to 1912 and its ticks stand at y = 1008
    # to 1017: the tick at 1 s is at x = 532, 2 s at x = 992.
    x xdotool mousemove 532 1012 || fail "could not move the pointer"
    sleep 0.3
    x xdotool mousedown 1 || fail "could not press the button"
    sleep 0.3
    x xdotool mousemove 540 1012 || fail "could not move the pointer"
    sleep 0.3
    x xdotool mousemove 985 1012 || fail "could not move the pointer"
    await_pixel 992 1040 "255 90 255" 10 ||
      fail "while dragging, the target's marker at 2 s is $(pixel 992 1040), not (255, 90, 255)"
    x xdotool mouseup 1 || fail "could not let go of the button"
    await_reloaded 1 60
    sed 's/^1 pic setpoint/1.999 pic setpoint/' "$work/original.txt" >"$work/moved.txt"
    cmp -s data/vesperscript.txt "$work/moved.txt" ||
      fail "the moved script is not the original with that one stamp changed: $(diff "$work/moved.txt" data/vesperscript.txt)"
    [ "$(built)" -eq 2 ] || fail "the move built the show $(built) times, not once more"
    press Tab
    capture_at 1.5 "$work/captured-moved"
    shot_until_same "$work/moved" "$work/captured-moved" 10 ||
      fail "after the move the picture is not the capture's frame at 1.5 s of the moved script"
    cmp -s "$work/captured-moved" "$work/captured" && fail "the move does not change the frame at 1.5 s"
    press ctrl+z
    await_reloaded 2 60
    cmp -s data/vesperscript.txt "$work/original.txt" || fail "Ctrl+Z did not put the script back byte for byte"
    shot_until_same "$work/undone" "$work/captured" 10 || fail "after Ctrl+Z the picture is not the first one"
    press Escape
    await_exit 60
    ;;
  *)
    fail "unknown mode $mode"
    ;;
esac
echo "PASS: $mode"
