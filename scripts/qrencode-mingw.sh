#!/usr/bin/env bash
# Builds libqrencode for 64-bit Windows (mingw-w64) from Debian's own qrencode source, once, as a
# static library into a cache outside the checkout keyed by the source version, the options and the
# compiler (as scripts/qt-mingw.sh builds Qt). velmoractl serve draws the QR code of the keypad's
# address with it. Prints the prefix (include/qrencode.h, lib/libqrencode.a) on its last line.
#
#   scripts/qrencode-mingw.sh            build if needed, print the prefix
#   scripts/qrencode-mingw.sh --cached   print the prefix when it is built already, else fail
#
# VELMORA_CACHE chooses the cache folder (default: /var/cache/velmora as root, else
# ${XDG_CACHE_HOME:-~/.cache}/velmora).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -eq 0 ]; then default_cache=/var/cache/velmora; else default_cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora; fi
cache=${VELMORA_CACHE:-$default_cache}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

step_prefix=qrencode-mingw
source "$root/scripts/step.sh"

cmake_options=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix -DWITH_TOOLS=NO
  -DBUILD_SHARED_LIBS=NO -DCMAKE_BUILD_TYPE=Release)

source_version() {
  apt-cache showsrc qrencode 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1
}
ensure_source_entry() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then return; fi
  local src=/etc/apt/sources.list.d/debian.sources
  [ -f "$src" ] || { echo "qrencode-mingw: no deb-src entry and no $src to derive one from" >&2; exit 1; }
  sed 's/^Types: deb$/Types: deb-src/' "$src" | $sudo tee /etc/apt/sources.list.d/velmora-debian-src.sources > /dev/null
  step 600 "apt-get update" $sudo apt-get update -q > /dev/null
}

[ "${1:-}" = "--cached" ] || ensure_source_entry
version=$(source_version)
if [ -z "$version" ] && [ "${1:-}" != "--cached" ]; then
  step 600 "apt-get update" $sudo apt-get update -q > /dev/null
  version=$(source_version)
fi
[ -n "$version" ] || { [ "${1:-}" = "--cached" ] && exit 1; echo "qrencode-mingw: apt knows no qrencode source package" >&2; exit 1; }

compiler=$(x86_64-w64-mingw32-gcc-posix --version | head -1)
key=$(printf '%s\n' "$version" "${cmake_options[*]}" "$compiler" | sha256sum | cut -c1-16)
prefix="$cache/qrencode-mingw-x86_64-$key"
if [ "${1:-}" = "--cached" ]; then
  [ -f "$prefix/.complete" ] || exit 1
  echo "$prefix"
  exit 0
fi
mkdir -p "$cache"
exec {lock}> "$cache/qrencode-mingw-$key.lock"
flock "$lock"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "$cache/qrencode-mingw-work-XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
echo "qrencode-mingw: building qrencode $version for x86_64 Windows into $prefix" >&2
# Debian's mirror may lack the packaging tarball (apt-get source then fails after fetching the
# rest): the upstream tarball is all the build needs, checked against the .dsc's checksum.
(cd "$work" && step 600 "apt-get source" apt-get source -q --download-only "qrencode=$version" > /dev/null 2>&1) || true
dsc=$(ls "$work"/*.dsc 2> /dev/null | head -1)
orig=$(ls "$work"/qrencode_*.orig.tar.* 2> /dev/null | head -1)
[ -n "$dsc" ] && [ -n "$orig" ] || { echo "qrencode-mingw: apt-get source fetched no .dsc and upstream tarball" >&2; exit 1; }
want=$(awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && $3 == name { print $1 }' \
  name="$(basename "$orig")" "$dsc")
[ "$(sha256sum "$orig" | cut -d' ' -f1)" = "$want" ] ||
  { echo "qrencode-mingw: $(basename "$orig") does not match the checksum in $(basename "$dsc")" >&2; exit 1; }
mkdir "$work/source"
tar -xf "$orig" -C "$work/source" --strip-components=1
step 300 "configure" cmake -S "$work/source" -B "$work/build" -G Ninja "${cmake_options[@]}" \
  -DCMAKE_INSTALL_PREFIX="$prefix" > "$work/configure.log" 2>&1 || { tail -20 "$work/configure.log" >&2; exit 1; }
step 600 "build" cmake --build "$work/build" --target qrencode > "$work/build.log" 2>&1 ||
  { tail -20 "$work/build.log" >&2; exit 1; }
mkdir -p "$prefix/include" "$prefix/lib"
cp "$work/source/qrencode.h" "$prefix/include/"
cp "$work/build/libqrencode.a" "$prefix/lib/"
echo "qrencode $version; ${cmake_options[*]}; $compiler" > "$prefix/.complete"
echo "$prefix"
