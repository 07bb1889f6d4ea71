#!/usr/bin/env bash
# The Debian package: configures a tree with Debian's build flags (or reuses one), builds the two
# executables and the Linux data (packaging/linux), and lets CPack's DEB generator make
# dist/velmora_<version>_<arch>.deb from the install tree, its Depends computed by dpkg-shlibdeps.
#   VELMORA_DEB_BUILD   the build tree (default build-deb in the checkout)
# Prints the package's path as its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_DEB_BUILD:-$root/build-deb}
dist=$root/dist

bash "$root/scripts/deps.sh" build package-deb

# Debian's build flags (scripts/deb-flags.sh). A tree configured before keeps what it builds besides
# (the unit stage's tree is this one, with its tests); a new one builds the programs and their data alone.
source "$root/scripts/deb-flags.sh"
new_tree=()
[ -f "$build/CMakeCache.txt" ] || new_tree=(-DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF)
timeout 600 cmake -S "$root" -B "$build" -G Ninja "${deb_cmake_options[@]}" "${new_tree[@]}" > "$build.deb-configure.log" 2>&1 ||
  { tail -30 "$build.deb-configure.log" >&2; exit 1; }
timeout 3600 nice cmake --build "$build" -- -j2 > "$build.deb-build.log" 2>&1 ||
  { grep -E 'error|FAILED' "$build.deb-build.log" | head -30 >&2; tail -20 "$build.deb-build.log" >&2; exit 1; }

mkdir -p "$dist"
rm -rf "$build/_CPack_Packages"
(cd "$build" && timeout 600 cpack -G DEB -B "$build/cpack") > "$build.deb-cpack.log" 2>&1 ||
  { tail -30 "$build.deb-cpack.log" >&2; exit 1; }
deb=$(ls -t "$build"/cpack/velmora_*.deb | head -1)
cp "$deb" "$dist/"
echo "$dist/$(basename "$deb")"
