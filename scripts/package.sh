#!/usr/bin/env bash
# Builds the release artefacts into dist/.
#   scripts/package.sh windows   the Windows zip and installer (Qt for Windows built once, cached)
#   scripts/package.sh deb       the Debian package
#   scripts/package.sh all       both
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
  windows) exec bash "$root/scripts/package-windows.sh" ;;
  deb) exec bash "$root/scripts/package-deb.sh" ;;
  all) bash "$root/scripts/package-windows.sh" && exec bash "$root/scripts/package-deb.sh" ;;
  *) echo "usage: scripts/package.sh windows|deb|all" >&2; exit 2 ;;
esac
