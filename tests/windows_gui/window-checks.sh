#!/usr/bin/env bash
# The real velmora.exe under wine64 on Xvfb, with Qt's windows platform plugin: the window, clicks by
# screen position, the native backend's empty start, and device-change messages sent from another
# process through the real message loop, the window at 150 % (LogPixels 144), and where --version
# goes. Ends with "window-checks: N passed, N failed".
#
# Usage: window-checks.sh BUILD_DIR QT_PREFIX OUT_DIR
#   BUILD_DIR  the x86_64 cross-build (app/velmora.exe, tests/windows_gui/velmora-send-device-change.exe)
#   QT_PREFIX  Qt 5 for Windows (scripts/qt-mingw.sh)
#   OUT_DIR    logs, traces and the screenshots velmora-windows.png and velmora-windows-150.png
# WINEPREFIX must name a prepared prefix; WINE64 may name wine64. Needs Xvfb, xdotool, ImageMagick.
set -uo pipefail
build=$1 qt=$2 out=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
wine64=${WINE64:-/usr/lib/wine/wine64}
exe=$build/app/velmora.exe
helper=$build/tests/windows_gui/velmora-send-device-change.exe
form=$root/app/forms/velmora.ui
title=$(sed -n '/name="windowTitle"/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;q}' "$form")
capture_guid=65E8773D-8F56-11D0-A3B9-00A0C9223196
capture_name='\\?\usb#vid_abcd&pid_ef02&mi_00#7&1f0e0c2&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global'
hid_name='\\?\hid#vid_046d&pid_c52b&mi_00#8&2a1b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}'
mkdir -p "$out"

passed=0 failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "  ok    $what"; passed=$((passed + 1)); else echo "  FAIL  $what"; failed=$((failed + 1)); fi
}
finish() { echo "window-checks: $passed passed, $failed failed"; exit $((failed > 0)); }
lines() { [ -f "$1" ] && wc -l < "$1" || echo 0; }
# wait_for SECONDS COMMAND...: polls every 0.1 s
wait_for() {
  local tries=$(($1 * 10)); shift
  while [ "$tries" -gt 0 ]; do "$@" && return 0; sleep 0.1; tries=$((tries - 1)); done
  return 1
}

# The geometry of a widget of the form, in the window's client area: "x y width height".
form_rect() {
  awk -v name="name=\"$1\"" 'index($0, name) {found = 1}
    found && /<x>/ {gsub(/[^0-9]/, ""); x = $0} found && /<y>/ {gsub(/[^0-9]/, ""); y = $0}
    found && /<width>/ {gsub(/[^0-9]/, ""); w = $0} found && /<height>/ {gsub(/[^0-9]/, ""); print x, y, w, $0; exit}' "$form"
}
# Moves the pointer to the middle of a widget, by screen position: the window's origin plus the form.
point_at() {
  local x y w h
  read -r x y w h < <(form_rect "$1")
  xdotool mousemove --sync $((X + x + w / 2)) $((Y + y + h / 2))
}

for tool in Xvfb xdotool import; do
  command -v "$tool" > /dev/null || { echo "window-checks: $tool is missing"; failed=1; finish; }
done
[ -x "$exe" ] && [ -f "$helper" ] || { echo "window-checks: $exe or $helper is missing"; failed=1; finish; }

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
}
trap cleanup EXIT

source "$root/scripts/x-display.sh"
source "$root/scripts/wine-stage.sh"
start_xvfb 1280x1024x24 "$out/xvfb.log" 2>&1 || { echo "window-checks: Xvfb did not start"; failed=1; finish; }
pids+=("$xvfb_pid")

# wine's desktop process takes the display it was started with: a new server for this display.
wineserver="$(dirname "$wine64")/wineserver"
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
timeout 60 "$wineserver" -k > /dev/null 2>&1
timeout 60 "$wineserver" -w > /dev/null 2>&1
timeout 60 "$wineserver" -p < /dev/null > /dev/null 2>&1

