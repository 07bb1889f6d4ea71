#!/usr/bin/env bash
# Builds the 64-bit Windows program and its three artefacts into dist/:
#   velmora-VERSION-windows-x86_64.zip    the program's folder, for portable use
#   velmora-VERSION-setup-x86_64.exe      its installer (NSIS): per machine, or per user
#   velmora-VERSION-x86_64.msi            its Windows Installer package (wixl): per machine
# Qt for Windows comes from scripts/qt-mingw.sh, SDL2 (gamepads, linked statically) from
# scripts/sdl2-mingw.sh (each built once, cached). The folder is CMake's
# installed tree (`cmake --install --strip`): the executables, qt.conf, the Qt plugins and every DLL
# they import that Windows lacks. All three artefacts are made from that folder alone.
#
# VELMORA_PACKAGE_BUILD chooses the build folder (default build-package-windows in the checkout),
# VELMORA_DIST the output folder (default dist/). With VELMORA_SIGN_CERT and VELMORA_SIGN_KEY
# (scripts/sign-windows.sh) the executables built here, the uninstaller, the setup program and the
# MSI are signed. VELMORA_PACKAGE_STAGE=FOLDER packages that folder as it is (an earlier run's, or a
# copy) instead of building, VELMORA_PACKAGE_VERSION gives the artefacts another version (x.y.z).
# VELMORA_PACKAGE_CROSS=DIR builds and installs the two programs in that cross tree, configured
# already against Qt for Windows (the test stages' own), instead of configuring one under the build folder.
# Prints the three artefacts' paths on its last lines.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_PACKAGE_BUILD:-$root/build-package-windows}
dist=${VELMORA_DIST:-$root/dist}
# The targets whose executables are ours to sign; Qt's and the compiler's DLLs are not.
targets=(velmora velmoractl)

step_prefix=package-windows
source "$root/scripts/step.sh"
source "$root/scripts/build-warnings.sh"

sign=()
if [ -n "${VELMORA_SIGN_CERT:-}${VELMORA_SIGN_KEY:-}" ]; then
  [ -n "${VELMORA_SIGN_CERT:-}" ] && [ -n "${VELMORA_SIGN_KEY:-}" ] ||
    { echo "package-windows: VELMORA_SIGN_CERT and VELMORA_SIGN_KEY go together" >&2; exit 1; }
  sign=(bash "$root/scripts/sign-windows.sh")
else
  echo "package-windows: VELMORA_SIGN_CERT and VELMORA_SIGN_KEY not set: nothing signed" >&2
fi

step 1200 "installing packages" bash "$root/scripts/deps.sh" package-windows
mkdir -p "$build" "$dist"
if [ -n "${VELMORA_PACKAGE_STAGE:-}" ]; then
  stage=$(cd "$VELMORA_PACKAGE_STAGE" && pwd)
  version=${VELMORA_PACKAGE_VERSION:?VELMORA_PACKAGE_STAGE needs VELMORA_PACKAGE_VERSION}
