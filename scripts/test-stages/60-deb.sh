#!/usr/bin/env bash
# The Debian package as a user gets it: built by scripts/package.sh deb, checked with lintian,
# desktop-file-validate and appstreamcli, installed with apt into a clean Debian 12 (minbase)
# chroot made by debootstrap, run there, and purged. Records "deb passed failed skipped" in checks.
#   VELMORA_DEB_CACHE   the base system tarball and apt's downloads (default /var/cache/velmora)
set -uo pipefail
root=${VELMORA_ROOT:?}
build=${VELMORA_BUILD_ROOT:?}
cache=${VELMORA_DEB_CACHE:-/var/cache/velmora}
chroot=$build/deb-chroot
suite=bookworm
variant=minbase
# man-db and bash-completion are what the checks use; the package itself must bring the rest.
include=man-db,bash-completion
mirror=$(awk '$1 == "URIs:" { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2> /dev/null)
mirror=${mirror:-http://deb.debian.org/debian}
key=$(printf '%s\n' "$suite" "$variant" "$mirror" "$include" | sha256sum | cut -c1-12)
tarball=$cache/debootstrap-$suite-$variant-$key.tar
archives=$cache/apt-$suite-$key

passed=0 failed=0 skipped=0
pass() { echo "  PASS $1"; passed=$((passed + 1)); }
fail() { echo "  FAIL $1: $2"; failed=$((failed + 1)); }
record() { echo "deb $passed $failed $skipped" >> "${VELMORA_RESULTS:?}"; }
elapsed() { echo "deb: $1 took $(($(date +%s) - $2)) s"; }
finish() { record; [ "$failed" -eq 0 ]; exit; }

# --- mounts in the chroot, always undone ----------------------------------------------------
fresh=$build/deb-debootstrap
mounts_under() { findmnt -rn -o TARGET | awk -v dir="${1:-$chroot}/" 'index($0, dir) == 1' | sort -r; }
unmount_all() {
  local target
  for target in $(mounts_under "$chroot") $(mounts_under "$fresh"); do
    umount "$target" 2> /dev/null || umount -l "$target"
  done
}
trap unmount_all EXIT
trap 'exit 130' INT TERM

chroot_env=(/usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive)
in_chroot() {  # seconds command...
  local seconds=$1; shift
  timeout "$seconds" chroot "$chroot" "${chroot_env[@]}" "$@"
}
# Every path in the chroot but the virtual file systems and apt's downloads and lists.
snapshot() {
  (cd "$chroot" && find . -xdev \( -path ./proc -o -path ./dev -o -path ./var/cache/apt \
    -o -path ./var/lib/apt/lists -o -path ./tmp \) -prune -o -print) | sort
}

start=$(date +%s)
if [ "$(id -u)" -ne 0 ]; then
  echo "deb: debootstrap and chroot need root (sudo scripts/test.sh); recorded as skipped"
  skipped=1; finish
fi
if ! timeout 900 bash "$root/scripts/deps.sh" package-deb; then
  fail deps "the packaging tools (scripts/deps.sh package-deb) cannot be installed"; finish
fi

# --- the package and its static checks ------------------------------------------------------
t0=$(date +%s)
log=$build/deb-package.log
if ! VELMORA_DEB_BUILD=$build/gcc-qt5 timeout 3600 bash "$root/scripts/package.sh" deb > "$log" 2>&1; then
  tail -30 "$log"; fail package "scripts/package.sh deb failed (see $log)"; finish
fi
deb=$(tail -1 "$log")
elapsed "building the package" "$t0"
echo "deb: $deb"

listing=$(dpkg-deb -c "$deb")
contents=$build/deb-contents.txt
awk '{ print $NF }' <<< "$listing" | sed 's|^\./|/|; s|/$||' | grep . > "$contents"
files=$build/deb-files.txt  # without the directories, which others may share
awk '$1 !~ /^d/ { print $NF }' <<< "$listing" | sed 's|^\./|/|' > "$files"
missing=
for path in /usr/bin/velmora /usr/bin/velmoractl /usr/share/applications/io.github.velmora.velmora.desktop \
    /usr/share/metainfo/io.github.velmora.velmora.metainfo.xml /usr/share/icons/hicolor/scalable/apps/velmora.svg \
    /usr/share/man/man1/velmora.1.gz /usr/share/man/man1/velmoractl.1.gz \
    /usr/share/bash-completion/completions/velmoractl /usr/share/doc/velmora/copyright \
    /usr/share/doc/velmora/changelog.gz /usr/share/doc/velmora/examples/70-velmora-camera.rules \
    /usr/share/doc/velmora/examples/visca_map.example \
    /usr/lib/systemd/user/velmoractl-serve.service; do
  grep -qx "$path" "$contents" || missing+=" $path"
done
for size in 16 22 24 32 48 64 128 256; do
  grep -qx "/usr/share/icons/hicolor/${size}x$size/apps/velmora.png" "$contents" || missing+=" ${size}x$size icon"
done
[ -z "$missing" ] && pass contents || fail contents "missing:$missing"

# Depends from dpkg-shlibdeps: the Qt libraries and libudev the executables link, with versions.
depends=$(dpkg-deb -f "$deb" Depends)
echo "deb: Depends: $depends"
bad=
for library in libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5 libudev1; do
  [[ ", $depends" == *", $library (>= "* ]] || bad+=" $library"
done
[ -z "$bad" ] && pass depends || fail depends "no versioned dependency on$bad"

output=$(timeout 600 lintian --fail-on error,warning --display-info "$deb" 2>&1 | grep -v 'running with root privileges')
code=${PIPESTATUS[0]}
[ -n "$output" ] && echo "$output" | sed 's/^/    /'
[ "$code" -eq 0 ] && pass lintian || fail lintian "errors or warnings (exit $code)"

unpacked=$build/deb-unpacked
rm -rf "$unpacked" && dpkg-deb -x "$deb" "$unpacked"
output=$(timeout 60 desktop-file-validate "$unpacked"/usr/share/applications/*.desktop 2>&1)
code=$?
[ -n "$output" ] && echo "$output" | sed 's/^/    /'
[ "$code" -eq 0 ] && [ -z "$output" ] && pass desktop-file-validate || fail desktop-file-validate "not clean"
output=$(timeout 60 appstreamcli validate --no-net --pedantic "$unpacked"/usr/share/metainfo/*.xml 2>&1)
code=$?
echo "$output" | sed 's/^/    /'
[ "$code" -eq 0 ] && ! grep -qE '^[EWIP]: ' <<< "$output" && pass appstream || fail appstream "not clean"

# --- a clean Debian 12 ------------------------------------------------------------------------
t0=$(date +%s)
unmount_all
if [ -n "$(mounts_under)" ]; then fail chroot "$chroot still has mounts"; finish; fi
rm -rf "$chroot"
mkdir -p "$cache" "$archives/partial"
if [ ! -f "$tarball" ]; then
  echo "deb: debootstrap $suite ($variant) from $mirror, cached as $tarball"
  [ -z "$(mounts_under "$fresh")" ] && rm -rf "$fresh"
  if ! timeout 1800 debootstrap --variant="$variant" --include="$include" "$suite" "$fresh" "$mirror" \
      > "$build/deb-debootstrap.log" 2>&1; then
    tail -20 "$build/deb-debootstrap.log"; fail chroot "debootstrap failed"; finish
  fi
  unmount_all
  rm -f "$fresh"/var/cache/apt/archives/*.deb
  timeout 600 tar -C "$fresh" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
  [ -z "$(mounts_under "$fresh")" ] && rm -rf "$fresh"
fi
mkdir -p "$chroot"
if ! timeout 600 tar -C "$chroot" -xf "$tarball"; then fail chroot "cannot unpack $tarball"; finish; fi
cp /etc/resolv.conf "$chroot/etc/resolv.conf" 2> /dev/null
printf '#!/bin/sh\nexit 101\n' > "$chroot/usr/sbin/policy-rc.d" && chmod 755 "$chroot/usr/sbin/policy-rc.d"
# debootstrap made the device nodes apt needs; /proc is for Qt and the maintainer scripts.
mount -t proc proc "$chroot/proc" && mount --bind "$archives" "$chroot/var/cache/apt/archives" ||
  { fail chroot "cannot mount in $chroot"; finish; }
elapsed "the clean system" "$t0"
pass chroot

# --- apt install ------------------------------------------------------------------------------
t0=$(date +%s)
before=$build/deb-files-before.txt
snapshot > "$before"
cp "$deb" "$chroot/tmp/"
name=$(basename "$deb")
if ! in_chroot 600 apt-get update -q > "$build/deb-apt.log" 2>&1 ||
   ! in_chroot 1200 apt-get install -y -q --no-install-recommends "./tmp/$name" >> "$build/deb-apt.log" 2>&1; then
  tail -20 "$build/deb-apt.log"; fail apt-install "apt-get install ./$name failed"; finish
fi
rm -f "$chroot/tmp/$name"
grep -E '^(Setting up|Unpacking) velmora|newly installed' "$build/deb-apt.log" | sed 's/^/    /'
elapsed "apt-get install" "$t0"
pass apt-install

# --- the installed programs ---------------------------------------------------------------------
menu="SET sel=10 node=1 set={46394292-0CD0-4AE3-8783-3133F9EAAA3B} flags=0x10000002 len=12 status=S_OK data=26 16 00 00 00 01 00 00 00 00 05 BD"
output=$(in_chroot 60 sh -c 'cd /tmp && velmoractl --backend sim --trace key menu' 2>&1)
code=$?
echo "$output" | sed 's/^/    /'
[ "$code" -eq 0 ] && grep -qxF "$menu" <<< "$output" && pass velmoractl-menu ||
  fail velmoractl-menu "exit $code, no MENU packet"

# The window on the offscreen platform: it must get through its start-up (the 24 status reads of
# the selected simulated camera reach the trace), keep running, and exit 0 on SIGTERM.
trace=$chroot/tmp/velmora.trace
rm -f "$trace"
# Started as a simple command, so that $! is timeout itself, which passes SIGTERM on to the window.
timeout 120 chroot "$chroot" "${chroot_env[@]}" sh -c \
  'cd /tmp && exec env QT_QPA_PLATFORM=offscreen VELMORA_BACKEND=sim VELMORA_SIM_TRACE=/tmp/velmora.trace velmora' \
  > "$build/deb-velmora.log" 2>&1 &
window=$!
reads=0
for _ in $(seq 100); do
  reads=$(grep -c '^SET ' "$trace" 2> /dev/null)
  [ "${reads:-0}" -ge 24 ] && break
  kill -0 "$window" 2> /dev/null || break
  sleep 0.2
done
sleep 1
running=no
kill -0 "$window" 2> /dev/null && running=yes
kill -TERM "$window" 2> /dev/null
wait "$window"
code=$?
sed 's/^/    /' "$build/deb-velmora.log"
if [ "$running" = yes ] && [ "${reads:-0}" -ge 24 ] && [ "$code" -eq 0 ] &&
   ! grep -qiE 'could not|cannot|error|abort' "$build/deb-velmora.log"; then
  pass velmora-offscreen
else
  fail velmora-offscreen "running after start-up: $running, status reads: ${reads:-0}, exit $code"
fi
rm -f "$trace"

page=$(in_chroot 60 man -w velmoractl 2>&1)
text=$(in_chroot 60 env MANWIDTH=100 man velmoractl 2> /dev/null)
[ "$page" = /usr/share/man/man1/velmoractl.1.gz ] && grep -q -- '--device N|PATH' <<< "$text" &&
  in_chroot 60 man -w velmora > /dev/null 2>&1 && pass man || fail man "man -w velmoractl: '$page'"

# The completion's word lists against what the installed velmoractl itself names.
cp "$root/tests/deb/completion-probe.sh" "$chroot/tmp/completion-probe.sh"
mapfile -t got < <(in_chroot 60 bash /tmp/completion-probe.sh "velmoractl " "velmoractl key " \
  "velmoractl --backend sim --device " "velmoractl --backend " "velmoractl key menu " "velmoractl serve --" 2>&1)
rm -f "$chroot/tmp/completion-probe.sh"
commands=$(in_chroot 60 velmoractl --help | awk '/^Commands:/ { on = 1; next } on && !NF { exit } on && /^  [^ ]/ { print $1 }')
commands=$(printf '%s\nhelp\n' "$commands" | sort | tr '\n' ' ' | sed 's/ $//')
keys=$(in_chroot 60 sh -c 'cd /tmp && velmoractl --backend sim key no-such-key' 2>&1 | sed -n 's/.*(one of \(.*\)).*/\1/p' |
  tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/ $//')
bad=
[ "${got[0]:-}" = "$commands" ] || bad+="commands '${got[0]:-}', velmoractl has '$commands'; "
[ -n "$keys" ] && [ "${got[1]:-}" = "$keys" ] || bad+="keys '${got[1]:-}', velmoractl has '$keys'; "
[ "${got[2]:-}" = "0 1" ] || bad+="--device on sim '${got[2]:-}', expected '0 1'; "
[ "${got[3]:-}" = "native sim" ] || bad+="--backend '${got[3]:-}'; "
[ "${got[4]:-}" = "click nudge press release" ] || bad+="key actions '${got[4]:-}'; "
# serve's own options: those its help names before the global ones.
serve_options=$(in_chroot 60 velmoractl serve --help | awk '/^Options \(/ { exit } { print }' | grep -oE '^  --[a-z-]+' |
  tr -d ' ' | sort | tr '\n' ' ')
for option in $serve_options; do
  [[ " ${got[5]:-} " == *" $option "* ]] || bad+="serve option $option not completed ('${got[5]:-}'); "
done
[ -n "$serve_options" ] || bad+="velmoractl serve --help names no option; "
[ -z "$bad" ] && pass bash-completion || fail bash-completion "$bad"

# --- purge: nothing of ours stays -------------------------------------------------------------
t0=$(date +%s)
if ! in_chroot 600 apt-get purge -y -q velmora >> "$build/deb-apt.log" 2>&1; then
  tail -10 "$build/deb-apt.log"; fail purge "apt-get purge velmora failed"; finish
fi
after=$build/deb-files-after.txt
snapshot > "$after"
# New paths are the dependencies' (they stay, as apt leaves them); ours are the package's own
# files and anything named after it.
new=$(comm -13 "$before" "$after" | sed 's|^\./|/|')
left=$( (grep -xF -f "$files" <<< "$new"; grep -i velmora <<< "$new") | sort -u)
status=$(in_chroot 60 dpkg-query -W -f='${db:Status-Status}' velmora 2> /dev/null)
if [ -z "$left" ] && [ "$status" != installed ] && [ "$status" != config-files ]; then
  pass purge
else
  fail purge "left behind: $(echo "$left" | sort -u | head -10 | tr '\n' ' ') (dpkg status '$status')"
fi
elapsed "purge" "$t0"

unmount_all
# The chroot is kept for a look when a check failed; it takes about 500 MB.
[ "$failed" -eq 0 ] && [ -z "$(mounts_under)" ] && rm -rf "$chroot"
elapsed "the stage" "$start"
echo "deb: $passed passed, $failed failed"
finish
