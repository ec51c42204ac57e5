#!/usr/bin/env bash
# The tool on the kernel's own serial drivers: a QEMU guest with the Debian
# kernel, an FTDI USB-serial adapter (ftdi_sio) and a 16550 UART (8250),
# udev, and the host's root over 9p; the simulated module on the far side
# of each chip, on a host pseudo-terminal. tests/tst_vm (run from here)
# drives it; see the README's "Proved on the kernel's serial drivers".
#
#   scripts/vm-serial.sh [BUILD]      (default build/)
#
# KVR_VM_LEAVE_OUT=ftdi_sio builds the guest without that driver, to see
# the stage fail.
set -euo pipefail
source "$(dirname "$0")/common.sh"
kvr_install_packages qemu-system-x86 linux-image-amd64 busybox-static udev kmod cpio
build=${1:-$KVR_ROOT/build}
vm="$build/vm"

# The newest Debian kernel installed, and its modules.
kernel=$(ls /boot/vmlinuz-*-amd64 | sort -V | tail -n 1)
version=${kernel#/boot/vmlinuz-}
drivers=(ftdi_sio xhci_pci virtio_pci virtio_console 9pnet_virtio 9p)
rm -rf "$vm/initramfs" "$vm/results"
mkdir -p "$vm/initramfs/bin" "$vm/initramfs/modules" "$vm/initramfs/proc" "$vm/initramfs/sys" \
         "$vm/initramfs/dev" "$vm/results"
cp /bin/busybox "$vm/initramfs/bin/busybox"
cp "$KVR_ROOT/tests/vm/init" "$vm/initramfs/init"
chmod 755 "$vm/initramfs/init"
echo "$KVR_ROOT/tests/vm/guest.sh" >"$vm/initramfs/guest-script"
# The folders the guest runs from, parents first: they stay reachable even
# under the guest's own /tmp, /var/tmp and /run.
build=$(cd "$build" && pwd)
printf '%s\n' "$KVR_ROOT" "$build" | sort -u >"$vm/initramfs/kept-folders"
: >"$vm/initramfs/modules.order"
for driver in "${drivers[@]}"; do
  [ "$driver" = "${KVR_VM_LEAVE_OUT:-}" ] && continue
  modprobe -S "$version" --show-depends "$driver" | while read -r _ path _; do
    name=$(basename "$path" .ko)
    grep -qx "$name" "$vm/initramfs/modules.order" && continue
    [ "$name" = "${KVR_VM_LEAVE_OUT:-}" ] && continue
    cp "$path" "$vm/initramfs/modules/$name.ko"
    echo "$name" >>"$vm/initramfs/modules.order"
  done
done
(cd "$vm/initramfs" && find . | cpio -o -H newc --quiet) | gzip -1 >"$vm/initrd.gz"

KVR_VM_KERNEL="$kernel" KVR_VM_INITRD="$vm/initrd.gz" KVR_VM_RESULTS="$vm/results" \
  KVR_SOURCE_DIR="$KVR_ROOT" QT_QPA_PLATFORM=offscreen "$build/tests/tst_vm"
