# Sourced by the build scripts. `no_warnings ROOT LOG` passes when the build log LOG holds no
# compiler warning about a file under ROOT; else it shows the first 20 and their count, and fails.
# The count decides: a `grep | head | grep .` pipeline under pipefail passes when the first grep
# dies of SIGPIPE, which it does when there are many.
no_warnings() {
  local pattern="^$1/[^:]+:[0-9]+:[0-9]+: warning" count
  [ -r "$2" ] || { echo "no build log $2"; return 1; }
  count=$(grep -cE "$pattern" "$2" || true)
  [ "$count" -eq 0 ] && return 0
  grep -E "$pattern" "$2" | head -20
  echo "$count warnings from the sources under $1"
  return 1
}
