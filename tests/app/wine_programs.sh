#!/usr/bin/env bash
# The Windows programs as a person uses them, under Wine on an X server of their own, from a folder
# of all the programs and their DLLs, started from another folder, in a show folder whose name is
# outside any ANSI code page; judged against the Linux build's programs on the same shows.
#
#   wine_programs.sh WINDOWS_BIN LINUX_BIN [RUNTIMES]
#
# - glowmarch.exe --new writes the very show glowmarch --new writes; --check on it exits 0;
#   --check on a show with planted mistakes prints what the Linux check prints, and exits 1 as it does.
# - glowmarch-capture.exe's frame for 2 s (and its sound) is the Linux capture's, pixel for pixel.
# - Ctrl+C ends glowmarch-capture.exe at once and leaves no unfinished file.
# - glowmarch.exe --edit --at 2 --paused, overlay hidden (Tab), shows that frame; a saved fragment
#   shader changes the picture in place to the capture's frame of the saved show; Escape ends it
#   with exit code 0.
# - glowmarch-capture.exe --video with no ffmpeg.exe beside it or on PATH says so on one line, exits
#   1 and writes nothing.
# - glowmarch.exe --beats writes the very beat file glowmarch --beats writes (aubio with its own FFT
#   on Windows, with FFTW on Linux).
# - With RUNTIMES (the folder of linux-x86_64/ and windows-x64/ that LINUX_BIN's glowmarch releases
#   from), laid beside the Windows programs as the download lays them: glowmarch.exe --release of
#   the release check's show makes the very folders the Linux glowmarch --release makes, and archives
#   holding the same entries (names, modes, contents; only the time of the release differs), for
#   each system whose runtime is there. Those the release checks play (scripts/test-release,
#   tests/release/wine_release.sh).
set -uo pipefail

windows="$(realpath "$1")"
linux="$(realpath "$2")"
runtimes="${3:+$(realpath "$3")}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