# Qt, its plugins and mingw's runtime DLLs, found as a Windows program finds them.
export_qt_wine_paths "$qt"
export QT_QPA_PLATFORM=windows
unset VELMORA_SIM_CONFIG VELMORA_SIM_HOTPLUG_DIR
# Traced by wine: RegisterDeviceNotificationW's calls and results (relay), DirectShow's enumerations.
timeout 60 "$wine64" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
  /d RegisterDeviceNotificationW /f > /dev/null 2>&1

window=""
velmora_args=()
# start_window NAME VARIABLE=VALUE...: starts velmora.exe (with the arguments in velmora_args), waits
# for its window; sets window, X, Y, WIDTH, HEIGHT.
start_window() {
  local name=$1; shift
  : > "$out/$name.debug.log"
  (cd "$out" && exec env VELMORA_DEBUG_LOG="$(winpath "$out/$name.debug.log")" "$@" "$wine64" "$exe" "${velmora_args[@]}") \
    > "$out/$name.stderr" 2>&1 &
  velmora_pid=$!
  pids+=("$velmora_pid")
  window=$(wait_window 60 "^$title\$") || return 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  sleep 1
}
# stop_window: closes the window as its close button does; true when the program exited with 0.
stop_window() {
  timeout 30 "$wine64" "$helper" close > /dev/null 2>&1
  local code=0
  timeout 30 tail --pid="$velmora_pid" -f /dev/null ||
    { import -window root "$out/not-closed.png"; kill "$velmora_pid"; code=1; }
  wait "$velmora_pid" || code=$?
  [ "$code" -eq 0 ]
}
# The bytes of each write on the trace after its first N lines.
new_sets() { tail -n +"$(($1 + 1))" "$trace" | tr -d '\r' | grep '^SET ' | sed 's/.*data=//'; }
sent_since() { [ -n "$(new_sets "$1")" ]; }
# sends DESCRIPTION BYTES ACTION...: runs the action, then checks that exactly BYTES were written.
sends() {
  local what=$1 bytes=$2 before
  shift 2
  before=$(lines "$trace")
  "$@"
  wait_for 10 sent_since "$before"
  sleep 0.3
  check "$what sends $bytes" test "$(new_sets "$before")" = "$bytes"
}
click_at() { point_at "$1" && xdotool click 1; }
press_at() { point_at "$1" && xdotool mousedown 1; }
settled() { local n; n=$(lines "$trace"); sleep 0.5; [ "$n" -eq "$(lines "$trace")" ]; }
# The whole form, as it is: out/NAME.
screenshot() {
  xdotool mousemove 0 0
  sleep 0.5
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1"
  echo "  the screenshot is $out/$1"
}
# The display's scale as Windows keeps it: 96 is 100 %, 144 is 150 %.
log_pixels() {
  timeout 60 "$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f > /dev/null 2>&1
}
# Text as a terminal shows it: no escape sequences, carriage returns or empty lines.
plain() { sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r' | grep -v '^$'; }

echo "window-checks: velmora.exe --version, a GUI-subsystem program"
version="velmora $(sed -n 's/^project(Velmora VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")"
timeout 60 "$wine64" "$exe" --version < /dev/null > "$out/version.txt" 2> /dev/null
check "--version into a file: \"$(plain < "$out/version.txt")\"" test "$(plain < "$out/version.txt")" = "$version"
# wine's start.exe starts a GUI program as cmd.exe does, without standard handles; under script it
# has a console.
printed=$(timeout 60 script -qec "$wine64 start /wait /unix '$exe' --version" /dev/null < /dev/null 2>&1 | plain)
check "--version from a console, on that console: \"$printed\"" test "$printed" = "$version"
timeout 60 "$wine64" start /wait /unix "$exe" --version < /dev/null > /dev/null 2>&1 &
pids+=($!)
shown=""
wait_window 30 '^Velmora$' > /dev/null && shown=$(timeout 30 "$wine64" "$helper" dismiss Velmora 2> /dev/null | plain)
check "--version without a console, in a message box: \"$shown\"" test "$shown" = "$version"