else
  qt=$(bash "$root/scripts/qt-mingw.sh" | tail -1)
  [ -f "$qt/.complete" ] || { echo "package-windows: no Qt for Windows ($qt)" >&2; exit 1; }
  cross=${VELMORA_PACKAGE_CROSS:-$build/cross}
  if [ -z "${VELMORA_PACKAGE_CROSS:-}" ]; then
    qrencode=$(bash "$root/scripts/qrencode-mingw.sh" | tail -1)
    [ -f "$qrencode/.complete" ] || { echo "package-windows: no libqrencode for Windows ($qrencode)" >&2; exit 1; }
    sdl2=$(bash "$root/scripts/sdl2-mingw.sh" x86_64 | tail -1)
    [ -f "$sdl2/.complete" ] || { echo "package-windows: no SDL2 for Windows ($sdl2)" >&2; exit 1; }
    step 600 "configure" cmake -S "$root" -B "$cross" -G Ninja -DVELMORA_QRENCODE_PREFIX="$qrencode" \
      -DVELMORA_SDL2_PREFIX="$sdl2" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-x86_64-qt.cmake" \
      -DVELMORA_QT_PREFIX="$qt" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF \
      > "$build/configure.log" 2>&1 || { tail -40 "$build/configure.log" >&2; exit 1; }
  fi
  step 1800 "build" cmake --build "$cross" --target "${targets[@]}" -- -j"${VELMORA_JOBS:-2}" \
    > "$build/build.log" 2>&1 || { grep -E 'error|warning' "$build/build.log" | head -40 >&2; exit 1; }
  # -Werror keeps our own sources clean; this catches anything that got past it (a resource, a flag).
  no_warnings "$root" "$build/build.log" >&2 || { echo "package-windows: the build has warnings" >&2; exit 1; }

  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cross/CMakeCache.txt")
  [ -n "$version" ] || { echo "package-windows: no project version in the build tree" >&2; exit 1; }
  version=${VELMORA_PACKAGE_VERSION:-$version}
  stage="$build/stage/Velmora"
  rm -rf "$build/stage"
  step 300 "install" cmake --install "$cross" --prefix "$stage" --strip > "$build/install.log" 2>&1 ||
    { tail -20 "$build/install.log" >&2; exit 1; }
  grep -h '^-- Left to Windows' "$build/install.log" >&2 || true
  ours=()
  for target in "${targets[@]}"; do ours+=("$stage/$target.exe"); done
  [ ${#sign[@]} -eq 0 ] || step 300 "signing ${targets[*]}" "${sign[@]}" "${ours[@]}"
fi
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package-windows: version '$version' is not x.y.z" >&2; exit 1; }

zip="$dist/velmora-$version-windows-x86_64.zip"
setup="$dist/velmora-$version-setup-x86_64.exe"
msi="$dist/velmora-$version-x86_64.msi"
rm -f "$zip" "$setup" "$msi"
(cd "$stage/.." && step 300 "zip" zip -q -r -X -9 "$zip" "$(basename "$stage")")

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
nsis_sign=()
[ ${#sign[@]} -eq 0 ] || nsis_sign=(-DSIGN="bash '$root/scripts/sign-windows.sh'")
step 600 "makensis" makensis -V2 -WX -NOCD \
  -DVERSION="$version" -DOUTFILE="$setup" -DICON="$root/packaging/windows/velmora.ico" \
  -DINSTALL_LIST="$lists/install.nsh" -DUNINSTALL_LIST="$lists/uninstall.nsh" -DSIZE_KB="$size_kb" \
  "${nsis_sign[@]}" "$root/packaging/windows/velmora.nsi" > "$build/makensis.log" 2>&1 ||
  { tail -30 "$build/makensis.log" >&2; exit 1; }

# The MSI's component list, from the same folder. wixl takes only relative source paths.
msi_build="$build/msi"
rm -rf "$msi_build" && mkdir -p "$msi_build"
ln -s "$stage" "$msi_build/Velmora"
cp "$root/packaging/windows/velmora.ico" "$msi_build/"
(cd "$stage" && find . -type f | LC_ALL=C sort) |
  wixl-heat --prefix ./ --directory-ref INSTALLDIR --component-group Files --var var.SourceDir --win64 \
  > "$msi_build/files.wxs"
# One product code per version: a rebuilt package of the same version is the same product.
product_code=$(printf 'Velmora MSI %s' "$version" | sha1sum |
  sed -E 's/^(.{8})(.{4}).(.{3}).(.{3})(.{12}).*/\1-\2-5\3-8\4-\5/' | tr a-f A-F)
(cd "$msi_build" && step 600 "wixl" wixl -a x64 -o "$msi" -D Version="$version" -D ProductCode="$product_code" \
  -D SourceDir=Velmora -D Icon=velmora.ico -D Win64=yes "$root/packaging/windows/velmora.wxs" files.wxs \
  > "$build/wixl.log" 2>&1) || { tail -30 "$build/wixl.log" >&2; exit 1; }
[ ${#sign[@]} -eq 0 ] || step 300 "signing the MSI" "${sign[@]}" "$msi"

du -sh "$stage" >&2
ls -l "$zip" "$setup" "$msi" >&2
echo "$zip"
echo "$setup"
echo "$msi"
