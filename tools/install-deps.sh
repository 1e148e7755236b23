#!/usr/bin/env bash
# Installs every Debian package the workbench, its demo server, tests and benchmarks need.
# Skips apt entirely when everything is already present, so repeated runs are quick.
set -euo pipefail
PKGS=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools qt6-webchannel-dev
  libqt6svg6 qt6-qpa-plugins libgl-dev
  libcurl4-openssl-dev libsqlite3-dev libjsoncpp-dev libboost-dev libssl-dev uuid-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libsdl2-dev libx11-dev
  libcpp-httplib-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool trayer imagemagick fonts-noto-cjk fonts-dejavu-core dbus-x11
  dpkg-dev fakeroot desktop-file-utils appstream lintian xdg-utils libglib2.0-bin curl
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