echo "window-checks: velmora.exe on the simulated cameras"
trace=$out/sim.trace
: > "$trace"
started=$(date +%s)
if ! start_window sim VELMORA_BACKEND=sim VELMORA_SIM_TRACE="$(winpath "$trace")" WINEDEBUG=-all; then
  check "the window maps with the title \"$title\"" false
  tail -20 "$out/sim.stderr"; finish
fi
check "the window maps with the title \"$title\" ($(($(date +%s) - started)) s)" \
  test "$(xdotool getwindowname "$window")" = "$title"
check "the window is 518 x 507 (${WIDTH} x ${HEIGHT} at $X,$Y)" test "$WIDTH x $HEIGHT" = "518 x 507"
wait_for 10 settled

sends "a click on MENU by its screen position" "26 16 00 00 00 01 00 00 00 00 05 BD" click_at MENUButton
sends "pressing zoom-in (and no more)" "26 16 00 00 00 01 00 00 00 00 03 BF" press_at Zoom_inButton
sends "releasing it" "26 16 00 00 00 01 00 00 00 00 16 AC" xdotool mouseup 1

# The picture: the whole form, the first camera selected.
screenshot velmora-windows.png
check "the window closes and the program exits with 0" stop_window

echo "window-checks: velmora.exe --hotkeys with wine's notepad in front"
trace=$out/hotkeys.trace
: > "$trace"
velmora_args=(--hotkeys)
window=""
start_window hotkeys VELMORA_BACKEND=sim VELMORA_SIM_TRACE="$(winpath "$trace")" WINEDEBUG=-all
velmora_args=()
if [ -n "$window" ]; then
  bound() { grep -q '^hotkeys on (Windows): 12 of 12 bound' "$out/hotkeys.debug.log"; }
  wait_for 20 bound
  check "RegisterHotKey took the 12 suggested combinations" bound
  (cd "$out" && exec "$wine64" notepad) > "$out/notepad.stderr" 2>&1 &
  notepad_pid=$!
  pids+=("$notepad_pid")
  notepad=$(wait_window 60 'Notepad') || notepad=""
  check "wine's notepad maps" test -n "$notepad"
  if [ -n "$notepad" ]; then
    xdotool windowactivate --sync "$notepad" 2> /dev/null || xdotool windowfocus --sync "$notepad"
    sleep 1
    hold_combination() { xdotool keydown ctrl alt Up; sleep 0.8; xdotool keyup Up alt ctrl; }
    before=$(lines "$trace")
    hold_combination
    wait_for 10 sent_since "$before"
    sleep 1
    check "Ctrl+Alt+Up held 0.8 s with notepad in front sends the zoom-in press, then its release" \
      test "$(new_sets "$before")" = $'26 16 00 00 00 01 00 00 00 00 03 BF\n26 16 00 00 00 01 00 00 00 00 16 AC'
    [ "$(new_sets "$before")" = $'26 16 00 00 00 01 00 00 00 00 03 BF\n26 16 00 00 00 01 00 00 00 00 16 AC' ] ||
      new_sets "$before" | sed 's/^/    sent: /'
  fi
  kill "$notepad_pid" 2> /dev/null
  # With the hotkeys on, closing the window would hide it in the tray: ended here.
  kill "$velmora_pid" 2> /dev/null
  wait "$velmora_pid" 2> /dev/null
else
  check "the window maps with --hotkeys" false
fi

echo "window-checks: velmora.exe with the display at 150 % (LogPixels 144)"
log_pixels 144
if start_window sim150 VELMORA_BACKEND=sim WINEDEBUG=-all; then
  check "the window is 777 x 761 (${WIDTH} x ${HEIGHT})" test "$WIDTH x $HEIGHT" = "777 x 761"
  screenshot velmora-windows-150.png
  stop_window
else
  check "the window maps at 150 %" false
fi
log_pixels 96

echo "window-checks: velmora.exe on the native backend (DirectShow under wine)"
log=$out/native.debug.log
started=$(date +%s)
if ! start_window native VELMORA_BACKEND=native WINEDEBUG=-all,+relay,trace+devenum; then
  check "the window maps on the native backend" false
  tail -20 "$out/native.stderr"; finish
