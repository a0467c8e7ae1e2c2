# Shared by the end-to-end scripts (sourced): an X server of the script's own, so that no other
# test's windows, keys or boxes get in the way, and X client calls that survive its hiccups.
# Expects $work (a scratch folder) and a fail function; sets $server and DISPLAY.

start_xserver() {  # screen, e.g. 1920x1080x24
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  server=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n 1 "$work/display")"
  export SDL_AUDIODRIVER=dummy
}

# The display may refuse a connection now and then; every X client call gets a few tries.
x() {
  for _ in 1 2 3 4 5; do
    "$@" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Seconds since the epoch with a fraction, for deadlines.
now() { date +%s.%N; }
before() { awk -v a="$(now)" -v b="$1" 'BEGIN { exit !(a < b) }'; }
deadline() { awk -v a="$(now)" -v s="$1" 'BEGIN { printf "%.3f", a + s }'; }

# The id of the window titled `title` (a message box), or nothing.
box() { x xwininfo -root -tree | grep -F "\"$1\":" | awk '{ print $1 }' | head -n 1; }

# Waits for the box titled `title` while the program `alive` says runs, and sets $box_id to it.
# Fails, with the reason, when the program ends first or the box does not come in time.
await_box() {  # title seconds
  local until
  box_id=""
  until="$(deadline "$2")"
  while before "$until"; do
    alive || fail "the program ended before showing the box \"$1\""
    box_id="$(box "$1")"
    [ -n "$box_id" ] && return 0
    sleep 0.1
  done
  fail "no box \"$1\" within $2 s"
}

# Whether the program under test ($show) still runs.
alive() { kill -0 "$show" 2>/dev/null; }

# The pixel at x, y of the screen as "r g b".
pixel() { x import -window root -crop "1x1+$1+$2" -depth 8 rgb:- | od -An -tu1 | xargs; }

shot() {  # file: the whole screen as raw RGB
  x import -window root -depth 8 "rgb:$1" || fail "could not take a screenshot"
}

# Takes screenshots into `file` until it equals `expected` or `seconds` have passed: a busy machine
# (or a sanitizer) may take a moment to answer a key. True when it came to equal.
shot_until_same() {  # file expected seconds
  local until
  until="$(deadline "$3")"
  while :; do
    shot "$1"
    cmp -s "$1" "$2" && return 0
    before "$until" || return 1
    sleep 0.5
  done
}
