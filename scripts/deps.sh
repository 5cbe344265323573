#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. As root it installs what is
# missing; otherwise it names the missing packages and fails.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  zlib1g-dev python3
  fonts-dejavu-core
  libhunspell-1.7-0 hunspell-en-us
  libxcb-randr0-dev
  xvfb xauth xdotool imagemagick
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils openbox icewm
  binutils shared-mime-info desktop-file-utils
  dbus dbus-daemon
  # PDF export: qpdf's library adds the outline, information and notes; the tests read the result
  # with poppler's, qpdf's and MuPDF's own tools.
  libqpdf-dev qpdf poppler-utils mupdf-tools
  # Word and OpenDocument files are zip archives; LibreOffice converts .doc and checks our files.
  libzip-dev libreoffice-writer-nogui
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
