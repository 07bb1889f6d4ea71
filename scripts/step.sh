# Sourced by the build scripts. `step LIMIT_SECONDS NAME COMMAND...` runs one step under timeout
# and prints "$step_prefix: NAME took N s" on the script's standard error as it was when this file
# was sourced (fd 3), also for steps whose output goes to a log.
exec 3>&2
step() {
  local limit=$1 name=$2 t0 code
  shift 2
  t0=$(date +%s)
  timeout "$limit" "$@" && code=0 || code=$?
  echo "$step_prefix: $name took $(( $(date +%s) - t0 )) s" >&3
  [ "$code" -eq 0 ] || { echo "$step_prefix: $name failed ($code)" >&3; return "$code"; }
}
