#!/usr/bin/env bash
# The real player kept running for a long while on an X server of its own, judged by its output, its
# exit code and its resident memory (VmRSS, sampled from /proc).
#
#   soak.sh showcase PLAYER [--no-memory]
#       The showcase from the start to its "END", on the music: exit code 0, the script listed, every
#       timed line announced once with "Doing: ", nothing else on standard output or standard error,
#       and memory flat once the show runs (see check_showcase_memory).
#   soak.sh restarts PLAYER COUNT [--no-memory]
#       A small show with one object of every class, restarted COUNT times with F5 (four of them F1,
#       to full screen and back, twice): each start lists the script and runs every timed line, the
#       player ends with exit code 0 on Escape, and the memory after the last restart is within 10 %
#       of that after the first.
#
# --no-memory reports the memory figures without judging them: under AddressSanitizer freed memory
# waits in a quarantine, so the resident size grows without any leak. Exits 77 (skipped) when the X
# tools are missing.
set -uo pipefail

if [ $# -lt 2 ] || [ ! -x "$2" ]; then
  echo "usage: $0 showcase PLAYER [--no-memory] | restarts PLAYER COUNT [--no-memory]"
  exit 1
fi
mode="$1"
player="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
shift 2
count=0
if [ "$mode" = restarts ]; then
  count="${1:-}"
  shift
  case "$count" in '' | *[!0-9]* | 0) echo "FAIL: restarts needs a count of 1 or more"; exit 1 ;; esac
fi
judge_memory=1
[ "${1:-}" = --no-memory ] && judge_memory=0

for tool in Xvfb xdotool xwininfo awk; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup installs it)"; exit 77; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/glowmarch-soak-XXXXXX")"
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
# A test runner that gives up on us sends TERM: the player and the X server go with us.
trap 'exit 1' TERM INT HUP

fail() {
  echo "FAIL: $*"
  for log in out err; do
    [ -s "$work/$log" ] && { echo "--- player's std$log (end):"; tail -n 30 "$work/$log"; }
  done
  [ -s "$work/memory" ] && { echo "--- memory samples (seconds, KiB):"; tr '\n' ' ' <"$work/memory"; echo; }
  exit 1
}

source "$here/xserver.sh"
start_xserver 1920x1080x24
# When the X server refuses a connection for a moment, SDL tries Wayland on the way, and the Wayland
# library complains on standard error about a missing runtime folder: give it an empty one.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi

since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.1f", a - b }'; }

resident() { awk '/^VmRSS:/ { print $2 }' "/proc/$show/status" 2>/dev/null; }

# SDL's boxes carry their caption as a UTF-8 name that xwininfo shows and xdotool's search does not.
boxes() { x xwininfo -root -tree | grep -oE '"[^"]*": \(' | sed -e 's/^"//' -e 's/": ($//'; }

# A refused full-screen mode is answered Yes (run windowed); any other box is a fault here, since
# the music is there and every file the show names exists.
take_boxes() {
  local caption id
  while read -r caption; do
    case "$caption" in
      Glowmarch) ;;  # the show's own window
      "OpenGL Rules")
        id="$(box "OpenGL Rules")"
        [ -n "$id" ] && x xdotool key --window "$id" Return
        ;;
      *) fail "unexpected message box \"$caption\"" ;;
    esac
  done < <(boxes)
}

answer_question() {  # key
  await_box "Start Fullscreen?" 60
  x xdotool key --window "$box_id" "$1" || fail "could not answer the full-screen question"
}

count() { grep -cxF -- "$1" "$work/out"; }

# Waits until standard output holds `times` copies of the line, taking boxes on the way.
await_line() {  # line times seconds
  local until
  until="$(deadline "$3")"
  while before "$until"; do
    [ "$(count "$1")" -ge "$2" ] && return 0
    alive || fail "the player ended before printing \"$1\" $2 times"
    take_boxes
    sleep 0.05
  done
  fail "\"$1\" printed $(count "$1") times, not $2, within $3 s"
}

await_exit() {  # seconds
  local until
  until="$(deadline "$1")"
  while before "$until" && alive; do
    take_boxes
    sleep 0.2
  done
  alive && fail "the player did not end within $1 s"
  wait "$show"
  local code=$?
  show=""
  [ "$code" -eq 0 ] || fail "exit code $code, not 0"
}

