#!/usr/bin/env bash
# The Debian package: configures a release tree with Debian's build flags, builds the two
# executables and the Linux data (packaging/linux), and lets CPack's DEB generator make
# dist/velmora_<version>_<arch>.deb from the install tree, its Depends computed by dpkg-shlibdeps.
#   VELMORA_DEB_BUILD   the build tree (default build-deb in the checkout)
# Prints the package's path as its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_DEB_BUILD:-$root/build-deb}
dist=$root/dist

bash "$root/scripts/deps.sh" build package-deb

# Hardening and optimisation as Debian's own packages get them (dpkg-buildflags).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS CXXFLAGS LDFLAGS

timeout 600 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMORA_DEB=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF > "$build.configure.log" 2>&1 ||
  { tail -30 "$build.configure.log" >&2; exit 1; }
timeout 3600 nice cmake --build "$build" -- -j2 > "$build.build.log" 2>&1 ||
  { grep -E 'error|FAILED' "$build.build.log" | head -30 >&2; tail -20 "$build.build.log" >&2; exit 1; }

mkdir -p "$dist"
rm -rf "$build/_CPack_Packages"
(cd "$build" && timeout 600 cpack -G DEB -B "$build/cpack") > "$build.cpack.log" 2>&1 ||
  { tail -30 "$build.cpack.log" >&2; exit 1; }
deb=$(ls -t "$build"/cpack/velmora_*.deb | head -1)
cp "$deb" "$dist/"
echo "$dist/$(basename "$deb")"
