#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing.
# Safe to run again: it does nothing when everything is present. Packages named as arguments
# (a benchmark's peers, a fuzzer's compiler, clang-tidy) are installed along with the project's own.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config clang-format git  # git: the format check lists tracked files
    qt6-base-dev qt6-image-formats-plugins libgl-dev zlib1g-dev libturbojpeg0-dev libjpeg62-turbo-dev
    liblcms2-dev libexiv2-dev libpng-dev libwebp-dev libtiff-dev libheif-dev libjxl-dev
    libgtest-dev
    fonts-dejavu-core
    xvfb xauth xdotool x11-utils imagemagick
    qt6ct  # the end-to-end look at a dark palette
    weston qt6-wayland  # the end-to-end run under a Wayland compositor
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n  # translations: ours compiled, Qt's own
    desktop-file-utils appstream python3
    help2man parallel
    locales  # a German locale compiled by the option tests: numbers read alike in every locale
    build-essential debhelper dpkg-dev lintian debootstrap  # the Debian package and its test
    slurm-wlm munge  # the one-node cluster of the slurm test
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
