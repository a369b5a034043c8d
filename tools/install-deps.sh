#!/bin/sh
# Installs what building, running and testing Quorvel needs on Debian 12. Run it as root, or as
# a user with sudo: it asks for root itself only when it is not root already (a fresh machine
# used as root often has no sudo at all).
set -e
if [ "$(id -u)" -ne 0 ]; then
    exec sudo sh "$0" "$@"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    cmake ninja-build g++ pkg-config \
    qtbase5-dev qtbase5-dev-tools libqt5x11extras5-dev libxtst-dev libxi-dev libx11-dev libxcb-shm0-dev \
    qttranslations5-l10n \
    libbenchmark-dev clang libclang-rt-14-dev \
    libssl-dev python3-cryptography zlib1g-dev \
    xvfb xdotool xclip x11-utils x11-apps imagemagick openbox trayer \
    fonts-wqy-microhei \
    xdg-utils desktop-file-utils shared-mime-info libfile-mimeinfo-perl
