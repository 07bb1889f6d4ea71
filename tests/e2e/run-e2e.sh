#!/usr/bin/env bash
# End-to-end run with the real uvcvideo driver: boots a Debian kernel under qemu once, plugs the
# emulated USB camera (velmora-usbcam) into vhci_hcd, runs tests/e2e/vm-checks.sh inside against
# the project's normally built binaries (the host's root is shared read-only over 9p), and ends
# with the line "N passed, N failed".
#
# Environment:
#   VELMORA_E2E_BUILD    build tree with tests/e2e/velmora-usbcam and tools/velmoractl (required)
#   VELMORA_E2E_DEB      the Debian package whose velmoractl the permission check runs (optional)
#   VELMORA_E2E_WINDOWS  the x86_64 cross-build against Qt 5 for Windows whose velmoractl.exe and
#                        probes run under wine64 in the VM, with VELMORA_E2E_QT its Qt (optional;
#                        without it those checks are skipped, saying why)
#   VELMORA_E2E_KERNEL   6.1 (default) or 6.12
#   VELMORA_E2E_CACHE    downloads and images (default $VELMORA_BUILD_ROOT/vm-cache)
#   VELMORA_E2E_TIMEOUT  seconds for the whole VM run (default 900)
#   VELMORA_E2E_ACCEL    tcg (default) or kvm
#   VELMORA_E2E_LOGLEVEL the kernel console log level (default 4; 7 shows the driver at work)
#   VELMORA_E2E_ONLY     check functions of vm-checks.sh to run alone ("check_serve_midi ...")
# Exit: 0 all checks passed, 1 a check failed, 77 the run cannot happen here (skipped).
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELMORA_E2E_BUILD:?set VELMORA_E2E_BUILD to a build tree}
build=$(cd "$build" && pwd)
kernel=${VELMORA_E2E_KERNEL:-6.1}
cache=${VELMORA_E2E_CACHE:-${VELMORA_BUILD_ROOT:-$root/build-tests}/vm-cache}
limit=${VELMORA_E2E_TIMEOUT:-900}
accel=${VELMORA_E2E_ACCEL:-auto}
started=$(date +%s)

skip() { echo "e2e: skipped: $*"; exit 77; }
say() { echo "e2e: $*"; }

case "$kernel" in
  6.1) meta=linux-image-amd64 ;;
  6.12) meta=linux-image-6.12-amd64 ;;
  *) echo "e2e: VELMORA_E2E_KERNEL must be 6.1 or 6.12, not $kernel" >&2; exit 2 ;;
esac
for binary in tests/e2e/velmora-usbcam tests/e2e/velmora-xu-query; do
  [ -x "$build/$binary" ] || { echo "e2e: $build/$binary is missing: build the tree first" >&2; exit 2; }
done

# --- what the VM needs on the host -------------------------------------------------------------
bash "$root/scripts/deps.sh" vm || skip "the vm packages (scripts/deps.sh vm) cannot be installed"
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not available"
[ -x /bin/busybox ] || skip "busybox-static is not installed"
mkdir -p "$cache"

# The versioned kernel package behind the meta package.
package=$(apt-cache depends "$meta" 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}')
if [ -z "$package" ]; then
  apt-get update -q >/dev/null 2>&1 || true
  package=$(apt-cache depends "$meta" 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}')
fi
[ -n "$package" ] || skip "no kernel package behind $meta"
deb=$(ls "$cache/${package}_"*.deb 2>/dev/null | head -1)
if [ -z "$deb" ]; then
  say "downloading $package"
  (cd "$cache" && apt-get download -q "$package" >/dev/null 2>&1) || skip "cannot download $package"
  deb=$(ls "$cache/${package}_"*.deb 2>/dev/null | head -1)
  [ -n "$deb" ] || skip "cannot download $package"
fi

# Only the kernel image and the module trees the VM loads from; extracted again when this list changes.
trees=('./boot/vmlinuz-*' './lib/modules/*/modules.builtin*' './lib/modules/*/modules.order'
  './lib/modules/*/kernel/drivers/usb/*' './lib/modules/*/kernel/drivers/media/*'
  './lib/modules/*/kernel/drivers/virtio/*' './lib/modules/*/kernel/fs/*' './lib/modules/*/kernel/net/*'
  './lib/modules/*/kernel/lib/*' './lib/modules/*/kernel/drivers/input/*' './lib/modules/*/kernel/drivers/hid/*'
  './lib/modules/*/kernel/sound/*')
