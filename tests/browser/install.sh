#!/usr/bin/env bash
# Installs puppeteer-core for the browser checks into DIR/node_modules (outside the checkout), with
# npm ci from tests/browser's lockfile; again only when the lockfile changed. Prints DIR/node_modules.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:?usage: install.sh DIR}
mkdir -p "$dir"
if ! cmp -s "$here/package-lock.json" "$dir/package-lock.json" || [ ! -d "$dir/node_modules" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$dir/"
  (cd "$dir" && timeout 600 npm ci --ignore-scripts --no-audit --no-fund > npm.log 2>&1) ||
    { tail -20 "$dir/npm.log" >&2; exit 1; }
fi
echo "$dir/node_modules"
