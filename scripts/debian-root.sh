#!/usr/bin/env bash
# A fresh minimal Debian 12 root in which to try the package without touching this machine
# (as root; then copy the .deb in and `chroot DIR apt-get install /tmp/pictorum_...deb`):
#   bash scripts/debian-root.sh DIR            DIR becomes a new copy of the kept root
#   bash scripts/debian-root.sh --remove DIR   unmounts whatever is mounted in DIR, removes it
# The root is made once by debootstrap (minbase, with man-db; bookworm, its updates and
# security) in DIR.base and kept there; PICTORUM_DEBIAN_MIRROR names a mirror other than
# deb.debian.org. The package test works in such a root.
set -euo pipefail
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 [--remove] DIR" >&2; exit 2; }
mirror=${PICTORUM_DEBIAN_MIRROR:-http://deb.debian.org/debian}

# debootstrap mounts /proc and /sys in its root, and a run cut short leaves them: they must go
# before the folder does, or rm would reach into the machine's own.
remove() {
    awk -v d="$1" '$2 == d || index($2, d "/") == 1 {print $2}' /proc/mounts | sort -r |
        while read -r mount; do umount -l "$mount"; done
    rm -rf --one-file-system "$1"
}
if [ "$1" = --remove ]; then remove "$(realpath -m "$2")" && exit 0; fi

root=$(realpath -m "$1") base=$(realpath -m "$1").base
if [ ! -e "$base/.made" ]; then
    remove "$base"
    timeout 1200 debootstrap --variant=minbase --include=man-db bookworm "$base" "$mirror"
    printf 'deb %s %s main\n' "$mirror" bookworm "$mirror" bookworm-updates \
        http://deb.debian.org/debian-security bookworm-security >"$base/etc/apt/sources.list"
    touch "$base/.made"
fi
remove "$root"
cp -a "$base" "$root"
rm "$root/.made"
cp -L /etc/resolv.conf "$root/etc/" || true