tree="$cache/$package"
if [ "$(cat "$tree/.extracted" 2> /dev/null)" != "${trees[*]}" ]; then
  say "extracting $(basename "$deb")"
  rm -rf "$tree" && mkdir -p "$tree"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$tree" --wildcards "${trees[@]}" ||
    { echo "e2e: cannot extract $deb" >&2; exit 1; }
  version=$(ls "$tree/lib/modules")
  busybox depmod -b "$tree" "$version" || { echo "e2e: depmod failed" >&2; exit 1; }
  echo "${trees[*]}" > "$tree/.extracted"
fi
version=$(ls "$tree/lib/modules")
vmlinuz=$(ls "$tree"/boot/vmlinuz-* | head -1)

# --- the initramfs ------------------------------------------------------------------------------
work="$cache/run-$kernel"
rm -rf "$work" && mkdir -p "$work/initramfs" "$work/out"
init="$work/initramfs"
mkdir -p "$init"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,run,tmp,host,out,overlay,newroot,velmora}
cp /bin/busybox "$init/bin/busybox"

# The modules the checks need and everything they depend on, decompressed for busybox insmod.
wanted="vhci_hcd usbip_core uvcvideo 9p 9pnet_virtio virtio_pci overlay"
# Gamepads (a uinput pad read through evdev) and MIDI (snd-virmidi's ports on the sequencer).
wanted+=" uinput evdev joydev hid snd_virmidi snd_seq_dummy snd_seq_midi snd_rawmidi snd_seq"
modules=$(awk -v wanted="$wanted" '
  BEGIN { n = split(wanted, w, " "); for (i = 1; i <= n; i++) want[w[i]] = 1 }
  { sub(":", "", $1); name = $1; sub(".*/", "", name); sub(/\.ko.*/, "", name); gsub("-", "_", name)
    if (name in want) for (i = 1; i <= NF; i++) print $i }' "$tree/lib/modules/$version/modules.dep" | sort -u)
for module in $modules; do
  target="$init/lib/modules/$version/${module%%.ko*}.ko"
  mkdir -p "$(dirname "$target")"
  case "$module" in
    *.ko.xz) xz -dc "$tree/lib/modules/$version/$module" > "$target" ;;
    *.ko.zst) zstd -qdc "$tree/lib/modules/$version/$module" > "$target" ;;
    *.ko.gz) gzip -dc "$tree/lib/modules/$version/$module" > "$target" ;;
    *) cp "$tree/lib/modules/$version/$module" "$target" ;;
  esac || { echo "e2e: cannot unpack $module" >&2; exit 1; }
done
cp "$tree/lib/modules/$version"/modules.builtin* "$tree/lib/modules/$version/modules.order" \
  "$init/lib/modules/$version/" 2>/dev/null
busybox depmod -b "$init" "$version" || { echo "e2e: depmod of the initramfs failed" >&2; exit 1; }

cp "$build/tests/e2e/velmora-usbcam" "$build/tests/e2e/velmora-xu-query" "$init/velmora/"
cp "$root/tests/e2e/vm-init.sh" "$init/init"
chmod 755 "$init/init"
# The package's files where the VM sees them (the host's root), not installed.
unpacked=
if [ -n "${VELMORA_E2E_DEB:-}" ]; then
  unpacked="$work/package"
  dpkg-deb -x "$VELMORA_E2E_DEB" "$unpacked" || { echo "e2e: cannot unpack $VELMORA_E2E_DEB" >&2; exit 1; }
fi
# wine: a prefix made here once (a new one is about 700 MB, more than the VM's overlay holds; inside
# only the registry changes are written), with the null display driver (windows without a display),
# the DLL paths, and what the checks run. wine checks that the prefix is its user's: root's in the VM.
wine_env="$init/velmora/wine.env"
source "$root/scripts/wine-stage.sh"
if [ -z "${VELMORA_E2E_WINDOWS:-}" ]; then
  echo "wine_skip='no Windows build (set VELMORA_E2E_WINDOWS and VELMORA_E2E_QT)'" > "$wine_env"
