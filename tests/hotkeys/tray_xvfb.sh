#!/usr/bin/env bash
# The tray under Xvfb with trayer as the tray host: velmora --hidden --hotkeys shows its icon in the
# tray and maps no window, and its hotkeys work hidden; the tray menu turns start with the desktop
# on (the autostart entry, made from the package's desktop file with --hidden) and off (the entry
# gone), shows the window; closing the window while hotkeys are on hides it in the tray, once with
# the message; Quit in the menu ends the program with 0. Without a tray, --hidden shows the window
# after waiting for one, and closing it quits as before.
# Usage: tray_xvfb.sh VELMORA velmora-x-input   (exits 77, skipped, without Xvfb, xdotool or trayer)
set -euo pipefail
velmora=$1 input=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool xwininfo trayer; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh build)"; exit 77; }
done

source "$here/../../scripts/x-display.sh"
x_scratch
start_xvfb 800x600x24 "$work/xvfb.log" || fail "Xvfb did not start"
pids+=("$xvfb_pid")
mkdir -m 700 "$work/runtime"
# The package's desktop file where an installed one would be.
mkdir -p "$work/data/applications"
cp "$here/../../packaging/linux/io.github.velmora.velmora.desktop" "$work/data/applications/"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_DATA_DIRS=$work/data XDG_DATA_HOME=$work/home-data
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XDG_SESSION_TYPE VELMORA_HOTKEY_BACKEND
trace=$work/trace
: > "$trace"
entry=$XDG_CONFIG_HOME/autostart/io.github.velmora.velmora.desktop

start_velmora() {
  local name=$1
  shift
  QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none VELMORA_BACKEND=sim VELMORA_SIM_TRACE=$trace VELMORA_SIM_CONFIG= \
    VELMORA_DEBUG_LOG="$work/$name.log" "$velmora" "$@" > "$work/$name.out" 2>&1 &
  velmora_pid=$!
  pids+=("$velmora_pid")
}
window_shown() { xdotool search --onlyvisible --name '^UVC' > /dev/null 2>&1; }
# The icon: a window of the program embedded in trayer's panel, mapped.
tray_icon() {
  local panel
  panel=$(xdotool search --name '^panel$' 2> /dev/null | head -1)
  [ -n "$panel" ] || return 1
  xwininfo -children -id "$panel" > /dev/null 2>&1 || return 1
  local id
  for id in $(xwininfo -tree -id "$panel" | sed -n 's/^ *\(0x[0-9a-f]*\) "velmora".*/\1/p'); do
    xwininfo -id "$id" | grep -q 'Map State: IsViewable' && { echo "$id"; return 0; }
  done
  return 1
}
# menu KEY...: opens the tray icon's menu with a right click and works it with these keys.
menu() {
  local x y
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  "$input" move:$((X + 5)),$((Y + 5)) press:3 release:3 > /dev/null
  for _ in $(seq 30); do xdotool search --onlyvisible --class velmora 2> /dev/null | grep -qv "^$((icon))\$" && break; sleep 0.1; done
  sleep 0.3
  for key in "$@"; do "$input" down:"$key" up:"$key" > /dev/null; sleep 0.1; done
  sleep 0.5
}
sets() { sed -n 's/^SET .* data=//p' "$trace"; }

# trayer once more where the first one did not come up (it has failed to open a display just up).
for attempt in 1 2; do
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 24 >> "$work/trayer.log" 2>&1 &
  trayer_pid=$!
  pids+=("$trayer_pid")
  wait_window 20 '^panel$' > /dev/null && break
  kill -0 "$xvfb_pid" 2> /dev/null || fail "Xvfb ($DISPLAY) went away"
  [ "$attempt" -eq 2 ] && fail "trayer did not start on $DISPLAY"
  kill "$trayer_pid" 2> /dev/null || true
done

start_velmora hidden --hidden --hotkeys
icon=""
for _ in $(seq 100); do icon=$(tray_icon) && break; sleep 0.1; done
[ -n "$icon" ] || fail "no tray icon in trayer's panel"
sleep 2
window_shown && fail "--hidden mapped the window"
echo "velmora --hidden: the icon is in the tray, no window is mapped"

for _ in $(seq 50); do grep -q '^hotkeys on' "$work/hidden.log" && break; sleep 0.1; done
: > "$trace"
"$input" down:Ctrl down:Alt down:Up sleep:300 up:Up up:Alt up:Ctrl > /dev/null
for _ in $(seq 30); do [ "$(sets | wc -l)" -ge 2 ] && break; sleep 0.1; done
[ "$(sets)" = $'26 16 00 00 00 01 00 00 00 00 03 BF\n26 16 00 00 00 01 00 00 00 00 16 AC' ] ||
  fail "Ctrl+Alt+Up while hidden sent:"$'\n'"$(sets)"
echo "hidden in the tray, Ctrl+Alt+Up sent the zoom-in press and its release"

# The menu: show or hide, hotkeys, settings, start with the desktop, -, quit.
menu Down Down Down Down Return
[ -f "$entry" ] || fail "start with the desktop wrote no $entry"
grep -qx 'Exec=velmora --hidden' "$entry" || fail "the autostart entry does not start velmora --hidden:"$'\n'"$(cat "$entry")"
grep -qx 'Name\[zh_CN\]=Velmora 摄像头按键' "$entry" || fail "the autostart entry is not the package's desktop file"
echo "start with the desktop on: $entry, the package's desktop file with --hidden"
menu Down Down Down Down Return
[ ! -e "$entry" ] || fail "start with the desktop off left $entry"
echo "start with the desktop off: the entry is gone"

menu Down Return
for _ in $(seq 30); do window_shown && break; sleep 0.1; done
window=$(xdotool search --onlyvisible --name '^UVC' | head -1)
[ -n "$window" ] || fail "Show the window did not map it"
"$input" close:"$window"
for _ in $(seq 30); do window_shown || break; sleep 0.1; done
window_shown && fail "closing the window with hotkeys on did not hide it"
kill -0 "$velmora_pid" || fail "closing the window with hotkeys on and a tray ended the program"
grep -qx 'hide-message-shown=true' "$XDG_CONFIG_HOME/velmora/velmora.ini" || fail "the first close to the tray left no note of its message"
echo "closing the window with hotkeys on hid it in the tray, with the message the first time"

menu Up Return
code=0
timeout 10 tail --pid="$velmora_pid" -f /dev/null || fail "Quit in the tray menu did not end the program"
wait "$velmora_pid" || code=$?
[ "$code" -eq 0 ] || fail "Quit in the tray menu: exit $code"
echo "Quit in the tray menu ended the program with 0"

kill "$trayer_pid"
for _ in $(seq 30); do xdotool search --name '^panel$' > /dev/null 2>&1 || break; sleep 0.1; done
start_velmora notray --hidden --hotkeys
for _ in $(seq 150); do window_shown && break; sleep 0.1; done
window_shown || fail "without a tray --hidden never showed the window"
grep -q 'no system tray: the window shows' "$work/notray.log" || fail "without a tray the window showed without waiting for one"
window=$(xdotool search --onlyvisible --name '^UVC' | head -1)
"$input" close:"$window"
code=0
timeout 10 tail --pid="$velmora_pid" -f /dev/null || fail "without a tray closing the window did not end the program"
wait "$velmora_pid" || code=$?
[ "$code" -eq 0 ] || fail "without a tray closing the window: exit $code"
echo "without a tray --hidden showed the window after waiting, and closing it quit"
