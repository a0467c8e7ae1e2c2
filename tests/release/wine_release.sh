#!/usr/bin/env bash
# A Windows release folder (NAME.exe, its DLLs, the show's data/) played under Wine on an X server of
# its own, started from another folder, answered "full screen", against the Linux build's player on
# the same show: it must play to END with exit 0, print what the Linux player prints (line endings
# aside) and show the same objects at a still moment (screenshots compared with a tolerance).
#
#   wine_release.sh RELEASE_DIR LINUX_PLAYER [STILL_LINE]
#
# STILL_LINE: the "Doing: " line after which the picture holds still until END; by default the last
# line the script runs before END. Both screenshots are taken a second after it is printed.
# Prints the start-up of both players (start to the question, answer to the first "Doing: " line).
# With WINE_RELEASE_KEEP=DIR the screenshots, outputs and their difference are kept in DIR.
set -uo pipefail

release="$(realpath "$1")"
linux_player="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d "${TMPDIR:-/tmp}/glowmarch-wine-XXXXXX")"
server=""
show=""
cleanup() {
  if [ -n "${WINE_RELEASE_KEEP:-}" ]; then
    mkdir -p "$WINE_RELEASE_KEEP" && cp "$work"/*.png "$work"/*.out "$work"/*.err "$WINE_RELEASE_KEEP/" 2>/dev/null
  fi
  [ -n "$show" ] && { pkill -KILL -P "$show" 2>/dev/null; kill -KILL "$show" 2>/dev/null; }
  [ -d "$work/prefix" ] && WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in "$work"/*.out "$work"/*.err; do
    [ -s "$log" ] && { echo "--- $(basename "$log"):"; tail -n 20 "$log"; }
  done
  exit 1
}

for tool in Xvfb xdotool xwininfo import compare wine wineserver; do
  command -v "$tool" >/dev/null || fail "$tool is not installed: run scripts/setup"
done
exes=("$release"/*.exe)
[ ${#exes[@]} -eq 1 ] && [ -f "${exes[0]}" ] || fail "$release holds no single .exe"
exe="${exes[0]}"
[ -f "$release/data/vesperscript.txt" ] || fail "$release holds no data/vesperscript.txt"

still="${3:-}"
if [ -z "$still" ]; then
  # The script's timed lines in the order they run; the one before END.
  still="Doing: $(tr -d '\r' <"$release/data/vesperscript.txt" | awk '!/^[ \t]*(#|$)/ && $1 + 0 >= 0 && $3 != "END"' |
                  sort -s -g -k1,1 | tail -n 1)"
fi

source "$here/../app/xserver.sh"
start_xserver 1920x1080x24

source "$here/wineprefix.sh"
make_wineprefix "$work/prefix"

# Plays the show: RUN_NAME then the command; answers the question with full screen, waits for the
# still line, takes the screenshot, waits for the end; sets $question and $first (seconds).
play() {
  local name="$1"; shift
  local start until code
  start="$(now)"
  "$@" >"$work/$name.out" 2>"$work/$name.err" &
  show=$!
  await_box "Start Fullscreen?" 120
  question="$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')"
  start="$(now)"
  x xdotool key --window "$box_id" Return || fail "$name: could not answer the question"
  first=""
  until="$(deadline 120)"
  while before "$until"; do
    if [ -z "$first" ] && grep -q '^Doing: ' "$work/$name.out"; then
      first="$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')"
    fi
    tr -d '\r' <"$work/$name.out" | grep -qxF -- "$still" && break
    alive || fail "$name ended before printing \"$still\""
    sleep 0.05
  done
  tr -d '\r' <"$work/$name.out" | grep -qxF -- "$still" || fail "$name did not print \"$still\" within 120 s"
  [ -n "$first" ] || first="$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')"
  sleep 1
  alive || fail "$name ended before its screenshot"
  x import -window root "$work/$name.png" || fail "$name: no screenshot"
  until="$(deadline 120)"
  while before "$until" && alive; do sleep 0.1; done
  alive && fail "$name did not end within 120 s of its still moment"
  wait "$show"
  code=$?
  show=""
  [ "$code" -eq 0 ] || fail "$name ended with exit code $code, not 0"
}

# The Linux build's player beside a copy of the show, started from that folder.
mkdir -p "$work/linux" "$work/elsewhere"
# Everything the release carries but its Windows files: data/ and the files named outside it.
cp -r "$release/." "$work/linux/"
rm -f "$work/linux/"*.exe "$work/linux/"*.dll
cp "$linux_player" "$work/linux/"
cd "$work/linux" && play linux "./$(basename "$linux_player")"
linux_question=$question linux_first=$first

# The Windows release, started from another folder: it finds its show beside itself.
cd "$work/elsewhere" && play windows wine "$exe"
echo "start-up (s): question after linux $linux_question, wine $question; first \"Doing: \" line after the answer: linux $linux_first, wine $first"

tr -d '\r' <"$work/linux.out" >"$work/linux.txt"
tr -d '\r' <"$work/windows.out" >"$work/windows.txt"
diff "$work/linux.txt" "$work/windows.txt" >"$work/output.diff" ||
  fail "the Windows release printed other lines than the Linux player: $(head -n 20 "$work/output.diff")"

# The same objects in the same places: few pixels may differ by more than a small shade.
differing="$(compare -metric AE -fuzz 12% "$work/linux.png" "$work/windows.png" "$work/difference.png" 2>&1 >/dev/null)"
differing="${differing%% *}"
[[ "$differing" =~ ^[0-9.e+]+$ ]] || fail "could not compare the screenshots: $differing"
awk -v d="$differing" 'BEGIN { exit !(d <= 0.01 * 1920 * 1080) }' ||
  fail "$differing pixels of the Windows release's picture differ from the Linux player's"
lit="$(convert "$work/windows.png" -threshold 4% -format '%[fx:mean]' info:)"
awk -v m="$lit" 'BEGIN { exit !(m > 0.01) }' || fail "the Windows release's picture is black"
echo "PASS: $(basename "$exe") played to END under Wine; same $(wc -l <"$work/linux.txt") lines, $differing of $((1920 * 1080)) pixels differ"
