# Sourced: a virtual X display, and waiting for a window on it.

# start_xvfb GEOMETRY LOG starts Xvfb on a display number it picks itself (so two runs
# side by side cannot take the same one), exports DISPLAY and leaves the server's pid in xvfb_pid.
# Returns 1, with the server's log on stderr, when no display is up within 10 s.
start_xvfb() {
  local geometry=$1 log=$2 number
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3> "$number" > "$log" 2>&1 &
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
