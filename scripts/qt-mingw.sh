#!/usr/bin/env bash
# Builds Qt 5 for 64-bit Windows (mingw-w64) from Debian's own qtbase source, once, into a cache
# outside the checkout keyed by the source version, the configure options and the compiler.
# Prints the prefix on its last line. A second run with the same key only prints it.
#
#   scripts/qt-mingw.sh            build if needed, print the prefix
#   scripts/qt-mingw.sh --fetch    only make sure the source is downloaded (apt, no build)
#   scripts/qt-mingw.sh --key      print the cache key only
#   scripts/qt-mingw.sh --cached   print the prefix when it is built already, else fail (no wait, no build)
#
# Runs at the same time wait for each other: the second finds the first one's result.
#
# VELMORA_CACHE chooses the cache folder (default: /var/cache/velmora as root, else
# ${XDG_CACHE_HOME:-~/.cache}/velmora).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -eq 0 ]; then default_cache=/var/cache/velmora; else default_cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora; fi
cache=${VELMORA_CACHE:-$default_cache}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
jobs=${VELMORA_JOBS:-$(nproc)}
# configure builds qmake with a plain make: give it every core too.
export MAKEFLAGS="-j$jobs"

step_prefix=qt-mingw
source "$root/scripts/step.sh"
source "$root/scripts/deb-source.sh"

# Only what Velmora needs: Core, Gui, Widgets, Test, the windows and offscreen platform plugins and
# the Vista style. wintab is not in the +dfsg tarball, hence no tablet events. Optimised for size
# (-Os, where Qt's own default is -O3 for Core and Gui): a window of twelve keys needs no speed from
# Qt, the DLLs and the installers get smaller, and the build is shorter.
configure_options=(
  -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32-
  -opensource -confirm-license -release -shared -strip -optimize-size
  -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-direct2d
  -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-pcre -qt-harfbuzz
  -no-sql-sqlite -no-sql-odbc -no-feature-sql -no-feature-network -no-feature-tabletevent
  -no-feature-concurrent -no-feature-printer -no-feature-xml
)
# The Makefile targets of src/ that give those modules and plugins.
make_targets=(sub-moc sub-rcc sub-uic sub-corelib sub-gui sub-widgets sub-testlib sub-winmain sub-platformsupport sub-plugins)

[ "${1:-}" = "--cached" ] || ensure_source_entry
version=$(source_version qtbase-opensource-src)
if [ -z "$version" ]; then
  [ "${1:-}" != "--cached" ] || exit 1
  step 600 "apt-get update" $sudo apt-get update -q > /dev/null
  version=$(source_version qtbase-opensource-src)
fi
[ -n "$version" ] || { echo "qt-mingw: apt knows no qtbase-opensource-src source package" >&2; exit 1; }

compiler=$(x86_64-w64-mingw32-g++-posix --version | head -1)
key=$(printf '%s\n' "$version" "${configure_options[*]}" "${make_targets[*]}" "$compiler" | sha256sum | cut -c1-16)
if [ "${1:-}" = "--key" ]; then echo "$key"; exit 0; fi

prefix="$cache/qt5-mingw-x86_64-$key"
work="$cache/qt5-mingw-work-$key"
if [ "${1:-}" = "--cached" ]; then
  [ -f "$prefix/.complete" ] || exit 1
  echo "$prefix"
  exit 0
fi
mkdir -p "$cache"
exec {lock}> "$cache/qt5-mingw-$key.lock"
flock "$lock"
if [ "${1:-}" = "--fetch" ]; then
  if [ ! -f "$prefix/.complete" ] && ! ls "$work"/download/*.dsc > /dev/null 2>&1; then
    mkdir -p "$work/download"
    (cd "$work/download" && step 900 "apt-get source" apt-get source -q --download-only "qtbase-opensource-src=$version" > /dev/null)
  fi
  exit 0
fi
if [ -f "$prefix/.complete" ]; then
  echo "qt-mingw: cached $prefix (qtbase $version)" >&2
  echo "$prefix"
  exit 0
fi

# The work folder survives a failed or interrupted run, so the next run resumes where it stopped:
# configure keeps qmake's objects and its tests' results (config.cache), make what it compiled.
# Each step's limit is sized for the slowest case: a new 2-core machine building at low priority
# beside the Linux test stages, which take both cores for half an hour (configure alone took 1,200 s
# there, and 127 s on an idle machine).
rm -rf "$prefix"
mkdir -p "$work/download" "$work/build"
echo "qt-mingw: building qtbase $version for x86_64 Windows into $prefix" >&2
fetch_source qtbase-opensource-src "$version" "$work" configure
if [ ! -f "$work/build/config.summary" ]; then
  (cd "$work/build" && step 3600 "configure" ../source/configure -prefix "$prefix" "${configure_options[@]}" > configure.log 2>&1) ||
    { tail -n 30 "$work/build/configure.log" >&2; exit 1; }
fi
if [ ! -f "$work/build/src/plugins/Makefile" ]; then
  (cd "$work/build" && step 2400 "generating makefiles" make sub-src-qmake_all > qmake.log 2>&1) ||
    { tail -n 30 "$work/build/qmake.log" >&2; exit 1; }
fi
# A make that was stopped (its limit, a signal, the machine) can leave a file half written, and a
# later stopped run moves "the last ten minutes" past it: on every resume, what is empty or that the
# object reader rejects is made again, and so is what the last stopped run wrote in its last ten minutes.
built=(-type f \( -name '*.o' -o -name '*.a' -o -name '*.dll' -o -name '*.exe' \))
if [ -f "$work/build/.make-running" ]; then
  newest=$(find "$work/build" "${built[@]}" -printf '%T@\n' | sort -n | tail -1)
  [ -z "$newest" ] || find "$work/build" "${built[@]}" -newermt "@$(( ${newest%.*} - 600 ))" -delete
fi
find "$work/build" "${built[@]}" -size 0 -delete
find "$work/build" -type f -name '*.o' -print0 |
  xargs -0 -r -P"$jobs" -n 64 sh -c 'for o; do x86_64-w64-mingw32-objdump -h "$o" > /dev/null 2>&1 || rm -f "$o"; done' sh
touch "$work/build/.make-running"
(cd "$work/build" && step 7200 "make ${make_targets[*]}" make -C src -j"$jobs" "${make_targets[@]}" > make.log 2>&1) ||
  { grep -E 'error|Error' "$work/build/make.log" | head -30 >&2; tail -20 "$work/build/make.log" >&2; exit 1; }
rm -f "$work/build/.make-running"
install_targets=()
for target in "${make_targets[@]}"; do install_targets+=("$target-install_subtargets"); done
(cd "$work/build" && step 2400 "install" make -C src "${install_targets[@]}" > install.log 2>&1 &&
  step 1200 "install qmake and mkspecs" make sub-qmake-qmake-aux-pro-install_subtargets install_mkspecs >> install.log 2>&1) ||
  { tail -n 30 "$work/build/install.log" >&2; exit 1; }
echo "qtbase $version; ${configure_options[*]}; $compiler" > "$prefix/.complete"
rm -rf "$work"
du -sh "$prefix" >&2
echo "$prefix"
