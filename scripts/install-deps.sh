#!/bin/sh
# Installs everything KORU needs to build and test on Debian 12 (as root, or through sudo).
set -e
PACKAGES="cmake ninja-build g++ pkg-config zlib1g-dev libpng-dev libgtest-dev libbenchmark-dev \
  gcc-arm-none-eabi binutils-arm-none-eabi libnewlib-arm-none-eabi \
  libsdl2-dev libfluidsynth-dev timgm6mb-soundfont \
  qt6-base-dev fonts-wqy-microhei xvfb xauth x11-apps imagemagick xdotool \
  clang libclang-rt-14-dev"
# apt-get installs what is missing and leaves what is there, so the same
# command serves a fresh machine and one that has everything. When every
# package is there already, apt-get is not run at all (no root needed).
# Root installs directly; another user goes through sudo.
missing=
for package in $PACKAGES; do
    dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^ii' || missing="$missing $package"
done
if [ -z "$missing" ]; then
    echo "install-deps: every package is installed"
    exit 0
fi
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO="sudo -E"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y $PACKAGES
