#!/bin/bash
# The checks inside the e2e VM (run by vm-init.sh in a chroot of the host's root). Each check
# writes "PASS name" or "FAIL name: why" to $E2E_OUT/results.txt; the last line is "END".
# Kernel log lines of uvcvideo and the USB core that report an error fail the check they follow.
set -u
out=${E2E_OUT:?}
bin=${E2E_BIN:?}
build=${VELMORA_E2E_BUILD:?}
results=$out/results.txt
fifo=/run/velmora-usbcam.ctl
product="USB Camera"
default_guid=46394292-0CD0-4AE3-8783-3133F9EAAA3B
other_guid=5E1D0C2B-7A34-4F1E-9C61-2B8D0E4F7A10
camera_pid=
camera_log=
video=

pass() { echo "PASS $1" | tee -a "$results"; }
fail() { echo "FAIL $1: $2" | tee -a "$results"; }
skip() { echo "SKIP $1: $2" | tee -a "$results"; }
note() { echo "--- $*"; }

# The kernel log since the last call, kept in dmesg.txt; prints the error lines not matching $1.
kernel_errors() {
  local allowed=${1:-^$} lines
  lines=$(dmesg -c 2>/dev/null)
  [ -n "$lines" ] && printf '%s\n' "$lines" >> "$out/dmesg.txt"
  printf '%s\n' "$lines" | grep -E 'uvcvideo|usb [0-9]|vhci|videodev' |
    grep -iE 'fail|error|non.compliance|unable|cannot|invalid|timeout|timed out|reset' | grep -vE "$allowed"
}

# Ends check $1 as passed unless it already failed or the kernel logged an error (not matching $2).
finish_check() {
  local name=$1 allowed=${2:-^$} errors
  errors=$(kernel_errors "$allowed")
  if [ -n "$errors" ]; then fail "$name" "kernel: $(echo "$errors" | head -3 | tr '\n' '|')"; return 1; fi
  pass "$name"
}

# Forks are slow under emulation: the helpers below use builtins only.
mkfifo /run/e2e-nap && exec 9<>/run/e2e-nap
nap() { read -rt "$1" -u 9 _ || true; }

# uvcvideo names a camera's nodes "<product>: <entity>".
camera_node_names() {
  local dir name
  nodes=()
  for dir in /sys/class/video4linux/video*; do
    # A node can go between the test and the read while a camera leaves.
    read -r name 2> /dev/null < "$dir/name" || continue
    case "$name" in "$product"|"$product: "*) nodes+=("$dir") ;; esac
  done
}

# The capture node of the camera named $product (index 0), or nothing.
capture_node() {
  local dir index
  camera_node_names
  for dir in "${nodes[@]}"; do
    read -r index 2> /dev/null < "$dir/index" || continue
    [ "$index" = 0 ] && echo "/dev/${dir##*/}"
  done
}

camera_nodes() { camera_node_names; echo "${#nodes[@]}"; }

