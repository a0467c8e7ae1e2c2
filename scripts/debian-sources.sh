# Sourced by the scripts that build libraries from Debian's source packages (scripts/linux-deps,
# scripts/windows-deps). Expects a fail function.

# The folder their builds are cached in, one per machine.
glowmarch_cache="${GLOWMARCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/glowmarch}"

# Fetches a source package into the current folder. Some archives lack the upstream signature
# (.asc): apt has checked what it fetched against its index, so the source is unpacked without it.
# Returns 0 with every file, 2 when only Debian's own part is missing, 1 otherwise.
fetch_source() {  # SOURCE VERSION
  rm -f ./*
  apt-get source -qq --download-only "$1=$2" >/dev/null 2>&1
  local dsc file missing=0 debian=0
  dsc="$(ls ./*.dsc 2>/dev/null | head -n 1)"
  [ -n "$dsc" ] || return 1
  for file in $(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]\+ [0-9]\+ //p' "$dsc"); do
    [ -f "$file" ] && continue
    case "$file" in
      *.asc) ;;
      *.debian.tar.*) debian=1 ;;
      *) missing=1 ;;
    esac
  done
  [ $missing -eq 0 ] || return 1
  sed -i '/\.asc$/d' "$dsc"
  [ $debian -eq 0 ] || return 2
}

# The source of VERSION, with Debian's patches applied, unpacked into FOLDER/unpacked; when the archive
# no longer has it (a newer update replaced it), the newest one of the same upstream version. Sets
# $src to the unpacked tree and $used to what was used.
unpack_source() {  # SOURCE VERSION FOLDER
  local source="$1" want="$2" dir="$3" v offered got
  src="$dir/unpacked"
  offered="$(apt-cache showsrc "$source" 2>/dev/null | sed -n 's/^Version: //p' |
             while read -r v; do if [ "${v%-*}" = "${want%-*}" ] && [ "$v" != "$want" ]; then echo "$v"; fi; done |
             sort -V -r)"
  for v in "$want" $offered; do
    rm -rf "$dir" && mkdir -p "$dir"
    got=0
    (cd "$dir" && fetch_source "$source" "$v") || got=$?
    if [ $got -eq 0 ]; then
      (cd "$dir" && dpkg-source -q --no-check -x ./*.dsc unpacked >/dev/null 2>&1) || fail "cannot unpack $source $v"
      used="$source=$v"
    elif [ $got -eq 2 ]; then
      # The archive lost Debian's part of this version: the upstream source it was made from.
      mkdir "$src"
      tar -xf "$(ls "$dir"/*.orig.tar.* | grep -v '\.asc$' | head -n 1)" -C "$src" --strip-components=1 ||
        fail "cannot unpack $source $v"
      used="$source=${v%-*} (upstream source only: the archive lacks Debian's part of $v)"
      echo "$(basename "$0"): $used" >&2
    else
      continue
    fi
    return 0
  done
  fail "cannot fetch the source of $source ${want%-*}: run scripts/setup (it adds apt's deb-src entry)"
}
