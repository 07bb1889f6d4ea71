#!/usr/bin/env bash
# Runs portal_check.py on a private D-Bus session bus with the Python that has python3-dbusmock.
# Usage: portal_check.sh VELMORA   (exits 77, skipped, without dbus-run-session or python3-dbusmock)
set -euo pipefail
python=/usr/bin/python3
[ -x "$python" ] && "$python" -c 'import dbus, dbusmock' 2> /dev/null || python=python3
"$python" -c 'import dbus, dbusmock' 2> /dev/null || { echo "SKIP: python3-dbusmock is not installed (scripts/deps.sh build)"; exit 77; }
command -v dbus-run-session > /dev/null || { echo "SKIP: dbus-run-session is not installed (scripts/deps.sh build)"; exit 77; }
unset WAYLAND_DISPLAY DISPLAY
exec timeout 120 dbus-run-session -- "$python" "$(dirname "$0")/portal_check.py" "$1"