wait_for() {  # seconds, command...
  local tries=$(( $1 * 10 )); shift
  while [ $tries -gt 0 ]; do "$@" && return 0; nap 0.1; tries=$((tries - 1)); done
  return 1
}
has_capture_node() { camera_node_names; [ ${#nodes[@]} -gt 0 ]; }
no_camera_node() { camera_node_names; [ ${#nodes[@]} -eq 0 ]; }

# Starts the emulator (log $out/usbcam-$1.log) with the remaining arguments and waits for its node.
start_camera() {
  local name=$1; shift
  camera_log=$out/usbcam-$name.log
  rm -f "$fifo"
  "$bin/velmora-usbcam" --log "$camera_log" --control "$fifo" --product "$product" "$@" &
  camera_pid=$!
  if ! wait_for 20 has_capture_node; then
    video=
    return 1
  fi
  video=$(capture_node)
  # udev or not, the node must be usable before a check opens it.
  wait_for 5 test -c "$video"
}

control() { echo "$*" > "$fifo"; }

stop_camera() {
  [ -n "$camera_pid" ] || return 0
  control quit
  wait "$camera_pid" 2>/dev/null
  camera_pid=
  wait_for 10 no_camera_node
}

log_mark() { mark=$(wc -l < "$camera_log"); }
# The extension-unit and class requests logged since log_mark.
log_since() { tail -n +$((mark + 1)) "$camera_log" | grep -E '^(XU|CT|VC|VS)'; }

# PacketChecksum over the first 11 bytes of a hexadecimal packet, two hex digits.
checksum() {
  local hex=$1 sum=0 i
  for ((i = 0; i < 22; i += 2)); do sum=$(( (sum + 16#${hex:i:2}) & 255 )); done
  printf '%02x' $(( 255 - sum ))
}
# A register packet: command address param data, as numbers.
packet() {
  local body
  body=$(printf '26%02x%08x%02x%08x' "$1" "$2" "$3" "$4")
  echo "$body$(checksum "$body")"
}

# --- checks without the project's binaries --------------------------------------------------

check_enumeration() {
  local name=camera-enumerates
  if ! start_camera base; then
    fail $name "no video node named '$product' within 20 s"; return
  fi
  local count
  count=$(camera_nodes)
  # uvcvideo gives a UVC 1.00 camera a capture node and a metadata node.
  if [ "$count" -ne 2 ]; then fail $name "expected 2 video nodes, found $count"; return; fi
  grep -q '^STD SET_CONFIGURATION 0001' "$camera_log" || { fail $name "no SET_CONFIGURATION in the log"; return; }
  finish_check $name
}

check_raw_round_trip() {
  local name=raw-xu-round-trip
  [ -n "$video" ] || { fail $name "no camera"; return; }
  local len write read answer logged
  log_mark
  len=$("$bin/velmora-xu-query" "$video" 3 10 get_len)
  [ "$len" = 0c00 ] || { fail $name "GET_LEN answered '$len', expected 0c00"; return; }
  write=$(packet 0x20 0x120 0 0x12345678)
  answer=$("$bin/velmora-xu-query" "$video" 3 10 set_cur "$write")
  [ "$answer" = ok ] || { fail $name "SET_CUR: $answer"; return; }
  read=$(packet 0xA0 0x120 0 0)
  "$bin/velmora-xu-query" "$video" 3 10 set_cur "$read" > /dev/null
  answer=$("$bin/velmora-xu-query" "$video" 3 10 get_cur 12)
  logged=$(log_since | tr '\n' '|')
  # The driver's first query of a control fetches its length and flags (GET_LEN, GET_INFO) itself.
  local expected="XU3.10 GET_LEN 0c00 ok|XU3.10 GET_INFO 03 ok|XU3.10 GET_LEN 0c00 ok|XU3.10 SET_CUR $write ok|XU3.10 SET_CUR $read ok|XU3.10 GET_CUR $answer ok|"
  [ "$logged" = "$expected" ] || { fail $name "emulator saw '$logged', expected '$expected'"; return; }
  [ "${answer:22:2}" = "$(checksum "$answer")" ] || { fail $name "response $answer has a bad checksum"; return; }
  [ "${answer:14:8}" = 12345678 ] || { fail $name "register 0x120 read back as ${answer:14:8}, wrote 12345678"; return; }
  finish_check $name
}

# What the Linux backend's fake driver (tests/linux) claims of uvcvideo's errors, asked of the real one.
check_driver_errors() {
  local name=driver-errors bad= answer dir index metadata=
  [ -n "$video" ] || { fail $name "no camera"; return; }
  answer=$("$bin/velmora-xu-query" "$video" 9 10 get_len)
  [[ "$answer" == "error 2 "* ]] || bad+="unknown unit: '$answer', expected ENOENT; "
  answer=$("$bin/velmora-xu-query" "$video" 3 11 get_len)
  [[ "$answer" == "error 2 "* ]] || bad+="unknown selector: '$answer', expected ENOENT; "
  answer=$("$bin/velmora-xu-query" "$video" 3 10 get_cur 4)
  [[ "$answer" == "error 105 "* ]] || bad+="4 bytes of a 12-byte control: '$answer', expected ENOBUFS; "
  camera_node_names
  for dir in "${nodes[@]}"; do
    read -r index < "$dir/index"
    [ "$index" = 1 ] && metadata=/dev/${dir##*/}
  done
  answer=$("$bin/velmora-xu-query" "$metadata" 3 10 get_len)
  [[ "$answer" == "error 25 "* ]] || bad+="metadata node $metadata: '$answer', expected ENOTTY; "
  [ -z "$bad" ] || { fail $name "$bad"; return; }
  finish_check $name
}

# --- checks with velmoractl ---------------------------------------------------------------------

ctl=$build/tools/velmoractl
ctl_out=
ctl_err=
ctl_code=0
# Runs velmoractl on the native backend; output in $ctl_out, standard error in $ctl_err.
velmoractl() {
  ctl_out=$(VELMORA_BACKEND=native "$ctl" "$@" 2> /run/ctl.err)
  ctl_code=$?
  ctl_err=$(< /run/ctl.err)
}

have_ctl() {
  [ -x "$ctl" ] && return 0
  skip "$1" "velmoractl is not built in $build"
  return 1
}

# The log lines one register write of packet $2 makes on unit $1: size query, then the packet
# ($3 the control's length as GET_LEN answers it, $4 the zeros after the packet).
write_lines() { echo "XU$1.10 GET_LEN ${3:-0c00} ok|XU$1.10 SET_CUR $2${4:-} ok|"; }
# What the driver itself asks on the first query of unit $1's control after a plug: length and flags.
first_query_lines() { echo "XU$1.10 GET_LEN ${2:-0c00} ok|XU$1.10 GET_INFO 03 ok|"; }

check_list() {
  local name=velmoractl-list
  have_ctl $name || return
  velmoractl list
  [ $ctl_code -eq 0 ] || { fail $name "exit $ctl_code: $ctl_err"; return; }
  local label="$product    VID_ABCD&PID_EF01" lines
  lines=$(printf '%s\n' "$ctl_out" | grep -c .)
  # Only the capture node: uvcvideo's metadata node is no capture device.
  [ "$lines" -eq 1 ] || { fail $name "expected one device, got: $(echo "$ctl_out" | tr '\n' '|')"; return; }
  [ "$ctl_out" = "0  $label" ] || { fail $name "listed '$ctl_out', expected '0  $label'"; return; }
  finish_check $name
}

check_keys() {
  local name=velmoractl-keys key press release expected logged bad=
  have_ctl $name || return
  local -A codes=([live]=01 [normal]=02 [zoom-in]=03 [focus-in]=04 [menu]=05 [focus-out]=06 [zoom-out]=07
                  [ae]=08 [awb]=09 [lock1]=10 [lock2]=11 [lock3]=12)
  local -A releases=([zoom-in]=1 [focus-in]=1 [focus-out]=1 [zoom-out]=1 [lock1]=1 [lock2]=1 [lock3]=1)
  for key in live normal zoom-in zoom-out focus-in focus-out menu ae awb lock1 lock2 lock3; do
    log_mark
    velmoractl key "$key" click
    [ $ctl_code -eq 0 ] || { bad+="$key: exit $ctl_code $ctl_err; "; continue; }
    expected=$(write_lines 3 "$(packet 0x16 1 0 0x${codes[$key]})")
    [ -n "${releases[$key]:-}" ] && expected+=$(write_lines 3 "$(packet 0x16 1 0 0x16)")
    logged=$(log_since | tr '\n' '|')
    [ "$logged" = "$expected" ] || bad+="$key: saw '$logged', expected '$expected'; "
  done
  [ -z "$bad" ] || { fail $name "$bad"; return; }
  finish_check $name
}

check_register_read() {
  local name=velmoractl-read logged expected
  have_ctl $name || return
  log_mark
  velmoractl read 0x100
  [ $ctl_code -eq 0 ] || { fail $name "exit $ctl_code: $ctl_err"; return; }
  [ "$ctl_out" = "register 0x00000100 = 0x0000BEEF (48879)" ] || { fail $name "printed '$ctl_out'"; return; }
  local response
  response=$(packet 0x80 0x100 0 0xBEEF)
  expected="$(write_lines 3 "$(packet 0x80 0x100 0 0)")XU3.10 GET_LEN 0c00 ok|XU3.10 GET_CUR $response ok|"
  logged=$(log_since | tr '\n' '|')
  [ "$logged" = "$expected" ] || { fail $name "emulator saw '$logged', expected '$expected'"; return; }
  finish_check $name
}

# The camera terminal's zoom (absolute) as V4L2's zoom control, through the driver's own mapping.
check_zoom() {
  local name=velmoractl-zoom logged
  have_ctl $name || return
  log_mark
  velmoractl zoom
  [ $ctl_code -eq 0 ] || { fail $name "exit $ctl_code: $ctl_err"; return; }
  [ "$ctl_out" = "zoom 100 (minimum 100, maximum 500, step 1)" ] || { fail $name "printed '$ctl_out'"; return; }
  logged=$(log_since | grep -c '^CT1.11 ')
  [ "$logged" -gt 0 ] || { fail $name "the camera terminal was never asked"; return; }
  finish_check $name
}

check_status_reads() {
  local name=velmoractl-status i address expected= logged value bad=
  have_ctl $name || return
  log_mark
  velmoractl status
  [ $ctl_code -eq 0 ] || { fail $name "exit $ctl_code: $ctl_err"; return; }
  for ((i = 0; i < 24; i++)); do
    address=$((376 + i))
    value=$(printf '0x%08X' $((0xC0DE0000 + address)))
    expected+="$(write_lines 3 "$(packet 0x80 $address 1 0)")XU3.10 GET_LEN 0c00 ok|XU3.10 GET_CUR $(packet 0x80 $address 1 $value) ok|"
    grep -qF "$(printf '0x%08X (%d) = %s' $address $address "$value")" <<< "$ctl_out" || bad+="register $address not printed as $value; "
  done
  logged=$(log_since | tr '\n' '|')
  [ "$logged" = "$expected" ] || bad+="emulator saw '$logged'"
  [ -z "$bad" ] || { fail $name "$bad"; return; }
  finish_check $name
}

check_string_round_trip() {
  local name=velmoractl-string text="e2e text 42"
  have_ctl $name || return
  velmoractl read-string
  [ $ctl_code -eq 0 ] && [ "$ctl_out" = Velmora ] || { fail $name "preset text read as '$ctl_out' (exit $ctl_code $ctl_err)"; return; }
  log_mark
  velmoractl write-string "$text"
  [ $ctl_code -eq 0 ] || { fail $name "write-string: exit $ctl_code $ctl_err"; return; }
  local last
  last=$(log_since | tail -1)
  [ "$last" = "XU3.10 SET_CUR $(packet 0x20 230 0 ${#text}) ok" ] || { fail $name "the end write was '$last'"; return; }
  velmoractl read-string
  [ $ctl_code -eq 0 ] && [ "$ctl_out" = "$text" ] || { fail $name "read back '$ctl_out' (exit $ctl_code $ctl_err)"; return; }
  finish_check $name
}

# $1 check name, $2 UVC request error code, $3 expected exit status, $4 text stderr must not hold
check_stalled_write() {
  local name=$1 code=$2 want=$3 refused=$4 logged
  have_ctl $name || return
  control "stall-write $code"
  log_mark
  velmoractl write 0x120 7
  note "$name: exit $ctl_code: $ctl_err"
  logged=$(log_since | tr '\n' '|')
  case "$logged" in
    *"XU3.10 SET_CUR (fault) $(packet 0 0x120 0 7) STALL|VC.2 GET_CUR $(printf %02x "$code") ok|"*) ;;
    *) fail $name "the emulator did not stall the write and answer the error code: '$logged'"; return ;;
  esac
  [ $ctl_code -eq "$want" ] || { fail $name "exit $ctl_code (expected $want): $ctl_err"; return; }
  [ -n "$ctl_err" ] || { fail $name "nothing said on standard error"; return; }
  if [ -n "$refused" ] && grep -qiF "$refused" <<< "$ctl_err"; then
    fail $name "a request the camera refused is reported as '$ctl_err'"; return
  fi
  # The driver reports the stalled request in the kernel log: that line is this check's own.
  finish_check $name 'Failed to query \(SET_CUR\) UVC control 10 on unit 3'
}

check_bad_checksum() {
  local name=velmoractl-bad-checksum
  have_ctl $name || return
  control bad-checksum
  velmoractl read 0x100
  [ $ctl_code -eq 8 ] || { fail $name "exit $ctl_code (expected 8, checksum mismatch): $ctl_out $ctl_err"; return; }
  velmoractl read 0x100
  [ $ctl_code -eq 0 ] || { fail $name "the read after it failed: $ctl_err"; return; }
  finish_check $name
}

check_cfg_guid() {
  local name=cfg-ini-guid logged dir=/tmp/cfg-run
  have_ctl $name || return
  stop_camera
  start_camera cfg --xu "$default_guid,3,12" --xu "$other_guid,6,12" || { fail $name "no camera"; return; }
  mkdir -p "$dir/CfgFile"
  printf '[UvcExten]\nExId=6\nGuid={%s}\n' "$other_guid" > "$dir/CfgFile/Cfg.ini"
  log_mark
  cd "$dir" && velmoractl key menu click
  cd /
  logged=$(log_since | tr '\n' '|')
  [ "$logged" = "$(first_query_lines 6)$(write_lines 6 "$(packet 0x16 1 0 5)")" ] ||
    { fail $name "with Cfg.ini the emulator saw '$logged'"; return; }
  log_mark
  velmoractl key menu click
  logged=$(log_since | tr '\n' '|')
  [ "$logged" = "$(first_query_lines 3)$(write_lines 3 "$(packet 0x16 1 0 5)")" ] ||
    { fail $name "without Cfg.ini the emulator saw '$logged'"; return; }
  finish_check $name
}

check_control_length_64() {
  local name=control-length-64 logged zeros
  have_ctl $name || return
  stop_camera
  start_camera wide --xu "$default_guid,3,64" || { fail $name "no camera"; return; }
  printf -v zeros '%0104d' 0
  log_mark
  velmoractl key menu click
  logged=$(log_since | tr '\n' '|')
  [ "$logged" = "$(first_query_lines 3 4000)$(write_lines 3 "$(packet 0x16 1 0 5)" 4000 "$zeros")" ] ||
    { fail $name "a key sent '$logged'"; return; }
  velmoractl read 0x100
  [ "$ctl_out" = "register 0x00000100 = 0x0000BEEF (48879)" ] || { fail $name "read printed '$ctl_out' $ctl_err"; return; }
  finish_check $name
}

# velmoractl macro on the real driver: a click, a nudge and a click reach the camera in order, the
# nudge's release 300 to 330 ms after its press by the emulator's own clock (--log-time).
check_macro() {
  local name=velmoractl-macro logged expected data held macros=/run/velmora-macros.txt
  have_ctl $name || return
  stop_camera
  start_camera macro --log-time || { fail $name "no camera"; return; }
  printf '[shot]\nclick menu\nnudge zoom-in 300\nclick ae\n' > "$macros"
  log_mark
  velmoractl --macros "$macros" macro shot
  [ $ctl_code -eq 0 ] || { fail $name "exit $ctl_code: $ctl_err"; return; }
  logged=$(log_since | grep ' SET_CUR ' | sed 's/ t=[0-9.]*$//' | tr '\n' '|')
  expected=
  for data in 5 3 0x16 8; do expected+="XU3.10 SET_CUR $(packet 0x16 1 0 $data) ok|"; done
  [ "$logged" = "$expected" ] || { fail $name "the camera saw '$logged', expected '$expected'"; return; }
  held=$(log_since | grep ' SET_CUR ' |
    awk 'NR == 2 { pressed = substr($NF, 3) } NR == 3 { printf "%.1f", (substr($NF, 3) - pressed) * 1000 }')
  note "$name: the nudge's release reached the camera $held ms after its press"
  awk -v held="$held" 'BEGIN { exit !(held >= 300 && held <= 330) }' ||
    { fail $name "the release came $held ms after the press, not 300 to 330"; return; }
  finish_check $name
}

# --- a camera pulled in the middle of a transfer ------------------------------------------------

# The extension-unit requests and unplugs logged since log_mark.
log_with_unplugs() { tail -n +$((mark + 1)) "$camera_log" | grep -E '^(XU|CT|VC|VS|UNPLUG)'; }
unplugged_by_fault() { grep -q '^UNPLUG (fault)' "$camera_log"; }
# What the kernel says when a device goes in the middle of a request: the driver's next request
# fails with ESHUTDOWN, and vhci sees the camera's socket close under a request: reset while it
# reads, EPIPE (-32) while it writes one (48 header bytes, then an OUT transfer's data).
pulled='Failed to query \(.*\) UVC control 10 on unit 3: -108 |vhci_hcd: connection reset by peer|vhci_hcd: sendmsg failed!, ret=-32 for [0-9]+$'

# A write to a 4-byte control goes in 3 pieces; the camera goes after the first.
check_pulled_mid_write() {
  local name=velmoractl-pulled-mid-write logged expected
  have_ctl $name || return
  stop_camera
  start_camera narrow --xu "$default_guid,3,4" || { fail $name "no camera"; return; }
  control "unplug-after-write 1"
  log_mark
  velmoractl write 0x120 7
  note "$name: exit $ctl_code: $ctl_err"
  wait_for 10 no_camera_node || { fail $name "the camera's nodes did not go"; return; }
  logged=$(log_with_unplugs | tr '\n' '|')
  expected="$(first_query_lines 3 0400)XU3.10 GET_LEN 0400 ok|XU3.10 SET_CUR 26000000 ok|UNPLUG (fault)|"
  [ "$logged" = "$expected" ] || { fail $name "emulator saw '$logged', expected '$expected'"; return; }
  [ $ctl_code -eq 4 ] || { fail $name "exit $ctl_code (expected 4, device vanished): $ctl_err"; return; }
  grep -q 'no longer connected' <<< "$ctl_err" || { fail $name "standard error says '$ctl_err'"; return; }
  finish_check $name "$pulled"
}

# The 24 status reads of velmoractl status over a 4-byte control (3 reads of 4 bytes each); the
# camera goes after the 10th GET_CUR, in the middle of the 4th register.
check_pulled_mid_status() {
  local name=velmoractl-pulled-mid-status logged reads
  have_ctl $name || return
  control plug
  wait_for 20 has_capture_node || { fail $name "the camera did not come back"; return; }
  video=$(capture_node)
  wait_for 5 test -c "$video"
  control "unplug-after-read 10"
  log_mark
  velmoractl status
  note "$name: exit $ctl_code: $(tail -3 <<< "$ctl_out" | tr '\n' '|') $ctl_err"
  wait_for 10 no_camera_node || { fail $name "the camera's nodes did not go"; return; }
  logged=$(log_with_unplugs)
  reads=$(grep -c 'GET_CUR' <<< "$logged")
  [ "$reads" -eq 10 ] && [ "$(tail -1 <<< "$logged")" = "UNPLUG (fault)" ] ||
    { fail $name "emulator saw $reads GET_CUR, ending '$(tail -2 <<< "$logged" | tr '\n' '|')'"; return; }
  [ $ctl_code -eq 4 ] || { fail $name "exit $ctl_code (expected 4, device vanished): $ctl_err"; return; }
  grep -q '^0x00000178 (376) = ' <<< "$ctl_out" || { fail $name "the reads before the pull are not printed: '$ctl_out'"; return; }
  finish_check $name "$pulled"
}

# The window starts on a plugged camera that goes after 10 of the 24 status reads: it lives on,
# lists nothing, sends nothing more, and takes the camera again when it comes back.
check_window_pulled_mid_status() {
  local name=window-pulled-mid-status file=$out/window-pulled-mid-status.txt result= after
  local one="1|$product    VID_ABCD&PID_EF01"
  if [ ! -x "$probe" ]; then skip $name "velmora-window-probe is not built in $build"; return; fi
  stop_camera
  start_camera_unplugged "$name"
  QT_QPA_PLATFORM=offscreen VELMORA_BACKEND=native "$probe" 300 > "$file" 2> "$out/$name.debug.txt" &
  local probe_pid=$!
  if ! wait_for 60 probe_shows "$file" 0; then
    result="the window did not start with an empty list: $(probe_list "$file")"
  else
    log_mark
    control "unplug-after-read 10"
    control plug
    if ! wait_for 60 unplugged_by_fault; then
      result="the window made no 10 status reads: '$(log_since | tail -3 | tr '\n' '|')'"
    elif ! wait_for 30 probe_shows "$file" 0; then
      result="after the pull the list is '$(probe_list "$file")'"
    else
      # Give a stray request time to show, then look after the pull.
      nap 2
      after=$(log_with_unplugs | sed -n '/^UNPLUG (fault)/,$p' | tail -n +2 | tr '\n' '|')
      [ -z "$after" ] || result+="after the pull the camera saw '$after'; "
      kill -0 "$probe_pid" 2>/dev/null || result+="the window died; "
      log_mark
      control plug
      if ! wait_for 30 probe_shows "$file" "$one"; then
        result+="after plugging again the list is '$(probe_list "$file")'"
      else
        wait_for 20 status_reads_done
        after=$(log_since | grep -c "SET_CUR 268000000...01")
        [ "$after" -eq 24 ] || result+="after plugging again the window made $after status reads, not 24"
      fi
    fi
  fi
  kill -0 "$probe_pid" 2>/dev/null || result+=" the window is not running at the end"
  kill "$probe_pid" 2>/dev/null; wait "$probe_pid" 2>/dev/null
  [ -z "$result" ] || { fail $name "$result"; return; }
  finish_check $name "$pulled"
}

# --- velmoractl serve: the keys over HTTP, from curl on loopback ----------------------------------

serve_pid=
serve_port=
http_code=
http_body=
# Starts velmoractl serve on the native backend (its options as arguments) and reads its port.
start_serve() {
  local err=$out/serve.err
  ip link set lo up 2> /dev/null || busybox ip link set lo up
  VELMORA_BACKEND=native "$ctl" serve --http 127.0.0.1:0 "$@" 2> "$err" &
  serve_pid=$!
  wait_for 60 grep -q '/v1/ on' "$err" || return 1
  serve_port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/v1/.*|\1|p' "$err")
}
# POSTs a key action (menu/click); the answer in $http_code and $http_body.
serve_key() {
  http_body=$(curl -s -m 30 -w '\n%{http_code}' -X POST -H 'Content-Type: application/json' -d '{}' \
    "http://127.0.0.1:$serve_port/v1/keys/$1")
  http_code=${http_body##*$'\n'}
  http_body=${http_body%$'\n'*}
}
serve_clicks_menu() { serve_key menu/click; [ "$http_code" = 200 ]; }
logged_since() { log_since | grep -q "$1"; }

# serve on the camera by its id: a click sends the MENU packet; a zoom-in press left held is
# released by the hold limit; pulled, the camera answers 410 device-gone; plugged again (same id),
# it is served again; SIGTERM ends serve with 0.
check_serve() {
  local name=serve-click menu zoom release id started held
  have_ctl $name || return
  stop_camera
  start_camera serve || { fail $name "no camera"; return; }
  velmoractl --json list
  id=$(sed -n 's/.*"id": *"\([0-9a-f-]*\)".*/\1/p' <<< "$ctl_out" | head -1)
  [ -n "$id" ] || { fail $name "list --json gives no id: $ctl_out"; return; }
  if ! start_serve --device "$id" --hold-limit 3; then
    fail $name "serve did not start: $(tr '\n' '|' < "$out/serve.err")"; kill "$serve_pid" 2> /dev/null; return
  fi
  note "serve on port $serve_port, device $id"
  menu=$(packet 0x16 1 0 0x05)
  zoom=$(packet 0x16 1 0 0x03)
  release=$(packet 0x16 1 0 0x16)

  log_mark
  serve_key menu/click
  if [ "$http_code" != 200 ] || [[ $http_body != *'"packet":"26 16 00 00 00 01 00 00 00 00 05 BD"'* ]]; then
    fail $name "HTTP $http_code: $http_body"
  elif ! wait_for 10 logged_since "SET_CUR $menu ok"; then
    fail $name "the camera saw '$(log_since | tr '\n' '|')', not $menu"
  else
    finish_check $name
  fi

  name=serve-hold-limit
  log_mark
  started=$SECONDS
  serve_key zoom-in/press
  if [ "$http_code" != 200 ] || ! wait_for 10 logged_since "SET_CUR $zoom ok"; then
    fail $name "the press: HTTP $http_code, the camera saw '$(log_since | tr '\n' '|')'"
  elif ! wait_for 30 logged_since "SET_CUR $release ok"; then
    fail $name "no release within 30 s: the camera saw '$(log_since | tr '\n' '|')'"
  else
    held=$((SECONDS - started))
    note "$name: released after about $held s (limit 3 s)"
    if [ "$held" -lt 2 ] || [ "$(log_since | grep -c SET_CUR)" -ne 2 ]; then
      fail $name "released after $held s: '$(log_since | tr '\n' '|')'"
    else
      finish_check $name
    fi
  fi

  name=serve-device-gone
  log_mark
  control unplug
  if ! wait_for 30 no_camera_node; then
    fail $name "the camera's nodes did not go"
  else
    serve_key menu/click
    if [ "$http_code" != 410 ] || [[ $http_body != *'"cause":"device-gone"'* ]]; then
      fail $name "pulled: HTTP $http_code: $http_body"
    else
      note "$name: pulled: HTTP 410 $http_body"
      control plug
      if ! wait_for 30 has_capture_node || ! wait_for 60 serve_clicks_menu; then
        fail $name "plugged again: HTTP $http_code: $http_body"
      elif ! wait_for 10 logged_since "SET_CUR $menu ok"; then
        fail $name "plugged again, the camera saw '$(log_since | tr '\n' '|')'"
      else
        finish_check $name "$pulled"
      fi
    fi
  fi

  kill -TERM "$serve_pid"
  wait "$serve_pid"
  local code=$?
  [ $code -eq 0 ] || fail serve-stops "SIGTERM: exit $code: $(tail -3 "$out/serve.err" | tr '\n' '|')"
  video=$(capture_node)
}

# --- velmoractl serve: a leased hold over the WebSocket, left to run out ---------------------------

# A zoom-in pressed over /v1/events under a lease that is never renewed: serve releases it itself
# about a second later and says so (lease-expired); the camera sees the press, then the release.
check_serve_lease() {
  local name=serve-websocket-lease client=$build/tests/e2e/velmora-ws-lease zoom release answer code writes
  have_ctl $name || return
  [ -x "$client" ] || { skip $name "velmora-ws-lease is not built in $build"; return; }
  stop_camera
  start_camera lease || { fail $name "no camera"; return; }
  if ! start_serve; then
    fail $name "serve did not start: $(tr '\n' '|' < "$out/serve.err")"; kill "$serve_pid" 2> /dev/null; return
  fi
  zoom=$(packet 0x16 1 0 0x03)
  release=$(packet 0x16 1 0 0x16)
  log_mark
  answer=$(timeout 30 "$client" "$serve_port" zoom-in 10 2>&1)
  code=$?
  wait_for 10 logged_since "SET_CUR $release ok"
  writes=$(log_since | grep SET_CUR | tr '\n' '|')
  if [ $code -ne 0 ]; then
    fail $name "no release for the lease: $(tr '\n' '|' <<< "$answer")"
  elif [[ $writes != *"SET_CUR $zoom ok"*"|"*"SET_CUR $release ok"* ]] || [ "$(log_since | grep -c SET_CUR)" -ne 2 ]; then
    fail $name "the camera saw '$writes'"
  else
    note "$name: $(tail -1 <<< "$answer" | cut -c1-160)"
    finish_check $name
  fi
  kill -TERM "$serve_pid"
  wait "$serve_pid"
}

# --- velmoractl serve --visca: VISCA over IP, from bash's /dev/udp on loopback ---------------------

visca_fd=
visca_replies=
# Sends the datagram $1 (hexadecimal) and reads $2 replies into $visca_replies, hexadecimal, each
# followed by '|'.
visca_send() {
  local bytes= i
  for ((i = 0; i < ${#1}; i += 2)); do bytes+="\\x${1:i:2}"; done
  printf "$bytes" >&"$visca_fd"
  visca_replies=
  for ((i = 0; i < $2; i++)); do
    visca_replies+="$(timeout 10 dd bs=64 count=1 <&"$visca_fd" 2> /dev/null | od -An -tx1 | tr -d ' \n')|"
  done
}
# The replies to the header-framed request with sequence number $1: ACK and Completion.
visca_done() { printf '011100030000%04x9041ff|011100030000%04x9051ff|' "$1" "$1"; }
key_writes_since() { log_since | grep SET_CUR | tr '\n' '|'; }

# serve --visca alone (no HTTP) on a camera whose zoom starts at 233: a zoom tele then its stop in
# the header framing make the camera log the zoom-in press and its release; a menu command its MENU
# packet; a zoom position inquiry answers the zoom scaled from the range velmoractl zoom reads into
# 0000 to 4000; SIGTERM ends serve with 0 and no key held.
check_serve_visca() {
  local name=serve-visca-zoom err=$out/serve-visca.err zoom release menu expected answered port range scaled
  have_ctl $name || return
  stop_camera
  start_camera visca --zoom 233 || { fail $name "no camera"; return; }
  velmoractl zoom
  if [[ ! $ctl_out =~ ^zoom\ ([0-9]+)\ \(minimum\ ([0-9]+),\ maximum\ ([0-9]+), ]]; then
    fail $name "velmoractl zoom printed '$ctl_out' $ctl_err"; return
  fi
  range=("${BASH_REMATCH[@]:1}")
  ip link set lo up 2> /dev/null || busybox ip link set lo up
  VELMORA_BACKEND=native "$ctl" serve --visca 127.0.0.1:0 2> "$err" &
  serve_pid=$!
  if ! wait_for 60 grep -q '(VISCA) on' "$err"; then
    fail $name "serve did not start: $(tr '\n' '|' < "$err")"; kill "$serve_pid" 2> /dev/null; return
  fi
  port=$(sed -n 's|.*udp 127.0.0.1:\([0-9]*\) (VISCA).*|\1|p' "$err")
  note "serve --visca on udp port $port; the camera's zoom ${range[0]} in ${range[1]}..${range[2]}"
  exec {visca_fd}<> "/dev/udp/127.0.0.1/$port"
  zoom=$(packet 0x16 1 0 0x03)
  release=$(packet 0x16 1 0 0x16)
  menu=$(packet 0x16 1 0 0x05)

  log_mark
  visca_send 01000006000000018101040702ff 2
  answered=$visca_replies
  visca_send 01000006000000028101040700ff 2
  answered+=$visca_replies
  expected=$(visca_done 1)$(visca_done 2)
  if [ "$answered" != "$expected" ]; then
    fail $name "zoom tele and stop answered '$answered', expected '$expected'"
  elif ! wait_for 10 logged_since "SET_CUR $release ok" ||
       [ "$(key_writes_since)" != "XU3.10 SET_CUR $zoom ok|XU3.10 SET_CUR $release ok|" ]; then
    fail $name "the camera saw '$(log_since | tr '\n' '|')'"
  else
    note "$name: the camera logged '$(key_writes_since)'"
    finish_check $name
  fi

  name=serve-visca-menu
  log_mark
  visca_send 01000006000000038101060602ff 2
  if [ "$visca_replies" != "$(visca_done 3)" ]; then
    fail $name "menu on answered '$visca_replies'"
  elif ! wait_for 10 logged_since "SET_CUR $menu ok" || [ "$(key_writes_since)" != "XU3.10 SET_CUR $menu ok|" ]; then
    fail $name "the camera saw '$(log_since | tr '\n' '|')'"
  else
    note "$name: the camera logged '$(key_writes_since)'"
    finish_check $name
  fi

  name=serve-visca-zoom-position
  # (value - minimum) / (maximum - minimum) of 0x4000, rounded; one nibble a byte.
  scaled=$(( ((range[0] - range[1]) * 0x4000 * 2 + range[2] - range[1]) / (2 * (range[2] - range[1])) ))
  printf -v expected '01110007000000049050%02x%02x%02x%02xff|' $((scaled >> 12 & 15)) $((scaled >> 8 & 15)) \
    $((scaled >> 4 & 15)) $((scaled & 15))
  visca_send 011000050000000481090447ff 1
  if [ "$visca_replies" != "$expected" ]; then
    fail $name "answered '$visca_replies', expected '$expected' ($(printf '0x%04X' $scaled))"
  else
    note "$name: answered '$visca_replies': $(printf '0x%04X' $scaled) for zoom ${range[0]} in ${range[1]}..${range[2]}"
    finish_check $name
  fi

  exec {visca_fd}>&-
  kill -TERM "$serve_pid"
  wait "$serve_pid"
  local code=$?
  [ $code -eq 0 ] && grep -q 'stopped; 0 held key(s) released' "$err" ||
    fail serve-visca-stops "SIGTERM: exit $code: $(tail -3 "$err" | tr '\n' '|')"
  tail -2 "$err" | sed 's/^/    /'
  video=$(capture_node)
}

# --- the window, following plug and unplug -----------------------------------------------------

probe=$build/tests/e2e/velmora-window-probe
# The last list the window probe printed, as "count|item|item...".
probe_list() {
  local line list= count=-1
  local -a lines
  mapfile -t lines < "$1"
  for line in "${lines[@]}"; do
    case "$line" in
      "LIST "*) count=${line#LIST }; list= ;;
      "ITEM "*) list+="|${line#ITEM }" ;;
    esac
  done
  echo "$count$list"
}
probe_shows() { [ "$(probe_list "$1")" = "$2" ]; }

# $1 check name, $2 what delivers the events (kernel or udevd)
check_window_follows() {
  local name=$1 file=$out/$1.txt one="1|$product    VID_ABCD&PID_EF01" status_reads removed
  if [ ! -x "$probe" ]; then skip $name "velmora-window-probe is not built in $build"; return; fi
  stop_camera
  start_camera_unplugged "$name"
  QT_QPA_PLATFORM=offscreen VELMORA_BACKEND=native "$probe" 300 > "$file" 2> "$out/$name.debug.txt" &
  local probe_pid=$!
  local result=
  if ! wait_for 60 probe_shows "$file" 0; then
    result="the window did not start with an empty list: $(probe_list "$file")"
  else
    log_mark
    control plug
    if ! wait_for 30 probe_shows "$file" "$one"; then
      result="after plugging the list is '$(probe_list "$file")'"
    else
      # The window reads the 24 status registers of the new device after the refresh.
      wait_for 20 status_reads_done
      status_reads=$(log_since | grep -c "SET_CUR 268000000...01")
      [ "$status_reads" -eq 24 ] || result="after plugging the window made $status_reads status reads, not 24"
      control unplug
      if ! wait_for 30 probe_shows "$file" 0; then
        result+="after unplugging the list is '$(probe_list "$file")'"
      else
        # The removal names the camera, not an ancestor still in sysfs (the root hub).
        removed=$(grep -A1 -x '设备移除' "$out/$name.debug.txt" | sed -n 2p)
        grep -qi 'vid_abcd&pid_ef01' <<< "$removed" || result+="the removal named '$removed'; "
        control plug
        wait_for 30 probe_shows "$file" "$one" || result+="after plugging again the list is '$(probe_list "$file")'"
      fi
    fi
  fi
  kill "$probe_pid" 2>/dev/null; wait "$probe_pid" 2>/dev/null
  [ -z "$result" ] || { fail $name "$result"; return; }
  finish_check $name
}
status_reads_done() { [ "$(log_since | grep -c 'SET_CUR 268000000...01')" -ge 24 ]; }

start_camera_unplugged() {
  camera_log=$out/usbcam-$1.log
  rm -f "$fifo"
  "$bin/velmora-usbcam" --log "$camera_log" --control "$fifo" --product "$product" --unplugged &
  camera_pid=$!
  wait_for 5 test -p "$fifo"
  : >> "$camera_log"
}

start_udevd() {
  local daemon
  for daemon in /lib/systemd/systemd-udevd /usr/lib/systemd/systemd-udevd; do
    [ -x "$daemon" ] && break
  done
  [ -x "$daemon" ] || return 1
  "$daemon" --daemon || return 1
  udevadm settle --timeout=30
}

# --- the installed package: velmoractl from the .deb, as an ordinary user -------------------------

# The package's files (dpkg-deb -x by run-e2e.sh from VELMORA_E2E_DEB), or nothing.
package=${VELMORA_E2E_PACKAGE:-}
package_user=velmora-e2e
# The packaged program where that user can reach it: the build tree may sit under a folder only
# its owner may enter (mktemp -d makes one).
packaged_ctl=/run/velmora-package/velmoractl

# Runs the packaged velmoractl as $package_user with the groups a fresh login gets.
packaged_velmoractl() {
  ctl_out=$(cd /tmp && setpriv --reuid="$package_user" --regid=users --init-groups \
    env -i PATH=/usr/bin:/bin HOME=/tmp LANG=C.UTF-8 "$packaged_ctl" "$@" 2> /run/ctl.err)
  ctl_code=$?
  ctl_err=$(< /run/ctl.err)
}

node_owner_is() { [ "$(stat -c '%G %a' "$video")" = "$1" ]; }

# Not in the video group: refused, with the fix named; after that fix (the group, then a new
# login) the MENU packet reaches the camera. Needs udevd, whose rules give the node to video.
check_package_permission() {
  local name=package-permission menu logged
  if [ -z "$package" ]; then skip $name "no package (set VELMORA_E2E_DEB)"; return; fi
  [ -x "$package/usr/bin/velmoractl" ] || { fail $name "$package/usr/bin/velmoractl is missing"; return; }
  mkdir -p "${packaged_ctl%/*}" && install -m 755 "$package/usr/bin/velmoractl" "$packaged_ctl" ||
    { fail $name "cannot copy the packaged velmoractl to $packaged_ctl"; return; }
  udevadm control --ping 2> /dev/null || { fail $name "systemd-udevd is not running"; return; }
  stop_camera
  start_camera package || { fail $name "no camera"; return; }
  # udevd applies its rules a moment after the node appears; settle can return before it has
  # even read the event.
  wait_for 30 node_owner_is "video 660"
  local owner
  owner=$(stat -c '%G %a' "$video")
  [ "$owner" = "video 660" ] || { fail $name "$video is '$owner', expected group video, mode 660"; return; }
  id "$package_user" > /dev/null 2>&1 || useradd -M -N -g users -s /bin/bash "$package_user" ||
    { fail $name "cannot add the user $package_user"; return; }
  log_mark
  packaged_velmoractl key menu
  [ $ctl_code -eq 5 ] || { fail $name "without the group: exit $ctl_code, expected 5: $ctl_err"; return; }
  [[ $ctl_err == *"permission denied: join the 'video' group (then log in again)"* ]] ||
    { fail $name "without the group: '$ctl_err'"; return; }
  logged=$(log_since | tr '\n' '|')
  [ -z "$logged" ] || { fail $name "refused, yet the camera saw '$logged'"; return; }
  note "refused as it should be: $ctl_err"
  usermod -aG video "$package_user" || { fail $name "usermod -aG video failed"; return; }
  packaged_velmoractl key menu
  [ $ctl_code -eq 0 ] || { fail $name "in the group: exit $ctl_code: $ctl_err"; return; }
  menu=$(packet 0x16 1 0 0x05)
  logged=$(log_since | tr '\n' '|')
  [[ $logged == *"XU3.10 GET_LEN 0c00 ok|XU3.10 SET_CUR $menu ok|" ]] ||
    { fail $name "in the group the camera saw '$logged', expected the size query and $menu"; return; }
  finish_check $name
}

# --- the Windows programs under wine64, on wine's DirectShow over the same camera ---------------

# wine.env (from run-e2e.sh): windows_build and the wine environment (a prefix made on the host),
# or wine_skip saying why these checks cannot run.
source "$bin/wine.env"
source "$VELMORA_ROOT/scripts/wine-stage.sh"
wine_out=

# Runs a program of the Windows build under wine64; its output and wine's trace of the device
# enumerator and the capture filter (object references, property reads), without carriage
# returns, go to $out/$1.txt.
wine_run() {
  local name=$1; shift
  wine_out=$out/$name.txt
  # A file, not a pipe: a helper wine starts may hold its output open past the program's end.
  (cd /tmp && WINEDEBUG=-all,trace+devenum,trace+quartz timeout 120 "$wine64" "$@" > "$wine_out.raw" 2>&1)
  wine_code=$?
  tr -d '\r' < "$wine_out.raw" > "$wine_out" && rm "$wine_out.raw"
}

# Adds to $bad each of wine's objects (monikers, their enumerator, filters) of the last run whose
# last reference count, by its address, is not 0.
check_references() {
  local kept
  kept=$(sed -n 's/.*:\(devenum\|quartz\):\([A-Za-z_]*\)\(AddRef\|Release\) \([0-9A-F]*\) [a-z]* refcount to \([0-9]*\)\./\4 \2 \5/p' \
    "$wine_out" | awk '{last[$1] = $2 $3} END {for (o in last) if (last[o] !~ /_0$/) print o, last[o]}')
  [ -z "$kept" ] || bad+="$1: references kept: $(tr '\n' ' ' <<< "$kept"); "
}

# Adds to $bad what the last run shows wrong of the camera wine offered: not registered under
# its node's name, its "DevicePath" never asked for, bound to a filter, or a reference kept.
check_camera_skipped() {
  grep -qF "name L\"FriendlyName\", var " "$wine_out" && grep -qF "{VT_BSTR: L\"$windows_label\"}" "$wine_out" ||
    bad+="$1: wine did not offer '$windows_label'; "
  grep -q 'property_bag_Read moniker .*, name L"DevicePath"' "$wine_out" || bad+="$1: no DevicePath read; "
  ! grep -q 'moniker_BindToObject' "$wine_out" || bad+="$1: a device without DevicePath was bound; "
  check_references "$1"
}

# wine 8.0's DirectShow gives its capture devices no "DevicePath" (later wine writes
# "dummy_videoN"), and a device whose DevicePath cannot be read is no device of the window's:
# velmoractl.exe finds none, and a key and the zoom query end as no-device.
check_windows_velmoractl() {
  local name=windows-velmoractl bad= run
  wine_run windows-list "$windows_build/tools/velmoractl.exe" list
  note "$name: list: exit $wine_code: $(grep -v -e ':\(devenum\|quartz\):' -e '^[[:space:]]' "$wine_out" | tr '\n' '|')"
  [ $wine_code -eq 0 ] && grep -qx 'no capture device' "$wine_out" || bad+="list: exit $wine_code, not 'no capture device'; "
  check_camera_skipped list
  for run in "key menu" zoom; do
    wine_run "windows-${run%% *}" "$windows_build/tools/velmoractl.exe" --json $run
    note "$name: $run: exit $wine_code: $(grep -E '"cause"|velmoractl:' "$wine_out" | tr -s ' \n' ' ')"
    [ $wine_code -eq 3 ] && grep -q '"cause": "no-device"' "$wine_out" || bad+="$run: exit $wine_code, not 3 (no-device); "
    check_camera_skipped "$run"
  done
  [ -z "$bad" ] || { fail $name "$bad"; return; }
  finish_check $name
}

# The window (the probe) agrees: an empty list, device notifications registered, a MENU click
# runs both slots, and the window ends cleanly. Qt's windows platform on wine's null display
# driver, not offscreen: the window leaves COM to the windows platform, and without COM the
# enumeration never starts.
check_windows_window() {
  local name=windows-window debug=$out/windows-window.debug.txt bad=
  : > "$debug"
  VELMORA_BACKEND=native VELMORA_TRACE_SLOTS=1 VELMORA_DEBUG_LOG="$(winpath "$debug")" \
    wine_run "$name" "$windows_build/tests/e2e/velmora-window-probe.exe" 5 MENUButton
  note "$name: exit $wine_code: $(grep -E '^(LIST|ITEM|CLICKED)' "$wine_out" | tr '\n' '|') debug: $(grep -v QPixmap "$debug" | tr '\n' '|')"
  [ $wine_code -eq 0 ] || bad+="exit $wine_code; "
  [ "$(probe_list "$wine_out")" = 0 ] || bad+="listed '$(probe_list "$wine_out")'; "
  grep -qx 'CLICKED MENUButton' "$wine_out" || bad+="no click; "
  grep -q 'slot on_MENUButton_pressed' "$debug" && grep -q 'slot on_MENUButton_released' "$debug" ||
    bad+="the debug log lacks a MENU slot; "
  ! grep -q '注册失败' "$debug" || bad+="device notifications not registered; "
  check_camera_skipped window
  [ -z "$bad" ] || { fail $name "$bad"; return; }
  finish_check $name
}

# The adapters under the programs, on the camera they pass over: its filter binds, the zoom and a
# status read are refused by it (E_NOINTERFACE: wine's filter has neither IAMCameraControl nor
# IKsControl), and every reference to it is given back.
check_windows_filter() {
  local name=windows-filter bad= filter
  wine_run "$name" "$windows_build/tests/e2e/velmora-dshow-probe.exe"
  filter=$(sed -n 's/.*Created VFW capture filter \([0-9A-F]*\)\./\1/p' "$wine_out")
  note "$name: exit $wine_code: $(grep '^DEVICE' "$wine_out"); filter ${filter:-none}:" \
    "$(grep -c "filter_inner_AddRef $filter " "$wine_out") AddRef, $(grep -c "filter_inner_Release $filter " "$wine_out")" \
    "Release, the last $(grep -E "filter_inner_(AddRef|Release) $filter " "$wine_out" | tail -1 | sed 's/.* refcount/refcount/')"
  [ $wine_code -eq 0 ] && [ "$(grep '^DEVICE' "$wine_out")" = "DEVICE 0 bind S_OK zoom E_NOINTERFACE read E_NOINTERFACE" ] ||
    bad+="exit $wine_code: '$(grep '^DEVICE' "$wine_out" | tr '\n' '|')'; "
  [ -n "$filter" ] || bad+="wine made no capture filter; "
  check_references filter
  [ -z "$bad" ] || { fail $name "$bad"; return; }
  finish_check $name
}

check_windows_programs() {
  if [ -n "${wine_skip:-}" ]; then
    skip windows-velmoractl "$wine_skip"; skip windows-window "$wine_skip"; skip windows-filter "$wine_skip"
    skip windows-gamepad-adapter "$wine_skip"; skip windows-midi-adapter "$wine_skip"
    skip windows-serve-gamepad "$wine_skip"
    return
  fi
  find_wine || { fail windows-velmoractl "wine64 not found in the VM"; return; }
  stop_camera
  start_camera windows || { fail windows-velmoractl "no camera"; return; }
  # wine names a capture device by its node's name.
  read -r windows_label < "/sys/class/video4linux/${video##*/}/name"
  local started=$SECONDS pad_out=$out/windows-virtual-pad.txt pad_pid=
  # The virtual pad before wine: its device service takes in the pads there are when it starts.
  [ -c /dev/uinput ] && start_pad
  # wine's own start-up (its services) once, before the programs.
  prepare_wine_prefix "$out/wine-start.txt" || { fail windows-velmoractl "wine does not start"; return; }
  note "wine started in $((SECONDS - started)) s"
  check_windows_velmoractl
  check_windows_window
  check_windows_filter
  check_windows_serve_gamepad
  check_windows_gamepad
  check_windows_midi
  stop_wine
  note "the Windows programs took $((SECONDS - started)) s with wine's start"
}

# --- gamepads and MIDI controllers -------------------------------------------------------------

# The lines of the gamepad probe's output other than axis values, joined with '|'.
probe_lines() { grep -v '^axis ' "$1" | tr '\n' '|'; }
ended() { ! kill -0 "$1" 2> /dev/null; }
# Ticks of CPU (user and system, 1/100 s) a process has used.
cpu_ticks() { local stat; read -r stat < "/proc/$1/stat"; stat=${stat##*) }; set -- $stat; echo $((${12} + ${13})); }

# Starts a virtual Xbox 360 pad (uinput) driven through file descriptor 8; its output in $pad_out.
start_pad() {
  local pad_in=/run/velmora-pad.in
  rm -f "$pad_in" && mkfifo "$pad_in"
  "$build/tests/e2e/velmora-virtual-pad" < "$pad_in" > "$pad_out" 2>&1 &
  pad_pid=$!
  exec 8> "$pad_in"
  wait_for 10 grep -q '^ready' "$pad_out"
}
pad() { echo "$*" >&8; }
# Unplugs it.
stop_pad() { pad quit; exec 8>&-; wait "$pad_pid"; }
# The probe has printed line $2 at least $1 times.
printed() { [ "$(grep -cx "$2" "$probe_out")" -ge "$1" ]; }

# The gamepad adapter (velmora-gamepad-probe: SDL2's game controllers on evdev, the default mapping)
# with `any`, started before there is a pad, against a virtual Xbox 360 pad made with uinput: the pad
# plugged is taken; A down and up; the left stick held up 0.8 s and let go; 10 s idle with the pad
# connected (the probe must use no CPU: nothing polls); the stick held up and the pad unplugged,
# which releases zoom-in at once; a pad plugged again is taken again.
check_gamepad_adapter() {
  local name=gamepad-adapter pad_out=$out/virtual-pad.txt probe_out=$out/gamepad-probe.txt pad_pid probe_pid
  local before idle expected got pad_name="X360 Controller"
  [ -x "$build/tests/e2e/velmora-gamepad-probe" ] || { skip $name "velmora-gamepad-probe is not built"; return; }
  [ -c /dev/uinput ] || { fail $name "no /dev/uinput (module uinput)"; return; }
  "$build/tests/e2e/velmora-gamepad-probe" any > "$probe_out" 2>&1 &
  probe_pid=$!
  if ! wait_for 60 grep -qx 'ready\|.*not built in.*' "$probe_out" || grep -q 'not built in' "$probe_out"; then
    grep -q 'not built in' "$probe_out" && { skip $name "built without SDL2 (libsdl2-dev)"; return; }
    fail $name "the probe did not start: $(probe_lines "$probe_out")"; kill "$probe_pid"; return
  fi
  if ! start_pad; then
    fail $name "the virtual pad did not start: $(tr '\n' '|' < "$pad_out")"; kill "$probe_pid"; return
  fi
  wait_for 20 printed 1 "connected 0 $pad_name"
  pad button a 1; wait_for 10 printed 1 'action press menu'
  pad button a 0; wait_for 10 printed 1 'action release menu'
  pad axis ly -30000; wait_for 10 printed 1 'action press zoom-in'
  nap 0.8
  pad axis ly 0; wait_for 10 printed 1 'action release zoom-in'
  before=$(cpu_ticks "$probe_pid")
  nap 10
  idle=$(( $(cpu_ticks "$probe_pid") - before ))
  note "$name: the probe used $idle tick(s) of CPU in 10 s idle with the pad connected"
  pad axis ly -32768; wait_for 10 printed 2 'action press zoom-in'
  stop_pad
  wait_for 20 printed 2 'action release zoom-in'
  start_pad && wait_for 20 printed 2 "connected 0 $pad_name"
  stop_pad
  wait_for 20 printed 2 "disconnected 0 $pad_name"
  kill -TERM "$probe_pid"  # a background job of this shell ignores SIGINT
  wait "$probe_pid"
  # The release comes with the removal: from the pad's node hanging up (after "disconnected") or from
  # SDL centring the axes of a pad it found gone (before), whichever the adapter heard first.
  local before_gone="ready|connected 0 $pad_name|button a down|action press menu|button a up|action release menu|"
  before_gone+="action press zoom-in|action release zoom-in|action press zoom-in|"
  local after_gone="connected 0 $pad_name|disconnected 0 $pad_name|"
  expected="${before_gone}disconnected 0 $pad_name|action release zoom-in|$after_gone"
  got=$(probe_lines "$probe_out")
  if [ "$got" = "${before_gone}action release zoom-in|disconnected 0 $pad_name|$after_gone" ]; then
    got=$expected
  fi
  if [ "$got" != "$expected" ]; then
    fail $name "the probe printed '$got', expected '$expected'"
  elif [ "$idle" -gt 1 ]; then
    fail $name "the probe used $idle ticks of CPU in 10 s idle"
  else
    finish_check $name
  fi
}

# The same with systemd-udevd running, as on a desktop: SDL then finds pads through udev, and the
# adapter wakes on its own udev monitor. The pad plugged after the probe started is taken, A acts,
# unplugging it is followed.
check_gamepad_adapter_udev() {
  local name=gamepad-adapter-udev pad_out=$out/virtual-pad-udev.txt probe_out=$out/gamepad-probe-udev.txt
  local pad_pid probe_pid got pad_name="X360 Controller"
  [ -x "$build/tests/e2e/velmora-gamepad-probe" ] && [ -c /dev/uinput ] || { skip $name "no probe or no uinput"; return; }
  "$build/tests/e2e/velmora-gamepad-probe" any > "$probe_out" 2>&1 &
  probe_pid=$!
  wait_for 60 grep -qx ready "$probe_out"
  start_pad || { fail $name "the virtual pad did not start"; kill "$probe_pid"; return; }
  wait_for 20 printed 1 "connected 0 $pad_name"
  pad button a 1; wait_for 10 printed 1 'action press menu'
  pad button a 0; wait_for 10 printed 1 'action release menu'
  stop_pad
  wait_for 20 printed 1 "disconnected 0 $pad_name"
  kill -TERM "$probe_pid"
  wait "$probe_pid"
  got=$(probe_lines "$probe_out")
  if [ "$got" != "ready|connected 0 $pad_name|button a down|action press menu|button a up|action release menu|disconnected 0 $pad_name|" ]; then
    fail $name "the probe printed '$got'"
  else
    finish_check $name
  fi
}

# The same adapter built for Windows, under wine (run by check_windows_programs, with the virtual pad
# plugged before wine started): SDL2 for Windows reads it through wine's XInput. A and the stick act,
# unplugging the pad releases; the probe's CPU over 10 s with the pad connected is noted. What serve's
# gamepad front end on Windows will build on.
check_windows_gamepad() {
  local name=windows-gamepad-adapter probe_out=$out/windows-gamepad-probe.txt probe_pid got before_gone idle
  local probe="$windows_build/tests/e2e/velmora-gamepad-probe.exe"
  [ -f "$probe" ] || { skip $name "velmora-gamepad-probe.exe is not built"; return; }
  [ -n "$pad_pid" ] && kill -0 "$pad_pid" 2> /dev/null || { fail $name "no virtual pad (uinput)"; return; }
  (cd /tmp && WINEDEBUG=-all exec "$wine64" "$probe" any > "$probe_out.raw" 2>&1) &
  probe_pid=$!
  wait_for 60 grep -q '^ready\|not built in' "$probe_out.raw"
  if grep -q 'not built in' "$probe_out.raw"; then
    stop_pad; skip $name "built without SDL2 for Windows (scripts/sdl2-mingw.sh)"; return
  fi
  pad button a 1; wait_for 10 grep -q 'action press menu' "$probe_out.raw"
  pad button a 0; wait_for 10 grep -q 'action release menu' "$probe_out.raw"
  pad axis ly -30000; wait_for 10 grep -q 'action press zoom-in' "$probe_out.raw"
  nap 0.8
  pad axis ly 0; wait_for 10 grep -q 'action release zoom-in' "$probe_out.raw"
  idle=$(cpu_ticks "$probe_pid")
  nap 10
  idle=$(( $(cpu_ticks "$probe_pid") - idle ))
  pad axis ly -30000; nap 1
  stop_pad
  wait_for 10 grep -q '^disconnected' "$probe_out.raw"
  kill -TERM "$probe_pid"
  wait "$probe_pid" 2> /dev/null
  tr -d '\r' < "$probe_out.raw" > "$probe_out"
  got=$(probe_lines "$probe_out")
  note "$name: the probe under wine printed '$got'; $idle tick(s) of CPU in 10 s with the pad connected"
  before_gone="action press menu|button a up|action release menu|action press zoom-in|action release zoom-in|"
  before_gone+="action press zoom-in|"
  # The release comes with the removal, before or after "disconnected" (see check_gamepad_adapter).
  case "$got" in
    "connected 0 "*"|ready|button a down|${before_gone}disconnected 0 "*"|action release zoom-in|" | \
      "connected 0 "*"|ready|button a down|${before_gone}action release zoom-in|disconnected 0 "*"|")
      finish_check $name ;;
    *) fail $name "the probe printed '$got'" ;;
  esac
}

# velmoractl.exe serve --gamepad any under wine (run by check_windows_programs, before
# check_windows_gamepad unplugs the pad wine took in at its start), on a simulated camera: wine has
# no UVC camera. A's press, the stick's press and its release reach the camera's trace in order.
check_windows_serve_gamepad() {
  local name=windows-serve-gamepad err=$out/windows-serve-gamepad.txt trace=$out/windows-serve-trace.txt serve_pid got
  [ -n "$pad_pid" ] && kill -0 "$pad_pid" 2> /dev/null || { fail $name "no virtual pad (uinput)"; return; }
  : > "$trace"
  (cd /tmp && VELMORA_BACKEND=sim VELMORA_SIM_TRACE="$(winpath "$trace")" WINEDEBUG=-all \
    exec "$wine64" "$windows_build/tools/velmoractl.exe" serve --gamepad any --http 127.0.0.1:0 \
    --no-release-at-start > "$err.raw" 2>&1) &
  serve_pid=$!
  if ! wait_for 60 grep -q 'gamepad 0 (.*) connected\|not built in' "$err.raw"; then
    fail $name "serve took no pad: $(tr -d '\r' < "$err.raw" | tr '\n' '|')"; kill "$serve_pid"; return
  fi
  if grep -q 'not built in' "$err.raw"; then
    kill "$serve_pid"; skip $name "built without SDL2 for Windows (scripts/sdl2-mingw.sh)"; return
  fi
  pad button a 1; wait_for 10 grep -q 'menu press' "$err.raw"
  pad button a 0
  pad axis ly -30000; wait_for 10 grep -q 'zoom-in press' "$err.raw"
  nap 0.5
  pad axis ly 0; wait_for 10 grep -q 'zoom-in release' "$err.raw"
  kill -TERM "$serve_pid"
  wait "$serve_pid" 2> /dev/null
  tr -d '\r' < "$err.raw" > "$err"
  got=$(sed -n 's/^SET .*data=26 16 00 00 00 01 00 00 00 00 \(..\).*/\1/p' "$trace" | tr '\n' ' ')
  note "$name: the simulated camera had key writes '$got'; serve said '$(grep gamepad "$err" | tr '\n' '|')'"
  if [ "$got" = "05 03 16 " ]; then finish_check $name; else fail $name "key writes '$got', not '05 03 16 '"; fi
}

# WinMM under wine (run by check_windows_programs): wine's ALSA driver offers the sequencer's ports as
# WinMM MIDI inputs; the Windows build of the MIDI adapter (velmora-midi-probe.exe) lists them, opens
# the virtual port by its name and must print note 62 on and off written to its raw MIDI node.
check_windows_midi() {
  local name=windows-midi-adapter probe_out=$out/windows-midi-probe.txt probe_pid port raw got
  local probe="$windows_build/tests/e2e/velmora-midi-probe.exe"
  [ -f "$probe" ] || { skip $name "velmora-midi-probe.exe is not built"; return; }
  port=$(aconnect -i | sed -n "s/^client [0-9]*: '\(Virtual Raw MIDI [0-9]*-[0-9]*\)'.*/\1/p" | head -1)
  raw=/dev/snd/midiC${port##* }
  raw=${raw/-/D}
  [ -c "$raw" ] || { fail $name "no snd-virmidi port"; return; }
  wine_run windows-midi-ports "$probe"
  note "$name: WinMM's inputs under wine: $(tr '\n' '|' < "$wine_out")"
  # wine names a WinMM input after the sequencer's client or port ("VirMIDI 0-0").
  port=$(grep -m1 -E '^port [0-9]+ .*(VirMIDI|Virtual Raw MIDI) [0-9]+-0' "$wine_out" | cut -d' ' -f2)
  [ -n "$port" ] || { fail $name "wine offers no WinMM input for the virtual port: $(tr '\n' '|' < "$wine_out")"; return; }
  (cd /tmp && WINEDEBUG=-all exec "$wine64" "$probe" "$port" > "$probe_out.raw" 2>&1) &
  probe_pid=$!
  if ! wait_for 60 grep -q '^ready' "$probe_out.raw"; then
    fail $name "port $port cannot be opened: $(tr -d '\r' < "$probe_out.raw" | tr '\n' '|')"; kill "$probe_pid"; return
  fi
  printf '\x90\x3e\x7f' > "$raw"
  printf '\x80\x3e\x00' > "$raw"
  wait_for 10 grep -q '^note-off' "$probe_out.raw"
  kill -TERM "$probe_pid"
  wait "$probe_pid" 2> /dev/null
  got=$(tr -d '\r' < "$probe_out.raw" | grep -v '^ready' | tr '\n' '|')
  note "$name: port $port printed '$got'"
  if [ "$got" != "note-on 62 velocity 127 channel 1 | note 62 zoom-in|note-off 62 velocity 0 channel 1 | note 62 zoom-in|" ]; then
    fail $name "port $port printed '$got'"
  else
    finish_check $name
  fi
}

# velmoractl midi learn on snd-virmidi's first port (its sequencer client, by name), the bytes written
# to the port's raw MIDI node: note 62 on and off print with the default mapping's line; a port that
# does not exist is named with those there are (exit 2); the port disconnected ends it (exit 4).
check_midi_learn() {
  local name=midi-learn learn_out=$out/midi-learn.txt learn_err=$out/midi-learn.err port client raw learn_pid code
  local expected got
  have_ctl $name || return
  [ -c /dev/snd/seq ] || { fail $name "no /dev/snd/seq (snd-seq)"; return; }
  note "$name: $(aconnect -i | tr '\n' '|')"
  # 'Virtual Raw MIDI C-D': the sequencer client fed by the raw MIDI node of card C, device D.
  port=$(aconnect -i | sed -n "s/^client [0-9]*: '\(Virtual Raw MIDI [0-9]*-[0-9]*\)'.*/\1/p" | head -1)
  client=$(aconnect -i | sed -n "s/^client \([0-9]*\): '$port'.*/\1/p")
  raw=/dev/snd/midiC${port##* }
  raw=${raw/-/D}
  [ -n "$port" ] && [ -c "$raw" ] || { fail $name "no snd-virmidi port (client '$port', node '$raw')"; return; }
  velmoractl midi learn 99:0
  if [ "$ctl_code" != 2 ] || [[ $ctl_err != *"no MIDI port '99:0' (there are "*"$client:0 (Virtual Raw MIDI"* ]]; then
    fail $name "a port that does not exist: exit $ctl_code, '$ctl_err'"; return
  fi
  "$ctl" midi learn "$port" > "$learn_out" 2> "$learn_err" &
  learn_pid=$!
  if ! wait_for 30 grep -q 'learning from MIDI port' "$learn_err"; then
    fail $name "learn did not start: $(tr '\n' '|' < "$learn_err")"; kill "$learn_pid"; return
  fi
  printf '\x90\x3e\x7f' > "$raw"
  printf '\x80\x3e\x00\xf8' > "$raw"
  wait_for 10 grep -q note-off "$learn_out"
  aconnect -d "$client:0" "$(aconnect -o | sed -n "s/^client \([0-9]*\): 'velmoractl'.*/\1/p"):0"
  wait_for 10 ended "$learn_pid" || kill "$learn_pid"
  wait "$learn_pid"
  code=$?
  expected="note-on 62 velocity 127 channel 1 note 62 zoom-in|note-off 62 velocity 0 channel 1 note 62 zoom-in|"
  got=$(tr -s ' ' < "$learn_out" | tr '\n' '|')
  note "$name: learn printed '$got', then '$(tr '\n' '|' < "$learn_err")', exit $code"
  if [ "$got" != "$expected" ]; then
    fail $name "learn printed '$got', expected '$expected'"
  elif [ "$code" != 4 ] || ! grep -q "$client:0 (Virtual Raw MIDI.*): it was disconnected" "$learn_err"; then
    fail $name "disconnected: exit $code, '$(tr '\n' '|' < "$learn_err")'"
  else
    finish_check $name
  fi
}

# --- velmoractl serve with a gamepad and a MIDI port ---------------------------------------------

# The serve log (standard error) has a line matching $1.
serve_said() { grep -q "$1" "$out/serve.err"; }
# Ends serve with SIGTERM: exit 0 expected, else check $1 fails. Its log is kept as $1.err.
stop_serve() {
  kill -TERM "$serve_pid"
  wait "$serve_pid"
  local code=$?
  cp "$out/serve.err" "$out/$1.err"
  [ $code -eq 0 ] || fail "$1" "SIGTERM: exit $code: $(tail -3 "$out/serve.err" | tr '\n' '|')"
}
# Milliseconds since $1 (an $EPOCHREALTIME).
ms_since() { local now=$EPOCHREALTIME; echo $(( (${now/./} - ${1/./}) / 1000 )); }
# The camera saw exactly the packets $@ (SET_CUR, in order) since log_mark.
saw_only() {
  local expected="" packet
  for packet in "$@"; do expected+="SET_CUR $packet ok|"; done
  [ "$(log_since | grep -o "SET_CUR [0-9a-f]* [a-z]*" | tr '\n' '|')" = "$expected" ]
}

# serve --gamepad any on the emulated camera, started before the virtual Xbox 360 pad is plugged:
# A gives the MENU packet alone; the left stick held up 0.8 s gives the zoom-in press and then one
# release; the stick held up and the pad unplugged releases at once (the hold limit is 30 s).
check_serve_gamepad() {
  local name=serve-gamepad-a pad_out=$out/virtual-pad-serve.txt pad_pid menu zoom release started held
  have_ctl $name || return
  [ -c /dev/uinput ] || { fail $name "no /dev/uinput (module uinput)"; return; }
  [ -n "$camera_pid" ] || start_camera serve-gamepad || { fail $name "no camera"; return; }
  if ! start_serve --gamepad any --hold-limit 30 --no-release-at-start; then
    fail $name "serve did not start: $(tr '\n' '|' < "$out/serve.err")"; kill "$serve_pid" 2> /dev/null; return
  fi
  menu=$(packet 0x16 1 0 0x05)
  zoom=$(packet 0x16 1 0 0x03)
  release=$(packet 0x16 1 0 0x16)
  if ! start_pad || ! wait_for 20 serve_said 'gamepad 0 (.*) connected'; then
    fail $name "the pad was not taken: $(tr '\n' '|' < "$out/serve.err")"; stop_serve $name; return
  fi
  log_mark
  pad button a 1; wait_for 10 logged_since "SET_CUR $menu ok"
  pad button a 0; wait_for 10 serve_said 'menu release: nothing sent'
  if ! saw_only "$menu" || ! serve_said 'gamepad 0 (.*) menu press: sent'; then
    fail $name "A: the camera saw '$(log_since | tr '\n' '|')'; serve said '$(tr '\n' '|' < "$out/serve.err")'"
  else
    finish_check $name
  fi

  name=serve-gamepad-stick
  log_mark
  pad axis ly -30000; wait_for 10 logged_since "SET_CUR $zoom ok"
  nap 0.8
  pad axis ly 0; wait_for 10 logged_since "SET_CUR $release ok"
  nap 0.5
  if saw_only "$zoom" "$release"; then finish_check $name; else fail $name "the camera saw '$(log_since | tr '\n' '|')'"; fi

  name=serve-gamepad-unplugged
  log_mark
  pad axis ly -30000
  if ! wait_for 10 logged_since "SET_CUR $zoom ok"; then
    fail $name "no press: the camera saw '$(log_since | tr '\n' '|')'"; stop_pad
  else
    started=$EPOCHREALTIME
    stop_pad
    wait_for 20 logged_since "SET_CUR $release ok"
    held=$(ms_since "$started")
    note "$name: released $held ms after the pad was unplugged (hold limit 30 s)"
    if ! saw_only "$zoom" "$release" || [ "$held" -gt 10000 ]; then
      fail $name "after $held ms the camera saw '$(log_since | tr '\n' '|')'"
    elif ! serve_said 'gamepad 0 (.*) gone'; then
      fail $name "serve said '$(tr '\n' '|' < "$out/serve.err")'"
    else
      finish_check $name
    fi
  fi
  stop_serve serve-gamepad-stops
}

# serve --midi on snd-virmidi's first port (client:port), bytes written to its raw MIDI node: note 62
# on and off give zoom-in's press and release; note 62 on and the port disconnected from serve
# release at once; a port that does not exist stops serve at start (exit 2).
check_serve_midi() {
  local name=serve-midi-note port client raw zoom release started held reader
  have_ctl $name || return
  [ -c /dev/snd/seq ] || { fail $name "no /dev/snd/seq (snd-seq)"; return; }
  port=$(aconnect -i | sed -n "s/^client [0-9]*: '\(Virtual Raw MIDI [0-9]*-[0-9]*\)'.*/\1/p" | head -1)
  client=$(aconnect -i | sed -n "s/^client \([0-9]*\): '$port'.*/\1/p")
  raw=/dev/snd/midiC${port##* }
  raw=${raw/-/D}
  [ -n "$port" ] && [ -c "$raw" ] || { fail $name "no snd-virmidi port (client '$port', node '$raw')"; return; }
  velmoractl serve --http 127.0.0.1:0 --midi 99:0
  if [ "$ctl_code" != 2 ] || [[ $ctl_err != *"--midi 99:0: no MIDI port '99:0' (there are "* ]]; then
    fail $name "a port that does not exist: exit $ctl_code, '$ctl_err'"; return
  fi
  [ -n "$camera_pid" ] || start_camera serve-midi || { fail $name "no camera"; return; }
  if ! start_serve --midi "$client:0" --hold-limit 30 --no-release-at-start; then
    fail $name "serve did not start: $(tr '\n' '|' < "$out/serve.err")"; kill "$serve_pid" 2> /dev/null; return
  fi
  zoom=$(packet 0x16 1 0 0x03)
  release=$(packet 0x16 1 0 0x16)
  log_mark
  printf '\x90\x3e\x7f' > "$raw"; wait_for 10 logged_since "SET_CUR $zoom ok"
  printf '\x80\x3e\x00' > "$raw"; wait_for 10 logged_since "SET_CUR $release ok"
  nap 0.5
  if ! saw_only "$zoom" "$release" || ! serve_said "midi $client:0 zoom-in press: sent"; then
    fail $name "the camera saw '$(log_since | tr '\n' '|')'; serve said '$(tr '\n' '|' < "$out/serve.err")'"
  else
    finish_check $name
  fi

  name=serve-midi-port-closed
  log_mark
  printf '\x90\x3e\x7f' > "$raw"
  if ! wait_for 10 logged_since "SET_CUR $zoom ok"; then
    fail $name "no press: the camera saw '$(log_since | tr '\n' '|')'"
  else
    reader=$(aconnect -o | sed -n "s/^client \([0-9]*\): 'velmoractl'.*/\1/p")
    started=$EPOCHREALTIME
    aconnect -d "$client:0" "$reader:0"
    wait_for 20 logged_since "SET_CUR $release ok"
    held=$(ms_since "$started")
    note "$name: released $held ms after the port was disconnected (hold limit 30 s)"
    if ! saw_only "$zoom" "$release" || [ "$held" -gt 10000 ]; then
      fail $name "after $held ms the camera saw '$(log_since | tr '\n' '|')'"
    elif ! serve_said "midi $client:0 gone (it was disconnected)"; then
      fail $name "serve said '$(tr '\n' '|' < "$out/serve.err")'"
    else
      finish_check $name
    fi
  fi
  printf '\x80\x3e\x00' > "$raw"
  stop_serve serve-midi-stops
}

# bench/controllers/run.sh where uinput exists: not a check, run alone with
# VELMORA_E2E_ONLY=bench_controllers; its figures in checks.log and bench-controllers.txt.
bench_controllers() {
  ip link set lo up 2> /dev/null || busybox ip link set lo up
  bash "$VELMORA_ROOT/bench/controllers/run.sh" "$build" > "$out/bench-controllers.txt" 2>&1
  note "bench-controllers (exit $?): $(tr '\n' '|' < "$out/bench-controllers.txt")"
}

# --- run --------------------------------------------------------------------------------------

: > "$results"
kernel_errors > /dev/null
note "kernel $(uname -r), build $build"
# VELMORA_E2E_ONLY="check_a check_b": those checks alone (with the camera), for a change's own checks.
if [ -n "${VELMORA_E2E_ONLY:-}" ]; then
  for check in $VELMORA_E2E_ONLY; do "$check"; done
  stop_camera
  finish_check kernel-log-at-end > /dev/null || true
  echo END >> "$results"
  exit 0
fi
check_enumeration
check_raw_round_trip
check_driver_errors
check_list
check_keys
check_register_read
check_zoom
check_status_reads
check_string_round_trip
check_stalled_write velmoractl-stalled-write 4 1 ""
# UVC error code 2 (wrong state) reaches user space as EACCES: still the camera refusing, not a permission.
check_stalled_write velmoractl-stalled-write-wrong-state 2 1 "permission"
check_bad_checksum
check_cfg_guid
check_control_length_64
check_macro
check_pulled_mid_write
check_pulled_mid_status
check_serve
check_serve_lease
check_serve_visca
check_gamepad_adapter
check_midi_learn
check_serve_gamepad
check_serve_midi
check_window_follows window-kernel-uevents
check_window_pulled_mid_status
if start_udevd; then
  check_window_follows window-systemd-udevd
  check_gamepad_adapter_udev
else
  fail window-systemd-udevd "systemd-udevd cannot be started"
fi
check_package_permission
check_windows_programs
stop_camera
finish_check kernel-log-at-end > /dev/null || true
echo END >> "$results"
