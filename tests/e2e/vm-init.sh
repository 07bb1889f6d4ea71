#!/bin/busybox sh
# /init of the e2e VM: loads the modules, shares the host's root read-only under an overlay, runs
# vm-checks.sh in it and powers off. Results go to the writable share "out".
/bin/busybox --install -s
export PATH=/bin:/sbin:/usr/bin:/usr/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
. /velmora/env

finish() {
  dmesg > /out/dmesg-end.txt 2>/dev/null
  sync
  poweroff -f
  echo o > /proc/sysrq-trigger
}

for module in $VELMORA_E2E_MODULES; do
  grep -q "/${module}.ko\|/$(echo "$module" | tr _ -).ko" "/lib/modules/$(uname -r)/modules.dep" || continue
  modprobe "$module" || echo "init: modprobe $module failed"
done

mount -t 9p -o trans=virtio,version=9p2000.L out /out || { echo "init: no results share"; finish; }
echo "kernel $(uname -r)" > /out/vm.txt
if ! mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose hostroot /host; then
  echo "FAIL vm: the host root cannot be mounted over 9p" >> /out/results.txt
  echo END >> /out/results.txt
  finish
fi
mount -t tmpfs -o size=512m tmpfs /overlay
mkdir -p /overlay/upper /overlay/work
mount -t overlay overlay -o lowerdir=/host,upperdir=/overlay/upper,workdir=/overlay/work /newroot || {
  echo "FAIL vm: the overlay over the host root cannot be mounted" >> /out/results.txt
  echo END >> /out/results.txt
  finish
}
for dir in proc sys dev; do mount --bind "/$dir" "/newroot/$dir"; done
# /tmp stays the host's (writable through the overlay): the checkout under test may live there.
mount -t tmpfs tmpfs /newroot/run
mkdir -p /newroot/run/udev /newroot/e2e-out /newroot/e2e-bin
mount --bind /out /newroot/e2e-out
mount --bind /velmora /newroot/e2e-bin

chroot /newroot /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  VELMORA_ROOT="$VELMORA_ROOT" VELMORA_E2E_BUILD="$VELMORA_E2E_BUILD" \
  VELMORA_E2E_PACKAGE="${VELMORA_E2E_PACKAGE:-}" E2E_OUT=/e2e-out E2E_BIN=/e2e-bin \
  VELMORA_E2E_ONLY="${VELMORA_E2E_ONLY:-}" \
  /bin/bash "$VELMORA_ROOT/tests/e2e/vm-checks.sh" 2>&1 | tee /out/checks.log
echo "init: checks ended with $?" >> /out/checks.log
finish
