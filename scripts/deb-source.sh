# Sourced by the scripts that build a library for Windows from Debian's own source (qt-mingw.sh,
# sdl2-mingw.sh); they set sudo and step_prefix and source step.sh first.

# apt's deb-src entry, derived from the deb entry when there is none.
ensure_source_entry() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then return; fi
  local src=/etc/apt/sources.list.d/debian.sources
  [ -f "$src" ] || { echo "$step_prefix: no deb-src entry and no $src to derive one from" >&2; exit 1; }
  sed 's/^Types: deb$/Types: deb-src/' "$src" | $sudo tee /etc/apt/sources.list.d/velmora-debian-src.sources > /dev/null
  step 600 "apt-get update" $sudo apt-get update -q > /dev/null
}

# source_version PACKAGE: the newest version of a source package apt knows, or nothing.
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1
}

# fetch_source PACKAGE VERSION WORK MARKER: Debian's source of PACKAGE=VERSION downloaded into
# WORK/download (once) and unpacked, Debian's patches applied, into WORK/source, unless
# WORK/source/MARKER shows that this was done already.
fetch_source() {
  if ! ls "$3"/download/*.dsc > /dev/null 2>&1; then
    mkdir -p "$3/download"
    (cd "$3/download" && step 900 "apt-get source" apt-get source -q --download-only "$1=$2" > /dev/null) || return 1
  fi
  if [ ! -e "$3/source/$4" ]; then
    rm -rf "$3/source"
    (cd "$3" && step 600 "unpacking and patching" dpkg-source -x download/*.dsc source > /dev/null) || return 1
  fi
}
