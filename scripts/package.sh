#!/usr/bin/env bash
# Builds the Debian package build/pictorum_<version>_<arch>.deb from this tree with Debian's
# own tools (debhelper's CMake support, dpkg-shlibdeps for the Depends) and checks it with
# lintian, which must report no error and no warning. Install it with
#   sudo apt install ./build/pictorum_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh >/dev/null
work=build/package
# dpkg-buildpackage builds inside the tree it is given and writes the package beside it, so it
# gets a copy under build/: the tree itself stays as it was.
rm -rf "$work"
mkdir -p "$work/src"
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$work/src"
(cd "$work/src" && dpkg-buildpackage --build=binary --unsigned-source --unsigned-changes -Jauto)

version=$(dpkg-parsechangelog -l debian/changelog -S Version)
deb="pictorum_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).deb"
mv "$work/$deb" build/
lintian --fail-on error,warning --tag-display-limit 0 "build/$deb"
echo "Built build/$deb"
