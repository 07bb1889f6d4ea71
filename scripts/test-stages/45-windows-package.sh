#!/usr/bin/env bash
# The Windows program as users get it: scripts/package.sh windows builds the folder, the zip, the
# setup program and the MSI (Qt for Windows built once and cached), signed with a throwaway
# certificate; this stage checks them, then installs, upgrades and uninstalls silently in a scratch
# wine prefix. Each check is one test: records "windows-package passed failed skipped".
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
signing="$build/signing"
rm -rf "$signing" && mkdir -p "$signing" && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velmora test" \
  -addext extendedKeyUsage=codeSigning -keyout "$signing/key.pem" -out "$signing/cert.pem" 2> /dev/null || give_up "no certificate"
# The programs come from the x86_64 tree the Windows stages share (its tests built there too).
# Qt's first build takes about half an hour of this on 2 cores; later runs reuse its cache.
source "$root/scripts/wine-stage.sh"
find_wine || give_up "wine64 not found"
cross_prerequisites "$stage" || give_up "no Qt 5 or SDL2 for Windows"
cross=${VELMORA_BUILD_ROOT:?}/mingw-x86_64-qt
configure_qt_cross "$cross" "$qt" "$cross.configure.log" || { tail -40 "$cross.configure.log"; give_up "the cross tree cannot be configured"; }
VELMORA_PACKAGE_BUILD="$build/build" VELMORA_PACKAGE_CROSS="$cross" VELMORA_DIST="$build/dist" \
  VELMORA_SIGN_CERT="$signing/cert.pem" VELMORA_SIGN_KEY="$signing/key.pem" \
  timeout 4800 bash "$root/scripts/package.sh" windows > "$build/package.log" 2>&1 ||
  { tail -40 "$build/package.log"; give_up "scripts/package.sh windows failed"; }
