#!/usr/bin/env bash
# Editing on glass timed on the virtual 240 x 320 touch device: press to popup, and the pace of
# a held BackSpace's deletions as the screen shows them. Boots the device test's virtual machine
# (tests/device) with bench/device_editing_bench.py as its job.
# Usage: device_editing.sh <work folder> <folder of the built programs (wendrel, startup_probe)>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
devices="$here/../tests/device"
mkdir -p "$1"
work="$(cd "$1" && pwd)"
bin="$(cd "$2" && pwd)"
wendrel="$bin/wendrel"

"$devices/prepare_guest.sh" "$work/guest"
run="$work/editing-run"
rm -rf "$run"
mkdir -p "$run"
"$bin/startup_probe" table > "$run/keys.json"
cat > "$run/job.sh" <<JOB
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
exec /usr/bin/python3 "$here/device_editing_bench.py" --run "$run" --wendrel "$wendrel" --vfb "$work/guest/vfb.ko"
JOB

qemu-system-x86_64 -accel tcg -m 1024 -smp 2 -nographic -no-reboot -nic none \
  -kernel "$work/guest/vmlinuz" -initrd "$work/guest/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 wendrel.run=$run" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$run,mount_tag=run,security_model=none,multidevs=remap" \
  < /dev/null > "$run/console.log" 2>&1 &
qemu=$!
trap 'kill "$qemu" 2>/dev/null || true' EXIT
for _ in $(seq 300); do
  kill -0 "$qemu" 2>/dev/null || break
  sleep 1
done
kill "$qemu" 2>/dev/null || true
wait "$qemu" || true
trap - EXIT
cat "$run/guest.log" 2>/dev/null || { echo "editing benchmark: the guest wrote no log" >&2; exit 1; }
[ "$(cat "$run/job.status" 2>/dev/null)" = 0 ]