fi
echo "  the window mapped on the native backend in $(($(date +%s) - started)) s"
stderr=$out/native.stderr
enumerations() { grep -c 'CreateClassEnumerator.*class {860bb310-5d01-11d0-bd3b-00a0c911ce86}' "$stderr" || true; }
handle=$(timeout 30 "$wine64" "$helper" find 2> /dev/null | tr -d '\r')
# The call ("THREAD:Call user32.RegisterDeviceNotificationW(WINDOW,...") goes through wine's
# plug-and-play service, which may still be starting: its return is awaited, matched to the thread.
registration_return() {
  local call thread
  call=$(grep -m1 '^[0-9a-fA-F]*:Call user32.RegisterDeviceNotificationW(' "$stderr") || return 1
  thread=${call%%:*}
  registered_window=$(sed 's/.*RegisterDeviceNotificationW(\([0-9a-fA-F]*\),.*/\1/' <<< "$call")
  registered=$(sed -n "s/^$thread:Ret  user32.RegisterDeviceNotificationW() retval=\\([0-9a-fA-F]*\\).*/\\1/p" \
    "$stderr" | head -1)
  [ -n "$registered" ]
}
registered="" registered_window=""
wait_for 30 registration_return
check "RegisterDeviceNotificationW on the window ($handle) returned a registration (${registered:-none})" \
  test -n "$handle" -a -n "$registered" -a -n "$registered_window" -a \
  "$((16#${registered:-0}))" -ne 0 -a "$((16#${registered_window:-0}))" -eq "$((${handle:-0}))"
not_logged() { ! grep -qF "$1" "$log"; }
check "no \"注册失败\" on the debug channel" not_logged "注册失败"
check "DirectShow's video input category was enumerated once at start-up ($(enumerations))" \
  test "$(enumerations)" -eq 1

# send EVENT RECORD "EXPECTED LINES" REFRESHES: one message from another process; its debug lines
# and whether the list was rebuilt (a new enumeration of the video input category). The lines and
# the enumeration are awaited (a loaded machine may take seconds), then 0.3 s more for any extra.
send() {
  local event=$1 record=$2 expected=$3 refreshes=$4 seen_before enumerated_before got count=0
  seen_before=$(lines "$log")
  enumerated_before=$(enumerations)
  [ -z "$expected" ] || count=$(wc -l <<< "$expected")
  arrived() { [ "$(lines "$log")" -ge "$((seen_before + count))" ] &&
    [ "$(enumerations)" -ge "$((enumerated_before + refreshes))" ]; }
  timeout 30 "$wine64" "$helper" "$event" "$record" > /dev/null 2>&1
  wait_for 10 arrived
  sleep 0.3
  got=$(tail -n +"$((seen_before + 1))" "$log")
  local rebuilt=$(($(enumerations) - enumerated_before))
  local what="$event, $record record: $count debug lines in order, list rebuilt $refreshes times"
  if [ "$got" = "$expected" ] && [ "$rebuilt" -eq "$refreshes" ]; then
    check "$what" true
  else
    check "$what" false
    printf '    expected:\n%s\n    got (%s rebuilt):\n%s\n' "$expected" "$rebuilt" "$got" | sed 's/^/    /'
  fi
}
send arrival capture "$capture_name
$capture_guid" 1
send removal capture "设备移除
$capture_name
$capture_guid
USB视频设备移除！" 1
send arrival other "$hid_name
$capture_guid" 0
send removal other "设备移除
$hid_name
$capture_guid" 0
send arrival short "" 0
send removal short "设备移除" 0
send arrival unterminated "" 0

point_at MENUButton && xdotool click 1
box=$(wait_window 10 '^Warning$')
check "the list is still empty: a click on MENU shows the \"请插入设备！\" box" test -n "$box"
# Without a window manager the box gets no keyboard focus under wine: closed as its close button does.
[ -z "$box" ] || check "the box takes WM_CLOSE and goes" timeout 30 "$wine64" "$helper" dismiss > /dev/null
# Under wine without a window manager the window then ignored WM_CLOSE (the simulated run checks a
# clean exit): ended here.
kill "$velmora_pid" 2> /dev/null
finish
