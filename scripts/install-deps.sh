#!/bin/sh
# Installs everything KORU needs to build and test on Debian 12 (as root, or through sudo).
set -e
PACKAGES="cmake ninja-build g++ pkg-config zlib1g-dev libpng-dev libgtest-dev libbenchmark-dev \
  gcc-arm-none-eabi binutils-arm-none-eabi libnewlib-arm-none-eabi \
  libsdl2-dev libfluidsynth-dev timgm6mb-soundfont \
  qt6-base-dev fonts-wqy-microhei xvfb xauth x11-apps imagemagick xdotool \
  clang libclang-rt-14-dev"
# apt-get installs what is missing and leaves what is there, so the same
# command serves a fresh machine and one that has everything.
# Root installs directly; another user goes through sudo.
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO="sudo -E"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y $PACKAGES
