#!/usr/bin/env bash
# package_check.sh SOURCE_DIR CACHE_DIR VERSION: builds the Debian package (lintian clean) and
# installs it with apt-get into a fresh minimal Debian 12 root, where the programs, the manual
# pages, the desktop entry and the metadata must work and a batch of three pictures must stamp;
# apt-get purge must then leave no file of the package. The root is made once with debootstrap
# under CACHE_DIR and copied for each run. Root only (chroot); exit 77 otherwise.
set -euo pipefail
source=$(realpath "$1") version=$3
[ "$(id -u)" -eq 0 ] || { echo "needs root to make and enter the Debian root"; exit 77; }
mirror=${PICTORUM_DEBIAN_MIRROR:-http://deb.debian.org/debian}
mkdir -p "$2" && cache=$(realpath "$2")
base=$cache/bookworm root=$cache/root

# debootstrap mounts /proc and /sys inside the root it makes; a run cut short leaves them, and
# they must go before the folder does, or rm would reach into the machine's own.
remove_root() {
    awk -v dir="$1" '$2 == dir || index($2, dir "/") == 1 {print $2}' /proc/mounts | sort -r |
        while read -r mount; do umount -l "$mount"; done
    rm -rf --one-file-system "$1"
}
trap 'remove_root "$root"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
in_root() {
    timeout 900 chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

timeout 3600 bash "$source/scripts/package.sh"
deb=pictorum_${version}_$(dpkg --print-architecture).deb
[ -f "$source/build/$deb" ] || fail "no build/$deb: the package's version is not $version"

if [ ! -e "$base/.made" ]; then
    remove_root "$base"
    timeout 1200 debootstrap --variant=minbase --include=man-db bookworm "$base" "$mirror"
    printf 'deb %s %s main\n' "$mirror" bookworm "$mirror" bookworm-updates \
        http://deb.debian.org/debian-security bookworm-security >"$base/etc/apt/sources.list"
    touch "$base/.made"
fi
remove_root "$root"
cp -a "$base" "$root"
cp -L /etc/resolv.conf "$root/etc/resolv.conf" || true
cp "$source/build/$deb" "$root/tmp/"
in_root apt-get update -q
# Without the recommended packages: the Depends alone must make both programs work.
in_root apt-get install -y -q --no-install-recommends "/tmp/$deb"
# What was fetched stays with the kept root, so that the next run downloads only what changed.
cp -n "$root"/var/cache/apt/archives/*.deb "$base/var/cache/apt/archives/"

in_root /usr/bin/pictorum-batch --version | grep -x "pictorum-batch $version" ||
    fail "pictorum-batch --version does not say $version"
for page in pictorum pictorum-batch; do in_root man -w "$page" || fail "no manual page $page"; done
desktop-file-validate "$root/usr/share/applications/com.tollerby.pictorum.desktop"
appstreamcli validate-tree --pedantic --no-net "$root" | tee /dev/stderr |
    tail -n 1 | grep -qx "✔ Validation was successful." || fail "appstreamcli has remarks"

# A red 8x8 logo in the bottom-right corner of three blue pictures. PNG keeps the pixels
# exactly: the stated tolerance is 0. Each row: copy, x, y, its colour there.
pixel() {
    local at="p{$2,$3}"
    convert "$1" -format "%[fx:int(255*$at.r)],%[fx:int(255*$at.g)],%[fx:int(255*$at.b)]" info:
}
batch=$root/tmp/batch
mkdir -p "$batch"
convert -size 8x8 "xc:rgb(255,0,0)" "$batch/logo.png"
for width in 40 50 60; do convert -size ${width}x30 "xc:rgb(0,0,255)" "$batch/$width.png"; done
in_root pictorum-batch --overlay /tmp/batch/logo.png --format png --mkdir --output /tmp/batch/out \
    /tmp/batch/40.png /tmp/batch/50.png /tmp/batch/60.png
while read -r name x y colour; do
    [ -f "$batch/out/$name" ] || fail "no stamped copy $name"
    found=$(pixel "$batch/out/$name" "$x" "$y")
    [ "$found" = "$colour" ] || fail "$name at ($x,$y) is $found, wanted $colour"
done <<'POINTS'
000.PNG 39 29 255,0,0
000.PNG 32 22 255,0,0
000.PNG 31 21 0,0,255
001.PNG 49 29 255,0,0
001.PNG 0 0 0,0,255
002.PNG 52 22 255,0,0
002.PNG 51 29 0,0,255
POINTS

in_root dpkg-query -L pictorum >"$cache/files"
in_root apt-get purge -y -q pictorum
while read -r path; do
    # A folder may stay only while another package owns it.
    if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
        in_root dpkg-query -S "$path" >/dev/null 2>&1 || fail "purge left the folder $path"
    elif [ -e "$root$path" ] || [ -L "$root$path" ]; then
        fail "purge left $path"
    fi
done <"$cache/files"
echo "purge left none of the package's $(wc -l <"$cache/files") files and folders"
