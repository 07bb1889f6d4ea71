# Sourced: a virtual X display, and waiting for a window on it.

# x_scratch makes a scratch folder ($work) and a list of programs to stop ($pids): when the script
# exits they are stopped and waited for and the folder removed. It also defines fail MESSAGE, which
# says it with every log of the folder and exits 1.
x_scratch() {
  work=$(mktemp -d)
  pids=()
  trap x_scratch_end EXIT
  fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do echo "--- $log" >&2; cat "$log" >&2; done
    exit 1
  }
}
x_scratch_end() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}

# start_xvfb GEOMETRY LOG [XVFB_OPTION...] starts Xvfb on a display number it picks itself (so two
# runs side by side cannot take the same one), exports DISPLAY and leaves the server's pid in
# xvfb_pid. Returns 1, with the server's log on stderr, when no display is up within 10 s.
start_xvfb() {
  local geometry=$1 log=$2 number
  shift 2
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp "$@" 3> "$number" > "$log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    kill -0 "$xvfb_pid" 2> /dev/null || break
    sleep 0.1
  done
  if [ ! -s "$number" ]; then
    rm -f "$number"
    cat "$log" >&2
    return 1
  fi
  export DISPLAY=:$(head -1 "$number")
  rm -f "$number"
}

# set_display_dpi DPI tells the programs of DISPLAY its scale as GNOME and KDE do: Xft.dpi in the
# server's resources (96 is 100 %). Start the server with -dpi DPI too, as the desktop's is, and
# with -noreset: else the resource goes when the last client leaves.
set_display_dpi() {
  echo "Xft.dpi: $1" | xrdb -nocpp -merge
}

# wait_window SECONDS NAME_PATTERN prints the id of the first visible window whose name matches.
# Polls: `xdotool search --sync` exits at once on an X error, as when another window goes away
# while it looks (wine's start-up windows do). Nothing, and 1, when none came within SECONDS.
wait_window() {
  local deadline=$((SECONDS + $1)) id
  while :; do
    id=$(xdotool search --onlyvisible --name "$2" 2> /dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
