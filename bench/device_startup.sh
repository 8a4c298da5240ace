#!/usr/bin/env bash
# The first complete frame on a device's framebuffer: the toolkit's floor (a text edit and 66
# push buttons) against the keys drawn by one view and against wendrel, with the toolkit's two
# lower bounds (the same picture from Qt Gui alone and from one Qt Widgets widget), in the device check's
# virtual machine (qemu, Debian's kernel, a 240 x 320 framebuffer and a touchscreen). The guest's
# kernel and initramfs are made by tests/device/prepare_guest.sh, as the device check makes them.
# Usage: device_startup.sh <work folder> <folder of the built programs> [rounds, 7 unless given]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
mkdir -p "$1"
work="$(cd "$1" && pwd)"
bin="$(cd "$2" && pwd)"
rounds="${3:-7}"

"$root/tests/device/prepare_guest.sh" "$work/guest"

run="$work/run"
rm -rf "$run"
mkdir -p "$run"
"$bin/startup_probe" table > "$run/keys.json"
cat > "$run/job.sh" <<JOB
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
exec /usr/bin/python3 "$here/device_startup.py" --run "$run" --vfb "$work/guest/vfb.ko" \
  --probe "$bin/startup_probe" --wendrel "$bin/wendrel" --bare-gui "$bin/bare_gui_window" \
  --bare-widget "$bin/bare_widget_window" --rounds "$rounds"
JOB

# TCG, as the device check runs it: the same on every machine.
qemu-system-x86_64 -accel tcg -m 1024 -smp 2 -nographic -no-reboot -nic none \
  -kernel "$work/guest/vmlinuz" -initrd "$work/guest/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 wendrel.run=$run" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$run,mount_tag=run,security_model=none,multidevs=remap" \
  < /dev/null > "$run/console.log" 2>&1 &
qemu=$!
trap 'kill "$qemu" 2>/dev/null || true' EXIT
for _ in $(seq 1200); do
  kill -0 "$qemu" 2>/dev/null || break
  sleep 1
done
if kill -0 "$qemu" 2>/dev/null; then
  echo "device_startup: the virtual machine did not finish within 20 minutes" >&2
  kill "$qemu"
fi
wait "$qemu" || true
trap - EXIT

cat "$run/guest.log" 2>/dev/null || { echo "device_startup: the guest wrote no log; its console:"; tail -20 "$run/console.log"; }
[ "$(cat "$run/job.status" 2>/dev/null || echo none)" = 0 ]
