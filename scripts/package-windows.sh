#!/usr/bin/env bash
# Builds the 64-bit Windows program and its two artefacts into dist/:
#   velmora-VERSION-windows-x86_64.zip    the program's folder, for portable use
#   velmora-VERSION-setup-x86_64.exe      its installer (NSIS)
# Qt for Windows comes from scripts/qt-mingw.sh (built once, cached). The folder is CMake's
# installed tree (`cmake --install --strip`): the executables, qt.conf, the Qt plugins and every DLL
# they import that Windows lacks. Both artefacts are made from that folder alone.
#
# VELMORA_PACKAGE_BUILD chooses the build folder (default build-package-windows in the checkout),
# VELMORA_DIST the output folder (default dist/). Prints the two artefacts' paths on its last lines.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_PACKAGE_BUILD:-$root/build-package-windows}
dist=${VELMORA_DIST:-$root/dist}

step_prefix=package-windows
source "$root/scripts/step.sh"

step 1200 "installing packages" bash "$root/scripts/deps.sh" package-windows
qt=$(bash "$root/scripts/qt-mingw.sh" | tail -1)
[ -f "$qt/.complete" ] || { echo "package-windows: no Qt for Windows ($qt)" >&2; exit 1; }

mkdir -p "$build" "$dist"
step 600 "configure" cmake -S "$root" -B "$build/cross" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-x86_64-qt.cmake" -DVELMORA_QT_PREFIX="$qt" \
  -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF > "$build/configure.log" 2>&1 ||
  { tail -40 "$build/configure.log" >&2; exit 1; }
step 1800 "build" cmake --build "$build/cross" --target velmora velmoractl -- -j"${VELMORA_JOBS:-2}" \
  > "$build/build.log" 2>&1 || { grep -E 'error|warning' "$build/build.log" | head -40 >&2; exit 1; }
# -Werror keeps our own sources clean; this catches anything that got past it (a resource, a flag).
if grep -E "^$root/[^:]+:[0-9]+:[0-9]+: warning" "$build/build.log" | head -20 | grep . >&2; then
  echo "package-windows: the build has warnings" >&2; exit 1
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/cross/CMakeCache.txt")
[ -n "$version" ] || { echo "package-windows: no project version in the build tree" >&2; exit 1; }
stage="$build/stage/Velmora"
rm -rf "$build/stage"
step 300 "install" cmake --install "$build/cross" --prefix "$stage" --strip > "$build/install.log" 2>&1 ||
  { tail -20 "$build/install.log" >&2; exit 1; }
grep -h '^-- Left to Windows' "$build/install.log" >&2 || true

zip="$dist/velmora-$version-windows-x86_64.zip"
setup="$dist/velmora-$version-setup-x86_64.exe"
rm -f "$zip" "$setup"
(cd "$build/stage" && step 300 "zip" zip -q -r -X -9 "$zip" Velmora)

# The installer's file lists, from the staged folder: what it installs is what it removes.
lists="$build/nsis"
mkdir -p "$lists"
(
  cd "$stage"
  winpath() { local p=${1#.}; p=${p#/}; p=${p//\//\\}; echo "\$INSTDIR${p:+\\$p}"; }
  find . -type d | LC_ALL=C sort | while read -r dir; do
    echo "SetOutPath \"$(winpath "$dir")\""
    find "$dir" -maxdepth 1 -type f | LC_ALL=C sort | while read -r file; do echo "File \"$stage/${file#./}\""; done
  done > "$lists/install.nsh"
  find . -type f | LC_ALL=C sort | while read -r file; do echo "Delete \"$(winpath "$file")\""; done > "$lists/uninstall.nsh"
  find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r dir; do echo "RMDir \"$(winpath "$dir")\""; done >> "$lists/uninstall.nsh"
)
size_kb=$(du -sk "$stage" | cut -f1)
step 600 "makensis" makensis -V2 -WX -NOCD \
  -DVERSION="$version" -DOUTFILE="$setup" -DICON="$root/packaging/windows/velmora.ico" \
  -DINSTALL_LIST="$lists/install.nsh" -DUNINSTALL_LIST="$lists/uninstall.nsh" -DSIZE_KB="$size_kb" \
  "$root/packaging/windows/velmora.nsi" > "$build/makensis.log" 2>&1 || { tail -30 "$build/makensis.log" >&2; exit 1; }

du -sh "$stage" >&2
ls -l "$zip" "$setup" >&2
echo "$zip"
echo "$setup"
