#!/usr/bin/env bash
# The capture farm through a real OpenSSH server: one part on "another machine" (a server of the
# test's own on 127.0.0.1, with its own port, host key, user key and login folder in a scratch folder)
# and one on this machine. Its frames and music.wav must be a whole capture's, and the other machine's
# work folder empty afterwards. The login shell there is a stand-in that runs nothing, as csh or fish
# would not run the farm's commands: nothing may go through it. Then, with the capture program missing on the other machine, the farm
# must stop before any frame is drawn, naming that machine. Skipped (77) where no server can start.
#
#   farm_over_ssh.sh CAPTURE-PROGRAM CAPTURE-FARM SOURCE-FOLDER
set -uo pipefail
capture="$1"
farm="$2"
source="$3"

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

sshd=/usr/sbin/sshd
[ -x "$sshd" ] || skip "no OpenSSH server ($sshd; Debian's openssh-server)"
for tool in ssh ssh-keygen rsync parallel python3; do
  command -v "$tool" >/dev/null || skip "no $tool"
done

work="$(mktemp -d)"
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

ssh-keygen -q -t ed25519 -N '' -f "$work/host_key" || fail "no host key"
ssh-keygen -q -t ed25519 -N '' -f "$work/user_key" || fail "no user key"
cp "$work/user_key.pub" "$work/authorized_keys"
mkdir "$work/home" "$work/empty" "$work/bin" "$work/shells"
ln -s "$capture" "$work/bin/glowmarch-capture"
printf '#!/bin/sh\necho "login shell stand-in: asked to run $*" >&2\nexit 1\n' >"$work/shells/csh"
chmod +x "$work/shells/csh"

# Every command of the other machine starts in a login folder of its own, so nothing lands in this
# user's home; with the file "hide" present the capture program's folder looks empty there. The
# command ssh brings is run as a login shell would run it (GNU parallel words it for any shell), with
# SHELL naming the stand-in.
cat >"$work/login" <<EOF
#!/bin/sh
cd "$work/home" || exit 1
export SHELL="$work/shells/csh"
if [ -e "$work/hide" ]; then
  exec unshare -m --propagation private sh -c 'mount --bind "\$0" "\$1" && exec /bin/sh -c "\$SSH_ORIGINAL_COMMAND"' "$work/empty" "$work/bin"
fi
exec /bin/sh -c "\$SSH_ORIGINAL_COMMAND"
EOF
chmod +x "$work/login"

port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PidFile $work/sshd.pid
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
ForceCommand $work/login
EOF
# Run as root, the server wants the run-time folder its Debian service would make.
[ "$(id -u)" -eq 0 ] && [ ! -d /run/sshd ] && mkdir -p /run/sshd && chmod 755 /run/sshd
"$sshd" -f "$work/sshd_config" -D -e 2>"$work/sshd.log" &
server=$!

ssh_command="ssh -p $port -i $work/user_key -o StrictHostKeyChecking=no -o UserKnownHostsFile=$work/known_hosts -o BatchMode=yes -o LogLevel=ERROR"
for _ in $(seq 50); do
  $ssh_command 127.0.0.1 true 2>/dev/null && break
  kill -0 "$server" 2>/dev/null || skip "the ssh server did not start: $(tail -n 3 "$work/sshd.log")"
  sleep 0.2
done
$ssh_command 127.0.0.1 true 2>"$work/ssh.err" || skip "no login through the test's ssh server: $(cat "$work/ssh.err")"

# The every-class soak show: its state is the sum of every frame before.
show="$work/show"
mkdir -p "$show"
cp -r "$source/tests/app/soak/data" "$show/"
cp -r "$source/tests/app/show/data/textures" "$show/data/"
cd "$show" || fail "no show folder"
span=(--fps 10 --to 1 --size 96x54)
"$capture" "${span[@]}" --out whole >"$work/whole.out" 2>"$work/whole.err" || fail "the whole capture failed: $(cat "$work/whole.err")"

logins="1/$ssh_command 127.0.0.1,1/:"
"$farm" --capture "$work/bin/glowmarch-capture" --sshlogin "$logins" -- "${span[@]}" --out farmed \
  >"$work/farm.out" 2>"$work/farm.err" || fail "the farm failed: $(cat "$work/farm.err")"
diff -r whole farmed >"$work/diff" || fail "the farm's frames and music.wav differ from the whole capture's: $(head "$work/diff")"
[ "$(ls farmed | wc -l)" -eq 11 ] || fail "not 10 frames and music.wav: $(ls farmed)"
grep -q "part [12] on 127.0.0.1" "$work/farm.err" || fail "the part's machine is not named: $(cat "$work/farm.err")"
grep -q "stand-in" "$work/farm.err" && fail "a command went through the login shell: $(grep stand-in "$work/farm.err")"
[ -z "$(ls -A "$work/home")" ] || fail "left on the other machine: $(ls -A "$work/home")"

# The capture program missing on the other machine: stopped before any frame, the machine named.
touch "$work/hide"
if ! $ssh_command 127.0.0.1 "test ! -e $work/bin/glowmarch-capture" 2>/dev/null; then
  echo "PASS (the missing program was not tried: no mount namespace here)"
  exit 0
fi
"$farm" --capture "$work/bin/glowmarch-capture" --sshlogin "$logins" -- "${span[@]}" --out again \
  >"$work/again.out" 2>"$work/again.err" && fail "the farm succeeded without the program on 127.0.0.1"
grep -q "127.0.0.1: no capture program at $work/bin/glowmarch-capture" "$work/again.err" \
  || fail "the machine and what it lacks are not named: $(cat "$work/again.err")"
[ -e again ] && fail "frames were drawn: $(ls again)"
[ -s "$work/again.out" ] && fail "the show started: $(head -3 "$work/again.out")"
echo "PASS"
