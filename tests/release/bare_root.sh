#!/usr/bin/env bash
# Prints the path of a bare Debian root: debootstrap's minimal base and only what a released show
# may expect of a desktop (glibc, the system's GL through libGL with Mesa's drivers, libX11 and
# libXext); no libOpenGL, Wayland, xkbcommon, libdecor, XScreenSaver, sound or D-Bus libraries.
# Made once per machine with debootstrap from the archive apt already uses, cached outside the repo.
set -euo pipefail

packages=(libgl1 libglx-mesa0 libgl1-mesa-dri libx11-6 libxext6)

codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
[ -n "$codename" ] || { echo "Cannot tell this system's Debian release from /etc/os-release" >&2; exit 1; }

# The first "deb" source of apt's lists that carries this release: one-line lists, then deb822 ones.
archive() {
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk -v suite="$codename" '$1 == "deb" {
        i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) { print $i; exit } }' "$file"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk -v suite="$codename" 'BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; uri = ""; suites = ""
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^Types:/) types = " " substr($i, 7) " "
          else if ($i ~ /^URIs:/) { split(substr($i, 6), u, " "); uri = u[1] }
          else if ($i ~ /^Suites:/) suites = " " substr($i, 8) " "
        }
        if (types ~ / deb / && suites ~ (" " suite " ") && uri != "") { print uri; exit }
      }' "$file"
  done
}
mirror="$(archive | head -n 1)"
[ -n "$mirror" ] || { echo "No \"deb\" source for $codename in apt's lists" >&2; exit 1; }

key="$(printf '%s\n' "$codename" "$(dpkg --print-architecture)" "${packages[@]}" | sha256sum | cut -c1-12)"
cache="${GLOWMARCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/glowmarch}"
root="$cache/debian-root-$codename-$key"
if [ ! -x "$root/bin/sh" ]; then
  command -v debootstrap >/dev/null || { echo "debootstrap is not installed (scripts/setup installs it)" >&2; exit 1; }
  [ "$(id -u)" -eq 0 ] || { echo "Making the bare root needs root (debootstrap)" >&2; exit 1; }
  mkdir -p "$cache"
  work="$(mktemp -d "$cache/.debian-root-XXXXXX")"
  trap 'rm -rf "$work"' EXIT
  echo "Making the bare Debian root once in $root (a few minutes)" >&2
  include="$(IFS=,; echo "${packages[*]}")"
  if ! debootstrap --variant=minbase --include="$include" "$codename" "$work" "$mirror" >"$work.log" 2>&1; then
    tail -n 20 "$work.log" >&2
    rm -f "$work.log"
    echo "debootstrap failed" >&2
    exit 1
  fi
  rm -f "$work.log"
  # Only the libraries are wanted: apt's caches go.
  rm -rf "$work/var/cache/apt/archives/"*.deb "$work/var/lib/apt/lists/"*
  chmod 755 "$work"
  mv -T "$work" "$root"
  trap - EXIT
fi
echo "$root"
