#!/bin/sh
# Installs what building, running and testing Quorvel needs on Debian 12 (run as root).
set -e
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    cmake ninja-build g++ pkg-config \
    qtbase5-dev qtbase5-dev-tools libqt5x11extras5-dev libxtst-dev libx11-dev libxcb-shm0-dev \
    libbenchmark-dev \
    xvfb xdotool xclip x11-utils x11-apps imagemagick \
    fonts-wqy-microhei \
    xdg-utils desktop-file-utils shared-mime-info libfile-mimeinfo-perl