work="$(mktemp -d "${TMPDIR:-/tmp}/glowmarch-wine-programs-XXXXXX")"
server=""
show=""
cleanup() {
  [ -n "$show" ] && { pkill -KILL -P "$show" 2>/dev/null; kill -KILL "$show" 2>/dev/null; }
  [ -d "$work/prefix" ] && WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP

fail() {
  echo "FAIL: $*"
  for log in "$work"/*.out "$work"/*.err; do
    [ -s "$log" ] && { echo "--- $(basename "$log") (end):"; tr -d '\r' <"$log" | grep -vE '^(ALSA|err:|fixme:)' | tail -n 20; }
  done
  exit 1
}

for tool in Xvfb xdotool import convert compare cmp wine wineserver python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed: run scripts/setup"
done
for program in glowmarch.exe glowmarch-capture.exe; do
  [ -f "$windows/$program" ] || fail "no $program in $windows"
done

source "$here/xserver.sh"
start_xserver 1920x1080x24
source "$here/../release/wineprefix.sh"
make_wineprefix "$work/prefix"

# Waits until the edit mode's standard error holds `count` lines matching `pattern`.
await_line() {  # pattern count seconds doing
  local until
  until="$(deadline "$3")"
  while before "$until"; do
    alive || fail "the edit mode ended while $4"
    [ "$(tr -d '\r' <"$work/edit.err" | grep -c -- "$1")" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "$4: no \"$1\" within $3 s"
}
frame_of() {  # png rgb
  convert "$1" -depth 8 "rgb:$2" || fail "could not read $1"
}

music="$root/showcase/data/music/QX07Synthpop_FINAL.mp3"
name=$'\xd1\x88\xd0\xbe\xd1\x83-\xe8\xa1\xa8\xe6\xbc\x94'  # шоу-表演
mkdir -p "$work/elsewhere" "$work/linux"
cd "$work/elsewhere"

# --new, then --check on it.
wine "$windows/glowmarch.exe" --new "$name" >"$work/new.out" 2>"$work/new.err" || fail "glowmarch.exe --new failed"
"$linux/glowmarch" --new "$work/linux/show" >/dev/null 2>&1 || fail "the Linux glowmarch --new failed"
diff -r "$work/linux/show" "$name" >"$work/new.diff" || fail "--new wrote another show than on Linux: $(head -n 5 "$work/new.diff")"
wine "$windows/glowmarch.exe" --check "$name" >"$work/check-new.out" 2>"$work/check-new.err" ||
  fail "glowmarch.exe --check on the new show exited $?, not 0"

# The same findings on a show with planted mistakes, in a folder of the same kind of name.
planted=$'\xd0\xbe\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb8'  # ошибки
cp -r "$here/check" "$planted"
(cd "$planted" && "$linux/glowmarch" --check >"$work/check-linux.out" 2>/dev/null)
linux_code=$?
wine "$windows/glowmarch.exe" --check "$planted" >"$work/check-windows.out" 2>"$work/check-windows.err"
windows_code=$?
[ "$linux_code" -eq 1 ] && [ "$windows_code" -eq 1 ] ||
  fail "--check on the planted mistakes exited $windows_code on Windows, $linux_code on Linux, not 1"
tr -d '\r' <"$work/check-windows.out" | diff "$work/check-linux.out" - >"$work/check.diff" ||
  fail "--check found other mistakes than on Linux: $(head -n 10 "$work/check.diff")"
findings="$(wc -l <"$work/check-linux.out")"

# The capture's frame at 2 s, with the music, on both systems.
if [ -f "$music" ]; then
  mkdir -p "$name/data/music" "$work/linux/show/data/music"
  cp "$music" "$name/data/music/"
  cp "$music" "$work/linux/show/data/music/"
fi
(cd "$work/linux/show" && "$linux/glowmarch-capture" --from 2 --to 2.01 --out "$work/linux-frames" \
   >/dev/null 2>"$work/capture-linux.err") || fail "the Linux capture failed"
frames=$'\xd0\xba\xd0\xb0\xd0\xb4\xd1\x80\xd1\x8b'  # кадры
(cd "$name" && wine "$windows/glowmarch-capture.exe" --from 2 --to 2.01 --out "$frames" >/dev/null 2>"$work/capture.err") ||
  fail "glowmarch-capture.exe failed"
frame_of "$work/linux-frames/frame000000.png" "$work/linux-frame"
frame_of "$name/$frames/frame000000.png" "$work/windows-frame"
cmp -s "$work/linux-frame" "$work/windows-frame" ||
  fail "glowmarch-capture.exe's frame for 2 s is not the Linux capture's: $(compare -metric AE \
       "$work/linux-frames/frame000000.png" "$name/$frames/frame000000.png" null: 2>&1) pixels differ"
cmp -s "$work/linux-frames/music.wav" "$name/$frames/music.wav" || fail "glowmarch-capture.exe's music.wav is not the Linux capture's"
[ "$(ls -A "$name/$frames" | LC_ALL=C sort | xargs)" = "frame000000.png music.wav" ] ||
  fail "glowmarch-capture.exe left more than its frame and music.wav: $(ls -A "$name/$frames" | xargs)"

# Ctrl+C (Wine turns SIGINT into the console's Ctrl+C) ends a capture at once, leaving no unfinished file.
(cd "$name" && exec wine "$windows/glowmarch-capture.exe" --fps 30 --to 20 --size 320x180 --out interrupted \
   >/dev/null 2>"$work/capture-interrupted.err") &
capture=$!
until="$(deadline 120)"
until [ -e "$name/interrupted/frame000020.png" ] || ! kill -0 "$capture" 2>/dev/null || ! before "$until"; do sleep 0.05; done
kill -INT "$capture" 2>/dev/null || fail "the capture ended before it could be interrupted"
until="$(deadline 20)"
while before "$until" && kill -0 "$capture" 2>/dev/null; do sleep 0.1; done
kill -0 "$capture" 2>/dev/null && fail "glowmarch-capture.exe went on for 20 s after Ctrl+C"
wait "$capture"
code=$?
[ "$code" -ne 0 ] || fail "an interrupted glowmarch-capture.exe exited with 0"
# Ended by the interruption, not by a file taken from under it.
said="$(tr -d '\r' <"$work/capture-interrupted.err" | grep '^glowmarch-capture:')"
[ -z "$said" ] || fail "interrupted, glowmarch-capture.exe went on and failed (exit code $code): $said"
# The mark of an unfinished capture stays, so that the next capture may replace these frames.
left="$(ls -A "$name/interrupted" | grep -v '^frame[0-9]*\.png$\|^\.glowmarch-capture-unfinished$' | xargs)"
[ -z "$left" ] || fail "Ctrl+C left unfinished files: $left"
[ "$(ls "$name/interrupted" | wc -l)" -lt 600 ] || fail "Ctrl+C did not stop the capture: it wrote every frame"

# The edit mode paused at 2 s, overlay hidden: the capture's frame.
cd "$name"
wine "$windows/glowmarch.exe" --edit --at 2 --paused >"$work/edit.out" 2>"$work/edit.err" &
show=$!
await_line "show built at" 1 120 "building the show"
sleep 0.5
x xdotool key Tab || fail "could not press Tab"
shot_until_same "$work/paused" "$work/windows-frame" 20 ||
  fail "paused at 2 s with the overlay hidden, the picture is not the capture's frame for 2 s"

# A saved shader: the picture changes in place to the capture's frame of the saved show.
sed 's/vec3(0.2, 0.55, 1.0), vec3(1.0, 0.45, 0.2)/vec3(0.1, 0.9, 0.3), vec3(0.9, 0.8, 0.1)/' \
  data/shaders/main.frag >data/shaders/.main.frag.new
cmp -s data/shaders/main.frag data/shaders/.main.frag.new && fail "the shader edit changed nothing"
mv data/shaders/.main.frag.new data/shaders/main.frag
await_line "programs replaced at 2.000 s" 1 60 "replacing the saved shader's program"
[ "$(tr -d '\r' <"$work/edit.err" | grep -c "show built at")" -eq 1 ] || fail "the show was built again for a shader save"
wine "$windows/glowmarch-capture.exe" --from 2 --to 2.01 --out saved-frames >/dev/null 2>"$work/capture-saved.err" ||
  fail "glowmarch-capture.exe failed on the saved show"
frame_of saved-frames/frame000000.png "$work/saved-frame"
cmp -s "$work/saved-frame" "$work/windows-frame" && fail "the saved shader did not change the capture's frame"
shot_until_same "$work/after-save" "$work/saved-frame" 20 ||
  fail "after the save the paused picture is not the capture's frame of the saved show"
x xdotool key Escape || fail "could not press Escape"
until="$(deadline 60)"
while before "$until" && alive; do sleep 0.2; done
alive && fail "the edit mode did not end within 60 s of Escape"
wait "$show"
code=$?
show=""
[ "$code" -eq 0 ] || fail "the edit mode ended with exit code $code, not 0"
cd ..

# No ffmpeg: one line saying what to install and where it goes, exit 1, nothing written.
video=$'\xd0\xb2\xd0\xb8\xd0\xb4\xd0\xb5\xd0\xbe'  # видео
(cd "$name" && wine "$windows/glowmarch-capture.exe" --to 1 --video "$video/show.mp4" >"$work/video.out" 2>"$work/video.err")
code=$?
[ "$code" -eq 1 ] || fail "--video without ffmpeg exited $code, not 1"
said="$(tr -d '\r' <"$work/video.err" | grep -vE '^(ALSA|err:|fixme:)')"
[ "$(printf '%s\n' "$said" | grep -c .)" -eq 1 ] || fail "--video without ffmpeg said more than one line: $said"
case "$said" in
  *ffmpeg.exe*https://ffmpeg.org*"$(winepath -w "$windows" 2>/dev/null | tr -d '\r')"*) ;;
  *) fail "--video without ffmpeg does not say what to install and where: $said" ;;
esac
[ -e "$name/$video" ] && fail "--video without ffmpeg made $video"

# The same beats from the same music.
beats=""
if [ -f "$music" ]; then
  (cd "$work/linux/show" && "$linux/glowmarch" --beats >/dev/null 2>"$work/beats-linux.err") || fail "the Linux --beats failed"
  wine "$windows/glowmarch.exe" --beats "$name" >"$work/beats.out" 2>"$work/beats.err" || fail "glowmarch.exe --beats failed"
  cmp -s "$work/linux/show/data/music/beats.txt" "$name/data/music/beats.txt" ||
    fail "glowmarch.exe --beats wrote another beat file than on Linux: $(diff "$work/linux/show/data/music/beats.txt" \
         "$name/data/music/beats.txt" | head -n 6)"
  beats=", --beats finds the Linux beats"
fi

# The release, from the programs laid out as the download lays them: bin/ beside runtimes/.
released=""
if [ -n "$runtimes" ]; then
  systems=()
  [ -f "$runtimes/linux-x86_64/runtime.txt" ] && systems+=(--linux)
  [ -f "$runtimes/windows-x64/runtime.txt" ] && systems+=(--windows)
  [ ${#systems[@]} -gt 0 ] || fail "no runtime in $runtimes"
  mkdir -p "$work/glowmarch"
  cp -r "$windows" "$work/glowmarch/bin"
  ln -s "$runtimes" "$work/glowmarch/runtimes"
  release=$'\xd1\x80\xd0\xb5\xd0\xbb\xd0\xb8\xd0\xb7'  # релиз
  cp -r "$root/tests/release/show" "$release"
  if [ -f "$music" ]; then
    mkdir -p "$release/data/music"
    cp "$music" "$release/data/music/"
  fi
  wine "$work/glowmarch/bin/glowmarch.exe" --release "${systems[@]}" --out windows-made "$release" \
    >"$work/release.out" 2>"$work/release.err" || fail "glowmarch.exe --release ${systems[*]} failed"
  "$linux/glowmarch" --release "${systems[@]}" --out linux-made "$release" >/dev/null 2>"$work/release-linux.err" ||
    fail "the Linux glowmarch --release failed"
  diff -r linux-made windows-made >"$work/release.diff" 2>&1
  grep -v '^Binary files .*\.\(tar\.gz\|zip\) differ$' "$work/release.diff" >"$work/release-folders.diff" &&
    fail "glowmarch.exe --release made other folders than the Linux one: $(head -n 5 "$work/release-folders.diff")"
  python3 - linux-made windows-made <<'PYTHON' || fail "glowmarch.exe --release made other archives than the Linux one"
import hashlib, os, sys, tarfile, zipfile
def entries(folder):
    found = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if name.endswith(".zip"):
            with zipfile.ZipFile(path) as z:
                found[name] = [(i.filename, i.external_attr, i.CRC, i.file_size, i.flag_bits) for i in z.infolist()]
        elif name.endswith(".tar.gz"):
            with tarfile.open(path) as t:
                found[name] = [(m.name, m.mode, m.type, m.size,
                                hashlib.sha256(t.extractfile(m).read()).hexdigest() if m.isfile() else "")
                               for m in t.getmembers()]
    return found
linux, windows = entries(sys.argv[1]), entries(sys.argv[2])
if not linux or linux != windows:
    sys.exit("archives: %s against %s" % (sorted(linux), sorted(windows)))
PYTHON
  released=", --release ${systems[*]} makes what the Linux --release makes"
fi

echo "PASS: from $(basename "$windows") under Wine in a folder named $name: --new writes the Linux show and" \
     "--check passes it, the same $findings findings as on Linux, the capture's frame for 2 s and its sound are" \
     "the Linux capture's, Ctrl+C ends a capture and leaves no unfinished file, the paused edit mode shows that frame and a saved shader changes it in place," \
     "--video without ffmpeg says where ffmpeg.exe goes$beats$released"
