#!/bin/sh
# Runs in the test guest, on the host's own root: starts udev, so that the
# adapter gets its /dev/serial/by-id name, says it is ready, and then runs
# each command the host puts into the results folder (cmd-1, cmd-2, ...),
# leaving its output and exit code beside it.
results=$1
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp QT_QPA_PLATFORM=offscreen
export KVR7314_DATA_DIR=/tmp/kvr7314 XDG_RUNTIME_DIR=/tmp/runtime
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# In the background rather than --daemon, which does not stay when the
# shell that starts it is the guest's first process.
SYSTEMD_IGNORE_CHROOT=1 /lib/systemd/systemd-udevd >/dev/null 2>&1 &
sleep 1
SYSTEMD_IGNORE_CHROOT=1 udevadm trigger --type=subsystems --action=add
SYSTEMD_IGNORE_CHROOT=1 udevadm trigger --type=devices --action=add
SYSTEMD_IGNORE_CHROOT=1 udevadm settle --timeout=30
echo "kvr7314-vm: ready"
touch "$results/ready"

n=1
while :; do
  while [ ! -f "$results/cmd-$n" ]; do sleep 0.05; done
  sh "$results/cmd-$n" >"$results/out-$n" 2>"$results/err-$n"
  echo $? >"$results/rc-$n.new"
  mv "$results/rc-$n.new" "$results/rc-$n"
  n=$((n + 1))
done