tree_unlock
echo "windows-package: scripts/package.sh windows took $(( $(date +%s) - start )) s"
zip=$(tail -3 "$build/package.log" | head -1)
setup=$(tail -2 "$build/package.log" | head -1)
msi=$(tail -1 "$build/package.log")
folder="$build/build/stage/Velmora"
version=$(sed -n 's/^project(Velmora VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -f "$zip" ] && [ -f "$setup" ] && [ -f "$msi" ] && [ -d "$folder" ] || give_up "no artefacts in $build/dist"

# A later version, from the same folder less its style plugin: files the earlier one alone has.
later_version=${version%.*}.$((${version##*.} + 1)) later_folder="$build/later/Velmora" t0=$(date +%s)
rm -rf "$build/later" && mkdir -p "$build/later" && cp -r "$folder" "$later_folder" && rm -r "$later_folder/styles" &&
  VELMORA_PACKAGE_STAGE="$later_folder" VELMORA_PACKAGE_VERSION="$later_version" VELMORA_PACKAGE_BUILD="$build/build-later" \
  VELMORA_DIST="$build/dist" timeout 900 bash "$root/scripts/package.sh" windows > "$build/package-later.log" 2>&1 ||
  { tail -40 "$build/package-later.log"; give_up "packaging version $later_version failed"; }
echo "windows-package: packaging version $later_version took $(( $(date +%s) - t0 )) s"
ls -l "$zip" "$setup" "$msi" "$build/dist/velmora-$later_version"-*

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

# SDL2 is linked into velmoractl.exe statically: serve --gamepad works from the package.
gamepads() { ! grep -q "gamepads are not built in" "$folder/velmoractl.exe" && grep -q SDL_JOYSTICK_HIDAPI "$folder/velmoractl.exe"; }
check "velmoractl.exe reads gamepads (SDL2 built in)" gamepads

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

# A program importing a DLL that neither the search folders hold nor Windows has: the install fails
# naming that DLL alone; a failed strip fails it too.
dll_closure() {
  local dir="$build/closure" ok=0
  rm -rf "$dir" && mkdir -p "$dir/folder" && printf 'LIBRARY velmora-nowhere.dll\nEXPORTS\nnowhere\n' > "$dir/nowhere.def" &&
    printf 'int nowhere(void);\nint main(void) { return nowhere(); }\n' > "$dir/app.c" &&
    x86_64-w64-mingw32-dlltool -d "$dir/nowhere.def" -l "$dir/libnowhere.a" &&
    x86_64-w64-mingw32-gcc -o "$dir/folder/app.exe" "$dir/app.c" -L"$dir" -lnowhere || return 1
  closure() { # closure STRIP MESSAGE: the install fails saying MESSAGE (CMake's wrapped lines joined)
    ! cmake -DCMAKE_INSTALL_PREFIX="$dir/folder" -DVELMORA_DEPLOY_ROOTS=app.exe -DVELMORA_DEPLOY_SEARCH="$dir" \
      -DVELMORA_SYSTEM_LIBS="$(dirname "$(x86_64-w64-mingw32-gcc -print-file-name=libkernel32.a)")" \
      -DVELMORA_OBJDUMP=x86_64-w64-mingw32-objdump -DVELMORA_STRIP="$1" -DCMAKE_INSTALL_DO_STRIP=1 \
      -P "$root/cmake/VelmoraDllClosure.cmake" > "$dir/log" 2>&1 && tr -s ' \n' ' ' < "$dir/log" | grep -o "$2" ||
      { cat "$dir/log"; return 1; }
  }
  closure x86_64-w64-mingw32-strip 'nor a Windows DLL: velmora-nowhere.dll (imported by app.exe) $' || ok=1
  closure false 'stripping [^ ]*app.exe failed' || ok=1
  return $ok
}
check "the DLL closure fails on a DLL it cannot place and on a failed strip" dll_closure

# The build-warnings gate counts: 5000 warnings fail it (cut short by head, a pipeline once passed).
warnings_gate() {
  source "$root/scripts/build-warnings.sh"
  for i in $(seq 5000); do echo "$root/app/main.cpp:$i:1: warning: unused variable 'x'"; done > "$build/warnings.log"
  ! no_warnings "$root" "$build/warnings.log" | tail -1
}
check "the build-warnings gate fails on many warnings" warnings_gate

# --- the installers under wine -----------------------------------------------------------------
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
cp "$setup" "$drive_c/setup.exe" && cp "$msi" "$drive_c/package.msi" &&
  cp "$build/dist/velmora-$later_version-setup-x86_64.exe" "$drive_c/setup-later.exe" &&
  cp "$build/dist/velmora-$later_version-x86_64.msi" "$drive_c/package-later.msi" || give_up "no artefacts to install"

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

# Every artefact and our executables in them verify against the throwaway certificate; Qt's DLLs
# are not signed.
signatures() {
  local file ok=0
  mkdir -p "$build/msi-files" && (cd "$build/msi-files" && msiextract "$msi" > /dev/null) || return 1
  for file in "$setup" "$msi" "$build"/unzipped/Velmora/*.exe "$build"/msi-files/Velmora/*.exe "$installed"/*.exe; do
    osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" > /dev/null 2>&1 && echo "verifies: ${file#"$build"/}" ||
      { echo "does not verify: $file"; ok=1; }
  done
  osslsigncode verify -CAfile "$signing/cert.pem" -in "$folder/Qt5Core.dll" > /dev/null 2>&1 && { echo "Qt5Core.dll is signed"; ok=1; }
  return $ok
}
check "the artefacts and our executables in them verify; Qt's DLLs are unsigned" signatures

# The installed velmoractl on the simulated backend sends the MENU packet.
menu_packet() {
  local out
  out=$(cd "$drive_c" && timeout 120 "$wine64" 'C:\Program Files\Velmora\velmoractl.exe' --backend sim --trace key menu < /dev/null 2>&1 | tr -d '\r')
  echo "$out"
  grep -q '26 16 00 00 00 01 00 00 00 00 05 BD' <<<"$out"
}
check "the installed velmoractl.exe sends the MENU packet" menu_packet

# The installed window program on the simulated backend, in the background: its start-up reads
# reach the simulated camera's trace. close_window closes it, and fails unless it exits 0.
window_trace="$build/velmora.trace"
start_window() {
  : > "$window_trace"
  (cd "$drive_c" && VELMORA_BACKEND=sim VELMORA_SIM_TRACE="Z:${window_trace//\//\\}" \
    exec timeout 120 "$wine64" 'C:\Program Files\Velmora\velmora.exe' < /dev/null > "$build/velmora.log" 2>&1) &
  window_pid=$!
}
close_window() {
  local code=1
  # taskkill without /f asks the process's top-level windows to close; until the window is there
  # that does nothing, so ask again while the process runs.
  sleep 2
  for _ in $(seq 60); do
    kill -0 "$window_pid" 2>/dev/null || break
    timeout 30 "$wine64" taskkill /im velmora.exe < /dev/null >> "$build/taskkill.log" 2>&1
    sleep 1
  done
  wait "$window_pid" && code=0
  echo "velmora.exe exited with $code; $(wc -l < "$window_trace") requests on the simulated camera's trace"
  [ "$code" -eq 0 ]
}
window_starts() {
  start_window
  close_window && [ -s "$window_trace" ]
}
check "the installed velmora.exe starts and closes cleanly" window_starts

# While velmora.exe runs, the later setup under /S changes nothing and exits with 3; after, it
# replaces the earlier version, whose uninstaller leaves none of the files only it had.
upgrade() {
  local code=0
  start_window
  for _ in $(seq 120); do [ -s "$window_trace" ] && break; sleep 0.5; done
  timeout 300 "$wine64" 'C:\setup-later.exe' /S < /dev/null > "$build/setup-later.log" 2>&1 || code=$?
  echo "setup-later.exe /S exited with $code while velmora.exe ran"
  close_window && timeout 60 "$wineserver" -w && diff -r -x uninstall.exe "$folder" "$installed" && [ "$code" -eq 3 ] &&
    timeout 300 "$wine64" 'C:\setup-later.exe' /S < /dev/null > "$build/setup-later.log" 2>&1 && timeout 60 "$wineserver" -w &&
    diff -r -x uninstall.exe "$later_folder" "$installed" &&
    timeout 60 "$wine64" reg query "$key" /v DisplayVersion < /dev/null | grep -o "REG_SZ *$later_version"
}
check "setup.exe of $later_version /S: exit code 3 while velmora.exe runs; then it replaces $version, leaving none of its files" upgrade

# Nothing of ours is left anywhere in the prefix: files, or registry keys and values (the .reg files).
nothing_left() {
  local ok=0
  # A setup program's uninstaller copies itself to a temporary folder and returns at once: wait for
  # wine's processes, which also writes the registry out.
  timeout 120 "$wineserver" -w
  find "$drive_c" -iname '*velmora*' | grep . && ok=1
  grep -il 'velmora' "$WINEPREFIX"/*.reg && ok=1
  return $ok
}
# uninstall_silently UNINSTALLER: UNINSTALLER /S leaves nothing of ours.
uninstall_silently() {
  timeout 120 "$wine64" "$1" /S < /dev/null > "$build/uninstall.log" 2>&1 || { echo "$1 /S failed"; return 1; }
  nothing_left
}
check "uninstall.exe /S removes every file and registry key of ours" uninstall_silently 'C:\Program Files\Velmora\uninstall.exe'

# The MSI installs the folder; the later one replaces it, leaving none of its files; the earlier one
# then refuses to go back; removing the later one leaves nothing.
run_msiexec() { timeout 300 "$wine64" msiexec "$@" < /dev/null > "$build/msiexec.log" 2>&1 && timeout 60 "$wineserver" -w; }
msi_upgrade() {
  run_msiexec /i 'C:\package.msi' /qn && diff -r "$folder" "$installed" &&
    run_msiexec /i 'C:\package-later.msi' /qn && diff -r "$later_folder" "$installed" &&
    ! run_msiexec /i 'C:\package.msi' /qn && diff -r "$later_folder" "$installed" &&
    run_msiexec /x 'C:\package-later.msi' /qn && nothing_left
}
check "msiexec /qn: $version installs, $later_version replaces it, $version refuses to go back, /x leaves nothing" msi_upgrade

finish
[ "$failed" -eq 0 ]
