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