elif ! find_wine; then
  echo "wine_skip='wine64 is not installed'" > "$wine_env"
elif [ "$(id -u)" -ne 0 ]; then
  echo "wine_skip='wine runs as root in the VM: the prefix must be made by root'" > "$wine_env"
else
  prefix="$cache/wineprefix"
  if [ "$(cat "$prefix/.made-by" 2> /dev/null)" != "$("$wine64" --version)" ]; then
    say "making the wine prefix $prefix"
    rm -rf "$prefix"
    (export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
      timeout 600 "$wine64" wineboot -i &&
        timeout 120 "$wine64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
        timeout 120 "$wineserver" -w) > "$cache/wineprefix.log" 2>&1 &&
      "$wine64" --version > "$prefix/.made-by" || { echo "e2e: cannot make $prefix" >&2; exit 1; }
  fi
  export_qt_wine_paths "${VELMORA_E2E_QT:?set VELMORA_E2E_QT with VELMORA_E2E_WINDOWS}"
  cat > "$wine_env" <<EOF
windows_build='$(cd "$VELMORA_E2E_WINDOWS" && pwd)'
export WINEPREFIX='$prefix' WINEPATH='$WINEPATH' QT_PLUGIN_PATH='$QT_PLUGIN_PATH' WINEDLLOVERRIDES='mscoree,mshtml='
EOF
fi
cat > "$init/velmora/env" <<EOF
VELMORA_ROOT='$root'
VELMORA_E2E_BUILD='$build'
VELMORA_E2E_KERNEL='$kernel'
VELMORA_E2E_MODULES='$wanted'
VELMORA_E2E_PACKAGE='$unpacked'
VELMORA_E2E_ONLY='${VELMORA_E2E_ONLY:-}'
EOF
(cd "$init" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initramfs.gz" ||
  { echo "e2e: cannot pack the initramfs" >&2; exit 1; }

# --- the boot -----------------------------------------------------------------------------------
case "$accel" in
  # kvm is opt-in: nested under another hypervisor it can abort at the first vCPU register write.
  # Without SMAP: with it, the guest kernel oopses in wine's return from a system call.
  auto|tcg) accel=tcg; accel_args=(-accel tcg -cpu max,smap=off) ;;
  kvm) accel_args=(-accel kvm -cpu host) ;;
  *) echo "e2e: VELMORA_E2E_ACCEL must be auto, kvm or tcg" >&2; exit 2 ;;
esac
# no_timer_check: on a loaded host the emulated CPU can be too slow for the kernel's IO-APIC timer
# test, which then panics at boot ("IO-APIC + timer doesn't work").
say "booting $package ($version) with $accel, at most $limit s"
boot_started=$(date +%s)
timeout --kill-after=10 "$limit" qemu-system-x86_64 "${accel_args[@]}" -smp 1 -m 1536 \
  -nographic -no-reboot -nic none \
  -kernel "$vmlinuz" -initrd "$work/initramfs.gz" \
  -append "console=ttyS0 panic=-1 no_timer_check loglevel=${VELMORA_E2E_LOGLEVEL:-4} rdinit=/init" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$work/out,mount_tag=out,security_model=none,multidevs=remap" \
  </dev/null > "$work/console.log" 2>&1
code=$?
[ $code -eq 124 ] && say "the VM did not finish within $limit s"
say "VM ran $(( $(date +%s) - boot_started )) s; console: $work/console.log, results: $work/out/"

# --- the verdict --------------------------------------------------------------------------------
results="$work/out/results.txt"
passed=0; failed=0
if [ -f "$results" ]; then
  while IFS= read -r line; do
    case "$line" in
      "PASS "*) passed=$((passed + 1)); echo "  $line" ;;
      "FAIL "*) failed=$((failed + 1)); echo "  $line" ;;
      "SKIP "*) echo "  $line" ;;
    esac
  done < "$results"
fi
if ! grep -qx "END" "$results" 2>/dev/null; then
  failed=$((failed + 1))
  echo "  FAIL vm: the checks did not run to their end (see $work/console.log)"
  tail -20 "$work/console.log"
fi
say "kernel $version, wall time $(( $(date +%s) - started )) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
