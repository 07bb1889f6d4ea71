#!/usr/bin/env bash
# The Windows program as users get it: scripts/package.sh windows builds the folder, the zip and the
# installer (Qt for Windows built once and cached); this stage checks the executables and
# artefacts, then installs silently into a scratch wine prefix, runs the installed programs and
# uninstalls silently. Each check is one test: records "windows-package passed failed skipped".
set -uo pipefail
root=${VELMORA_ROOT:?}
build=${VELMORA_BUILD_ROOT:?}/windows-package
stage=windows-package

passed=0
failed=0
check() { # check NAME COMMAND...: one test
  local name=$1 t0
  shift
  t0=$(date +%s)
  if "$@"; then
    echo "windows-package: PASS $name ($(( $(date +%s) - t0 )) s)"; passed=$((passed + 1))
  else
    echo "windows-package: FAIL $name ($(( $(date +%s) - t0 )) s)"; failed=$((failed + 1))
  fi
}
finish() { echo "windows-package: $passed passed, $failed failed"; echo "$stage $passed $failed 0" >> "${VELMORA_RESULTS:?}"; }
give_up() { echo "windows-package: $1"; failed=$((failed + 1)); finish; exit 1; }

mkdir -p "$build"
start=$(date +%s)
timeout 1200 bash "$root/scripts/deps.sh" windows package-windows || give_up "could not install the packages"
# Qt's first build takes about half an hour of this on 2 cores; later runs reuse its cache.
VELMORA_PACKAGE_BUILD="$build/build" VELMORA_DIST="$build/dist" \
  timeout 4800 bash "$root/scripts/package.sh" windows > "$build/package.log" 2>&1 ||
  { tail -40 "$build/package.log"; give_up "scripts/package.sh windows failed"; }
