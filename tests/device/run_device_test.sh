#!/usr/bin/env bash
# The device test: boots a small virtual machine (qemu, Debian's kernel) with a virtual
# framebuffer and touchscreen, and runs touch_device_test.py in it on the built wendrel.
# Usage: run_device_test.sh <work folder> <wendrel> <device-helper> [sizes, e.g. 240x320,800x480]
# The kernel and initramfs are cached in <work folder>/guest; each run's logs, result.json and,
# on a failure, a PNG of the framebuffer are kept in <work folder>/run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$1"
work="$(cd "$1" && pwd)"
wendrel="$(readlink -f "$2")"
helper="$(readlink -f "$3")"
sizes="${4:-}"

"$here/prepare_guest.sh" "$work/guest"

run="$work/run"
rm -rf "$run"
mkdir -p "$run"
"$helper" table > "$run/keys.json"
cat > "$run/job.sh" <<JOB
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
exec /usr/bin/python3 "$here/touch_device_test.py" --run "$run" --wendrel "$wendrel" --helper "$helper" \
  --vfb "$work/guest/vfb.ko" --sizes "$sizes"
JOB

# TCG, not KVM: the same on every machine, and /dev/kvm inside a container may not work.
qemu-system-x86_64 -accel tcg -m 1024 -smp 2 -nographic -no-reboot -nic none \
  -kernel "$work/guest/vmlinuz" -initrd "$work/guest/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 wendrel.run=$run wendrel.keep=$(cd "$here/../.." && pwd):$(dirname "$(dirname "$wendrel")"):$(dirname "$helper")" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$run,mount_tag=run,security_model=none,multidevs=remap" \
  < /dev/null > "$run/console.log" 2>&1 &
qemu=$!
trap 'kill "$qemu" 2>/dev/null || true' EXIT
# The guest powers itself off; a hung guest is stopped well inside the test's time limit.
for _ in $(seq 360); do
  kill -0 "$qemu" 2>/dev/null || break
  sleep 1
done
if kill -0 "$qemu" 2>/dev/null; then
  echo "device test: the virtual machine did not finish within 6 minutes" >&2
  kill "$qemu"
fi
wait "$qemu" || true
trap - EXIT

cat "$run/guest.log" 2>/dev/null || { echo "device test: the guest wrote no log; its console:"; tail -20 "$run/console.log"; }
status="$(cat "$run/job.status" 2>/dev/null || echo none)"
if [ "$status" != 0 ]; then
  echo "device test failed (guest status $status); logs and pictures in $run" >&2
  ls "$run"/*.png 2>/dev/null >&2 || true
  exit 1
fi
