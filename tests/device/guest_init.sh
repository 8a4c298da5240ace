#!/bin/busybox sh
# init of the virtual touch device: mounts the host's root read-only and the run folder
# writable over 9p, then runs the run folder's job.sh in the host's root and powers off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in $(cat /modules/order); do insmod "/modules/$module"; done
run="$(sed -n 's/.*wendrel\.run=\([^ ]*\).*/\1/p' /proc/cmdline)"
options=trans=virtio,version=9p2000.L,msize=262144,cache=loose
if mount -t 9p -o "$options,ro" hostroot /host; then
  mount -t proc proc /host/proc
  mount -t sysfs sys /host/sys
  mount -t devtmpfs dev /host/dev
  # The host's /tmp gives way to the guest's own; folders the job needs that lie in it (a
  # source tree or build folder under /tmp), named in wendrel.keep, stay visible.
  keep="$(sed -n 's/.*wendrel\.keep=\([^ ]*\).*/\1/p' /proc/cmdline)"
  mkdir -p /hosttmp
  mount -o bind /host/tmp /hosttmp
  mount -t tmpfs tmp /host/tmp
  for folder in $(echo "$keep" | tr ':' ' '); do
    case "$folder" in
      /tmp/?*) mkdir -p "/host$folder" && mount -o bind "/hosttmp${folder#/tmp}" "/host$folder" ;;
    esac
  done
  mount -t tmpfs run /host/run
  mkdir -p "/host$run" 2>/dev/null  # a run folder under /tmp lies in the new tmpfs
  mount -t 9p -o "$options" run "/host$run"
  chroot /host /bin/sh "$run/job.sh" > "/host$run/guest.log" 2>&1
  echo $? > "/host$run/job.status"
  sync
  umount "/host$run"
else
  echo "guest: cannot mount the host's files over 9p" > /dev/console
fi
poweroff -f