# The lines the player keeps from a script, each as "TIME<tab>TEXT", in file order: lines that start
# with a number (after blanks), except those starting with '#' or 'B'.
script_lines() {  # script
  tr '\r' '\n' <"$1" | awk '
    /^[#B]/ { next }
    match($0, /^[ \t\v\f]*[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?/) {
      printf "%s\t%s\n", substr($0, RSTART, RLENGTH) + 0, $0
    }'
}

# The listing the player prints at each start: every kept line with its time as "%f".
expected_listing() {  # script
  script_lines "$1" | awk -F'\t' '{ line = $0; sub(/^[^\t]*\t/, "", line); printf "%s %f\n", line, $1 }'
}

# The "Doing: " lines of one run, sorted: every line with a time stamp of 0 or more that falls due
# before the first "END" line does, and that line itself.
expected_doing() {  # script
  script_lines "$1" | awk -F'\t' '
    { time[NR] = $1 + 0; line = $0; sub(/^[^\t]*\t/, "", line); text[NR] = line
      split(line, word, /[ ,]+/)
      if (end == 0 && (word[3] == "END" || (word[1] == "" && word[4] == "END"))) end = NR }
    END {
      for (i = 1; i <= NR; ++i) {
        if (time[i] < 0) continue
        if (end > 0 && (time[i] > time[end] || (time[i] == time[end] && i > end))) continue
        print "Doing: " text[i]
      }
    }' | LC_ALL=C sort
}

# Standard error holds nothing at all: no sanitizer report, no GL or X complaint, no box text that
# could not be shown.
check_quiet_errors() {
  [ -s "$work/err" ] && fail "standard error is not empty: $(head -n 5 "$work/err")"
  return 0
}

# Samples the resident memory once a second into $work/memory ("seconds KiB", seconds since `start`)
# until the player ends or the deadline passes, taking boxes on the way.
sample_memory() {  # start seconds
  local until next kib
  until="$(deadline "$2")"
  next="$(now)"
  while before "$until" && alive; do
    if ! before "$next"; then
      kib="$(resident)"
      [ -n "$kib" ] && echo "$(since "$1") $kib" >>"$work/memory"
      next="$(awk -v n="$next" 'BEGIN { printf "%.3f", n + 1 }')"
    fi
    take_boxes
    sleep 0.1
  done
}

# The showcase's memory rises in a few steps while new scenes are first drawn (the GL driver compiles
# and bins their work, and the heap keeps what it once held), and the driver gives some back now and
# then. A leak shows as growth that keeps on while the same scene plays. Judged against the level at
# 20 s, once every program, mesh and picture is loaded and the first scenes have drawn:
#   - nothing later exceeds it by more than 25 % (no runaway growth at any time);
#   - the level at the END (median of the last five samples) is at most 2 % above the level at the
#     start of the last 15 s, the outro, which draws nothing new (median of five samples from there).
check_showcase_memory() {  # end-time
  awk -v end="$1" -v judge="$judge_memory" '
    function median(from,    a, n, i, j, swap) {
      n = 0
      for (i = from; i <= NR && n < 5; ++i) a[++n] = kib[i]
      for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { swap = a[j]; a[j] = a[j - 1]; a[j - 1] = swap }
      return a[int((n + 1) / 2)]
    }
    { t[NR] = $1; kib[NR] = $2 }
    END {
      for (i = 1; i <= NR && t[i] < 20; ++i) {}
      if (i > NR) { print "FAIL: no memory sample after 20 s"; exit 1 }
      base = kib[i]; peak = base
      for (j = i; j <= NR; ++j) if (kib[j] > peak) peak = kib[j]
      for (k = i; k <= NR && t[k] < end - 15; ++k) {}
      if (NR - k < 9) { print "FAIL: fewer than ten memory samples in the last 15 s"; exit 1 }
      outro = median(k); last = median(NR - 4)
      printf "memory: %.1f MiB at 20 s, peak %.1f MiB after it (%+.1f %%); %.1f MiB at %.0f s, %.1f MiB at the END (%+.2f %%)\n",
             base / 1024, peak / 1024, 100 * (peak - base) / base, outro / 1024, t[k], last / 1024,
             100 * (last - outro) / outro
      if (!judge) exit 0
      if (peak > 1.25 * base) { print "FAIL: memory grew by more than 25 % after the start-up"; exit 1 }
      if (last > 1.02 * outro) { print "FAIL: memory grew by more than 2 % in the last 15 s"; exit 1 }
    }' "$work/memory"
}

run_showcase() {
  local script="$root/showcase/data/vesperscript.txt"
  [ -f "$script" ] || fail "no showcase at $script"
  expected_listing "$script" >"$work/listing"
  expected_doing "$script" >"$work/doing"
  local first_listed end_line end_time
  first_listed="$(head -n 1 "$work/listing")"
  end_line="$(grep -m 1 -E ' END$' "$work/doing" || true)"
  [ -n "$end_line" ] || fail "the showcase has no END line"
  end_time="$(echo "${end_line#Doing: }" | awk '{ print $1 + 0 }')"

  # The player only reads its folder: the showcase is played where it lies.
  cd "$root/showcase" || fail "cannot enter the showcase"
  "$player" >"$work/out" 2>"$work/err" &
  show=$!
  # Full screen, as a person watches a show.
  answer_question Return
  await_line "$first_listed" 1 60
  # The Player starts the music right after the listing: memory time is show time.
  local start
  start="$(now)"
  sample_memory "$start" "$(awk -v e="$end_time" 'BEGIN { print e + 60 }')"
  alive && fail "the show did not reach its END within $end_time s and a minute"
  await_exit 10

  local listed
  listed="$(wc -l <"$work/listing")"
  head -n "$listed" "$work/out" | cmp -s - "$work/listing" ||
    fail "the listing differs from the script: $(head -n "$listed" "$work/out" | diff - "$work/listing" | head -n 6)"
  tail -n +"$((listed + 1))" "$work/out" >"$work/ran"
  grep -v '^Doing: ' "$work/ran" >"$work/unexpected" && fail "unexpected output: $(head -n 5 "$work/unexpected")"
  LC_ALL=C sort "$work/ran" | cmp -s - "$work/doing" ||
    fail "the lines run differ from the timed lines (< run, > script): $(LC_ALL=C sort "$work/ran" | diff - "$work/doing" | head -n 10)"
  [ "$(tail -n 1 "$work/out")" = "$end_line" ] || fail "the last line printed is not \"$end_line\""
  check_quiet_errors
  echo "memory samples (seconds KiB): $(tr '\n' ' ' <"$work/memory")"
  check_showcase_memory "$end_time" || fail "memory is not flat"
  echo "ran $(wc -l <"$work/ran") timed lines in $(tail -n 1 "$work/memory" | awk '{ print $1 }') s"
}

# The soak show: every class, its own shaders and mesh, a picture and the font, one second of music.
make_soak_show() {
  mkdir -p "$work/show/data/textures" "$work/show/data/music"
  cp -r "$here/soak/data/." "$work/show/data/"
  cp "$here/show/data/textures/swatch.png" "$root/showcase/data/textures/profont.png" "$work/show/data/textures/"
  cp "$root/tests/audio/fixtures/tone440.mp3" "$work/show/data/music/QX07Synthpop_FINAL.mp3"
}

run_restarts() {
  make_soak_show || fail "could not set up the soak show"
  local script="$work/show/data/vesperscript.txt"
  expected_listing "$script" >"$work/listing"
  expected_doing "$script" >"$work/doing"
  local first_listed last_doing listed doing
  first_listed="$(head -n 1 "$work/listing")"
  # Lines due in one frame run in file order, so the last timed line of the file is the last announced.
  last_doing="Doing: $(script_lines "$script" | awk -F'\t' '$1 >= 0' | tail -n 1 | cut -f 2-)"
  listed="$(wc -l <"$work/listing")"
  doing="$(wc -l <"$work/doing")"

  cd "$work/show" || fail "cannot enter the soak show"
  "$player" >"$work/out" 2>"$work/err" &
  show=$!
  answer_question Escape

  local start first="" last="" shows=$((count + 1)) key
  start="$(now)"
  for ((run = 1; run <= shows; ++run)); do
    # Each start is listed and runs all its timed lines before the next key.
    await_line "$first_listed" "$run" 60
    await_line "$last_doing" "$run" 60
    if [ "$run" -eq 2 ] || [ "$run" -eq "$shows" ]; then
      # The same moment of the show both times: a second in, the music just over.
      sleep 1
      [ "$run" -eq 2 ] && first="$(resident)" || last="$(resident)"
    fi
    [ $((run % 50)) -eq 1 ] && echo "$(since "$start") $(resident)" >>"$work/memory"
    [ "$run" -eq "$shows" ] && break
    key=F5
    case "$run" in "$((count / 5))" | "$((count / 5 + 1))" | "$((count / 2))" | "$((count / 2 + 1))") key=F1 ;; esac
    x xdotool key "$key" || fail "could not press $key"
  done
  x xdotool key Escape || fail "could not press Escape"
  await_exit 30

  [ "$(count "$first_listed")" -eq "$shows" ] || fail "the script was listed $(count "$first_listed") times, not $shows"
  [ "$(wc -l <"$work/out")" -eq $((shows * (listed + doing))) ] ||
    fail "$(wc -l <"$work/out") lines printed, not $shows times $listed listed and $doing run"
  grep -vxF -f "$work/listing" "$work/out" | grep -vxF -f "$work/doing" >"$work/unexpected" &&
    fail "unexpected output: $(head -n 5 "$work/unexpected")"
  check_quiet_errors
  [ -n "$first" ] && [ -n "$last" ] || fail "no memory figures"
  echo "memory every 50 starts (seconds KiB): $(tr '\n' ' ' <"$work/memory")"
  awk -v first="$first" -v last="$last" -v count="$count" -v judge="$judge_memory" -v took="$(since "$start")" 'BEGIN {
    printf "memory: %.1f MiB after the first restart, %.1f MiB after restart %d (%+.1f %%); %s s in all\n",
           first / 1024, last / 1024, count, 100 * (last - first) / first, took
    if (judge && (last > 1.1 * first || last < 0.9 * first)) { print "FAIL: memory moved by more than 10 %"; exit 1 }
  }' || fail "memory is not steady across restarts"
}

case "$mode" in
  showcase) run_showcase ;;
  restarts) run_restarts ;;
  *) fail "unknown mode \"$mode\" (showcase or restarts)" ;;
esac
echo "PASS: $mode"