echo "windows-package: scripts/package.sh windows took $(( $(date +%s) - start )) s"
zip=$(tail -2 "$build/package.log" | head -1)
setup=$(tail -1 "$build/package.log")
folder="$build/build/stage/Velmora"
version=$(sed -n 's/^project(Velmora VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -f "$zip" ] && [ -f "$setup" ] && [ -d "$folder" ] || give_up "no artefacts in $build/dist"
ls -l "$zip" "$setup"

# --- the executables and the folder -----------------------------------------------------------
subsystem() { x86_64-w64-mingw32-objdump -p "$1" | awk '$1 == "Subsystem" {print $2 + 0}'; }
subsystems() {
  local gui cui
  gui=$(subsystem "$folder/velmora.exe")
  cui=$(subsystem "$folder/velmoractl.exe")
  echo "velmora.exe subsystem $gui, velmoractl.exe subsystem $cui"
  [ "$gui" = 2 ] && [ "$cui" = 3 ]
}
check "velmora.exe is a GUI program, velmoractl.exe a console one" subsystems

# Reads the version resource: the fixed part's file version and two of its strings.
version_resource() {
  wrestool -x --raw -t16 "$1" | perl -MEncode -e '
    local $/; my $data = <STDIN>;
    my $at = index($data, pack("V", 0xFEEF04BD));
    die "no VS_FIXEDFILEINFO\n" if $at < 0;
    my (undef, undef, $ms, $ls) = unpack("V4", substr($data, $at, 16));
    my $text = decode("UTF-16LE", $data);
    my %value = map { $text =~ /\Q$_\E\0+([^\0]*)\0/ ? ($_ => $1) : ($_ => "-") } qw(FileVersion ProductName);
    printf "%d.%d.%d.%d %s %s\n", $ms >> 16, $ms & 0xffff, $ls >> 16, $ls & 0xffff,
      $value{FileVersion}, $value{ProductName};'
}
resources() {
  local exe seen ok=0
  for exe in velmora.exe velmoractl.exe; do
    seen=$(version_resource "$folder/$exe")
    echo "$exe: version resource: $seen"
    [ "$seen" = "$version.0 $version Velmora" ] || ok=1
    # The icon group, put back together as an .ico file (wrestool pads its end), is the application icon.
    wrestool -x -t14 "$folder/$exe" > "$build/$exe.ico" &&
      cmp -s -n "$(stat -c %s "$root/packaging/windows/velmora.ico")" "$build/$exe.ico" "$root/packaging/windows/velmora.ico" ||
      { echo "$exe: its icon is not packaging/windows/velmora.ico"; ok=1; }
  done
  return $ok
}
check "version resource ($version, Velmora) and icon of both executables" resources

# Stripped, and no DLL that nothing in the folder imports (a plugin is loaded by name instead).
folder_contents() {
  local file imports ok=0
  imports=$(find "$folder" -iname '*.exe' -o -iname '*.dll' | xargs -d '\n' x86_64-w64-mingw32-objdump -p |
    sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u)
  while read -r file; do
    if x86_64-w64-mingw32-objdump -h "$file" | grep -q '\.debug_'; then echo "not stripped: ${file#"$folder"/}"; ok=1; fi
  done < <(find "$folder" -iname '*.exe' -o -iname '*.dll')
  while read -r file; do
    grep -qxF "$(basename "$file" | tr '[:upper:]' '[:lower:]')" <<<"$imports" || { echo "imported by nothing: $file"; ok=1; }
  done < <(cd "$folder" && find . -maxdepth 1 -iname '*.dll')
  (cd "$folder" && find . -type f | sort | sed 's|^\./||' | tr '\n' ' '); echo "($(du -sh "$folder" | cut -f1))"
  return $ok
}
check "the folder is stripped and holds only DLLs something imports" folder_contents

zip_contents() {
  rm -rf "$build/unzipped" && mkdir -p "$build/unzipped" && unzip -q "$zip" -d "$build/unzipped" &&
    diff -r "$folder" "$build/unzipped/Velmora"
}
check "the zip holds the folder exactly" zip_contents

# --- the installer under wine ------------------------------------------------------------------
source "$root/scripts/wine-stage.sh"
find_wine || give_up "wine64 not found"

# A new prefix each run: a Windows system that has never seen the program. No Mono or Gecko
# prompts, and no host menu entries for the Start-menu shortcut.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
xvfb_pid=
stop() {
  stop_wine
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
}
trap stop EXIT
# The window needs a display.
source "$root/scripts/x-display.sh"
start_xvfb 800x600x24 "$build/xvfb.log" 2>&1 || give_up "Xvfb did not start"
t0=$(date +%s)
timeout 300 "$wine64" cmd /c exit < /dev/null > "$build/wineprefix.log" 2>&1 || { tail -20 "$build/wineprefix.log"; give_up "no wine prefix"; }
echo "windows-package: wine prefix took $(( $(date +%s) - t0 )) s"

drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/Velmora"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velmora.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'
cp "$setup" "$drive_c/setup.exe"

install_silently() {
  local entry ok=0
  timeout 300 "$wine64" 'C:\setup.exe' /S < /dev/null > "$build/setup.log" 2>&1 || { echo "setup.exe /S failed"; return 1; }
  timeout 60 "$wineserver" -w
  [ -f "$installed/uninstall.exe" ] || { echo "no uninstall.exe in $installed"; return 1; }
  diff -r -x uninstall.exe "$folder" "$installed" || ok=1
  [ -f "$shortcut" ] || { echo "no Start-menu shortcut"; ok=1; }
  timeout 60 "$wine64" reg query "$key" < /dev/null > "$build/uninstall-key.txt" 2>&1 || { echo "no $key"; return 1; }
  tr -d '\r' < "$build/uninstall-key.txt" | grep -E '^ +[A-Za-z]+ +REG_'
  for entry in "DisplayName REG_SZ Velmora" "DisplayVersion REG_SZ $version" "Publisher REG_SZ Velmora" \
      'InstallLocation REG_SZ C:\Program Files\Velmora' 'UninstallString REG_SZ "C:\Program Files\Velmora\uninstall.exe"' \
      'QuietUninstallString REG_SZ "C:\Program Files\Velmora\uninstall.exe" /S' \
      'DisplayIcon REG_SZ C:\Program Files\Velmora\velmora.exe,0' "NoModify REG_DWORD 0x1" "NoRepair REG_DWORD 0x1"; do
    tr -d '\r' < "$build/uninstall-key.txt" | sed -E 's/^ +//; s/ {2,}/ /g' | grep -qxF "$entry" || { echo "missing: $entry"; ok=1; }
  done
  return $ok
}
check "setup.exe /S installs the folder, the shortcut and the uninstall entry" install_silently

# The installed velmoractl on the simulated backend sends the MENU packet.
menu_packet() {
  local out
  out=$(cd "$drive_c" && timeout 120 "$wine64" 'C:\Program Files\Velmora\velmoractl.exe' --backend sim --trace key menu < /dev/null 2>&1 | tr -d '\r')
  echo "$out"
  grep -q '26 16 00 00 00 01 00 00 00 00 05 BD' <<<"$out"
}
check "the installed velmoractl.exe sends the MENU packet" menu_packet

# The installed window program starts on the simulated backend (its start-up reads reach the
# simulated camera's trace), shows its window, and exits 0 when the window is asked to close.
window_starts() {
  local trace="$build/velmora.trace" pid code=1
  : > "$trace"
  (cd "$drive_c" && VELMORA_BACKEND=sim VELMORA_SIM_TRACE="Z:${trace//\//\\}" \
    exec timeout 120 "$wine64" 'C:\Program Files\Velmora\velmora.exe' < /dev/null > "$build/velmora.log" 2>&1) &
  pid=$!
  # taskkill without /f asks the process's top-level windows to close; until the window is there
  # that does nothing, so ask again while the process runs.
  sleep 2
  for _ in $(seq 60); do
    kill -0 "$pid" 2>/dev/null || break
    timeout 30 "$wine64" taskkill /im velmora.exe < /dev/null >> "$build/taskkill.log" 2>&1
    sleep 1
  done
  wait "$pid" && code=0
  echo "velmora.exe exited with $code; $(wc -l < "$trace") requests on the simulated camera's trace"
  [ "$code" -eq 0 ] && [ -s "$trace" ]
}
check "the installed velmora.exe starts and closes cleanly" window_starts

# The uninstaller copies itself to a temporary folder and returns at once: wait for wine's processes.
uninstall_silently() {
  local ok=0
  timeout 120 "$wine64" 'C:\Program Files\Velmora\uninstall.exe' /S < /dev/null > "$build/uninstall.log" 2>&1 || { echo "uninstall.exe /S failed"; return 1; }
  timeout 120 "$wineserver" -w
  [ ! -e "$installed" ] || { echo "left behind: $(find "$installed" | tr '\n' ' ')"; ok=1; }
  [ ! -e "$shortcut" ] || { echo "left behind: the Start-menu shortcut"; ok=1; }
  if timeout 60 "$wine64" reg query "$key" < /dev/null > /dev/null 2>&1; then echo "left behind: $key"; ok=1; fi
  timeout 60 "$wineserver" -w
  # Nothing of ours anywhere in the prefix: files, or registry keys and values (the .reg files).
  find "$drive_c" -iname '*velmora*' | grep . && ok=1
  grep -il 'velmora' "$WINEPREFIX"/*.reg && ok=1
  return $ok
}
check "uninstall.exe /S removes every file and registry key of ours" uninstall_silently

finish
[ "$failed" -eq 0 ]
