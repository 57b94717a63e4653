#!/usr/bin/env bash
# package_check.sh SOURCE_DIR ROOT VERSION: the .deb (lintian clean), installed by apt-get into
# a fresh minimal Debian 12 root (scripts/debian-root.sh), must run, validate and stamp three
# pictures there, and apt-get purge must then leave no file of it behind. Root only (chroot);
# exit 77 otherwise.
set -euo pipefail
source=$(realpath "$1") root=$(realpath -m "$2") version=$3
[ "$(id -u)" -eq 0 ] || { echo "needs root to make and enter the Debian root"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }
in_root() { timeout 900 chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin:/usr/sbin:/sbin \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
trap 'bash "$source/scripts/debian-root.sh" --remove "$root"' EXIT

timeout 3600 bash "$source/scripts/package.sh"
deb=pictorum_${version}_$(dpkg --print-architecture).deb
[ -f "$source/build/$deb" ] || fail "no build/$deb: the package's version is not $version"
bash "$source/scripts/debian-root.sh" "$root"
cp "$source/build/$deb" "$root/tmp/"
in_root apt-get update -q
# Without the recommended packages: the Depends alone must make both programs work.
in_root apt-get install -y -q --no-install-recommends "/tmp/$deb"
cp -n "$root"/var/cache/apt/archives/*.deb "$root.base/var/cache/apt/archives/" # for next time

in_root pictorum-batch --version | grep -x "pictorum-batch $version" || fail "not version $version"
# The window program must start and keep running (until the timeout, status 124).
in_root env QT_QPA_PLATFORM=offscreen timeout 10 pictorum || [ $? -eq 124 ] || fail "pictorum ended"
in_root man -w pictorum && in_root man -w pictorum-batch
desktop-file-validate "$root/usr/share/applications/com.tollerby.pictorum.desktop"
# Its mark before the verdict depends on the locale ("?" without UTF-8); a remark would add
# ": pedantic: N" after "successful".
appstreamcli validate-tree --pedantic --no-net "$root" | tee /dev/stderr | tail -n 1 |
    grep -q "Validation was successful\.$" || fail "appstreamcli has remarks"

# A red 8x8 logo at the bottom right of three blue pictures, 30 high, written as TIFF (the
# default, from the image-formats plugins the package depends on), which keeps the pixels
# exactly: the stated tolerance is 0. Each row: copy, x, y, its red,green,blue there.
mkdir "$root/tmp/in" && convert -size 8x8 "xc:red" "$root/tmp/logo.png"
for w in 40 50 60; do convert -size ${w}x30 "xc:blue" "$root/tmp/in/$w.png"; done
in_root pictorum-batch --overlay /tmp/logo.png --mkdir --output /tmp/out \
    /tmp/in/40.png /tmp/in/50.png /tmp/in/60.png
while read -r name x y rgb; do
    at="p{$x,$y}"
    found=$(convert "$root/tmp/out/$name" -format \
        "%[fx:int(255*$at.r)],%[fx:int(255*$at.g)],%[fx:int(255*$at.b)]" info:)
    [ "$found" = "$rgb" ] || fail "$name at ($x,$y) is $found, wanted $rgb"
done <<'POINTS'
000.TIF 39 29 255,0,0
000.TIF 31 21 0,0,255
001.TIF 42 22 255,0,0
002.TIF 0 0 0,0,255
POINTS

in_root dpkg-query -L pictorum | grep -vx /. >"$root.files"
in_root apt-get purge -y -q pictorum
while read -r path; do # a folder may stay only while another package owns it
    if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
        in_root dpkg-query -S "$path" >/dev/null || fail "purge left the folder $path"
    elif [ -e "$root$path" ] || [ -L "$root$path" ]; then fail "purge left $path"; fi
done <"$root.files"
echo "purge left none of the package's $(wc -l <"$root.files") files and folders"
