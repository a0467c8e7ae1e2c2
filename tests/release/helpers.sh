# Shared by scripts/test-release and scripts/release-figures (sourced after tests/app/xserver.sh):
# a released player run in the bare Debian root, and the full-screen question answered.
# Expects $sudo ("" or "sudo"), a fail function, and sets $show to the running player's process.

# Runs a command inside the root, from /, with the release folder's parent at /mnt/release and the
# X server's socket at hand; the mounts live in a namespace of their own and go with the process.
in_root() {  # root release-parent command...
  local root="$1" parent="$2"
  shift 2
  $sudo mkdir -p "$root/mnt/release" "$root/tmp/.X11-unix"
  # The display goes as an argument: sudo may not pass the environment on.
  $sudo unshare --mount --propagation private sh -c '
    set -e
    mount --bind "$2" "$1/mnt/release"
    mount --bind /tmp/.X11-unix "$1/tmp/.X11-unix"
    mount -t proc proc "$1/proc"
    mount --rbind /dev "$1/dev"
    root="$1" display="$3"
    shift 3
    exec chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin DISPLAY="$display" SDL_AUDIODRIVER=dummy "$@"' \
    sh "$root" "$parent" "$DISPLAY" "$@"
}


# SDL's boxes carry their caption as a UTF-8 name that xwininfo shows and xdotool's search does not.
# Starts the player in the background and answers its full-screen question with Return; sets $asked
# and $answered (seconds since the epoch) when the question was seen and when it was answered.
start_answered() {  # output errors command...
  local output="$1" errors="$2"
  shift 2
  "$@" >"$output" 2>"$errors" &
  show=$!
  await_box "Start Fullscreen?" 60
  asked="$(now)"
  x xdotool key --window "$box_id" Return || fail "could not answer the question"
  answered="$(now)"
}

# Waits until the player prints the line; sets $seen to when it was first noticed.
await_line() {  # output line seconds
  local until
  until="$(deadline "$3")"
  while before "$until"; do
    grep -qxF -- "$2" "$1" && { seen="$(now)"; return 0; }
    alive || fail "the player ended before printing \"$2\""
    sleep 0.02
  done
  fail "no \"$2\" within $3 s"
}

await_exit() {  # seconds; fails unless the player ends with exit code 0
  local until code
  until="$(deadline "$1")"
  while before "$until" && alive; do sleep 0.1; done
  alive && fail "the player did not end within $1 s"
  wait "$show"
  code=$?
  show=""
  [ $code -eq 0 ] || fail "exit code $code, not 0"
}
