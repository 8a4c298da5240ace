#!/usr/bin/env bash
# Makes the kernel and the initial RAM disk of the virtual touch device, once, under a cache
# folder: Debian's kernel package is fetched with apt-get and unpacked (never installed), and
# a small initramfs holds busybox, the modules that reach the host's files over 9p and a virtual
# disk with ext4 on it (device-mapper's delay target can make that disk as slow as a memory card),
# and init.
# Usage: prepare_guest.sh <cache folder>
set -euo pipefail
cache="$1"
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$cache"
cache="$(cd "$cache" && pwd)"
ready="$cache/ready"
if [ -f "$ready" ] && [ "$ready" -nt "$here/guest_init.sh" ] && [ "$ready" -nt "$0" ]; then
  exit 0
fi

# The kernel that Debian's metapackage names; unpacked once.
package="$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')"
[ -n "$package" ] || { echo "prepare_guest: apt-cache names no linux-image package (run apt-get update)" >&2; exit 1; }
version="${package#linux-image-}"
kernel="$cache/kernel"
if [ ! -f "$kernel/boot/vmlinuz-$version" ]; then
  rm -rf "$kernel" "$cache/download"
  mkdir -p "$cache/download"
  (cd "$cache/download" && apt-get download -q "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  deb="$(ls "$cache/download"/*.deb 2>/dev/null | head -1)"
  [ -n "$deb" ] || { echo "prepare_guest: apt-get download $package failed" >&2; exit 1; }
  dpkg-deb -x "$deb" "$kernel"
  rm -rf "$cache/download"
  depmod -b "$kernel" "$version"
fi

# The initramfs: busybox, the modules in load order, init.
initrd="$cache/initramfs"
rm -rf "$initrd"
mkdir -p "$initrd"/{bin,dev,proc,sys,host,modules}
cp /bin/busybox "$initrd/bin/busybox"
: > "$initrd/modules/order"
for module in virtio_pci 9pnet_virtio 9p evdev uinput virtio_blk ext4 dm-delay; do
  /sbin/modprobe -d "$kernel" -S "$version" --show-depends "$module" | awk '$1 == "insmod" {print $2}' |
    while read -r file; do
      name="$(basename "$file")"
      grep -qx "$name" "$initrd/modules/order" && continue
      cp "$file" "$initrd/modules/$name"
      echo "$name" >> "$initrd/modules/order"
    done
done
cp "$here/guest_init.sh" "$initrd/init"
chmod +x "$initrd/init"
(cd "$initrd" && find . | /bin/busybox cpio -o -H newc 2>/dev/null | gzip -1 > "$cache/initrd.gz")
ln -sf "kernel/boot/vmlinuz-$version" "$cache/vmlinuz"
# The same kernel uncompressed, which qemu starts directly (PVH): the emulated CPU spends seconds
# unpacking the compressed one at every boot, which a check that boots many times can spare.
if [ ! -f "$cache/vmlinux-$version" ]; then
  rm -f "$cache"/vmlinux*
  /usr/bin/python3 - "$kernel/boot/vmlinuz-$version" "$cache/vmlinux-$version" <<'PYTHON'
import lzma, sys
image = open(sys.argv[1], "rb").read()
start = image.find(b"\xfd7zXZ\x00")
kernel = lzma.LZMADecompressor().decompress(image[start:]) if start >= 0 else b""
if not kernel.startswith(b"\x7fELF"):
    sys.exit("prepare_guest: no xz-compressed ELF kernel in " + sys.argv[1])
open(sys.argv[2], "wb").write(kernel)
PYTHON
fi
ln -sf "vmlinux-$version" "$cache/vmlinux"
# The framebuffer module is loaded by the test itself, once per screen size.
ln -sf "$(/sbin/modprobe -d "$kernel" -S "$version" --show-depends vfb | awk '$1 == "insmod" {print $2}' | tail -1)" "$cache/vfb.ko"
touch "$ready"
