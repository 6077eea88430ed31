#!/usr/bin/env python3
"""A minimal initramfs for the arm64 guest, made on the host from an unpacked (unconfigured) root:
its busybox and the few modules that reach an ext4 root on a virtio disk. The root's own initramfs
would need its packages configured first, which only the arm64 guest can do.

    arm64-initrd.py ROOT KERNEL_VERSION OUT.cpio.gz

The kernel command line's panel.init= names what runs after the switch to the root (default
/sbin/init).
"""
import gzip
import os
import re
import stat
import sys

WANTED = ["virtio_pci", "virtio_blk", "ext4", "crc32c_generic"]

INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /root
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for module in $(cat /modules); do insmod /lib/$module; done
next=/sbin/init
for word in $(cat /proc/cmdline); do
    case $word in panel.init=*) next=${word#panel.init=} ;; esac
done
i=0
while [ ! -b /dev/vda ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
mount -t ext4 -o rw /dev/vda /root || { echo "initrd: no root"; echo o > /proc/sysrq-trigger; }
mount --move /dev /root/dev
umount /proc /sys
exec switch_root /root "$next"
"""


def module_paths(root, version):
    base = os.path.join(root, "lib", "modules", version)
    found = {}
    for folder, _, files in os.walk(base):
        for name in files:
            if name.endswith(".ko"):
                found[name[:-3].replace("-", "_")] = os.path.join(folder, name)
    return found


def depends(path):
    with open(path, "rb") as f:
        data = f.read()
    match = re.search(rb"depends=([^\0]*)\0", data)
    return [d.decode().replace("-", "_") for d in match.group(1).split(b",") if d] if match else []


def load_order(paths, wanted):
    order = []

    def visit(name):
        if name in order:
            return
        if name not in paths:
            return  # built into the kernel
        for dependency in depends(paths[name]):
            visit(dependency)
        order.append(name)

    for name in wanted:
        visit(name)
    return order


def cpio_entry(out, name, mode, data=b""):
    header = "070701" + "".join(f"{v:08x}" for v in (
        0, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name) + 1, 0))
    out.write(header.encode() + name.encode() + b"\0")
    out.write(b"\0" * ((4 - (110 + len(name) + 1) % 4) % 4))
    out.write(data)
    out.write(b"\0" * ((4 - len(data) % 4) % 4))


def main():
    root, version, target = sys.argv[1:4]
    paths = module_paths(root, version)
    order = load_order(paths, WANTED)
    with open(os.path.join(root, "bin", "busybox"), "rb") as f:
        busybox = f.read()
    with gzip.open(target, "wb") as out:
        for folder in ("bin", "lib", "proc", "sys", "dev", "root"):
            cpio_entry(out, folder, stat.S_IFDIR | 0o755)
        cpio_entry(out, "bin/busybox", stat.S_IFREG | 0o755, busybox)
        cpio_entry(out, "init", stat.S_IFREG | 0o755, INIT.encode())
        cpio_entry(out, "modules", stat.S_IFREG | 0o644, ("\n".join(f"{m}.ko" for m in order) + "\n").encode())
        for name in order:
            with open(paths[name], "rb") as f:
                cpio_entry(out, f"lib/{name}.ko", stat.S_IFREG | 0o644, f.read())
        cpio_entry(out, "TRAILER!!!", 0)
    print(" ".join(order))


if __name__ == "__main__":
    main()
