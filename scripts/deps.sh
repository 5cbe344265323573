#!/usr/bin/env bash
# Installs the Debian packages the build needs, and with --tests those the tests need too. As root
# it installs what is missing; otherwise it names the missing packages and fails.
#   scripts/deps.sh [--tests]
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  zlib1g-dev python3
  fonts-dejavu-core
  libhunspell-1.7-0 hunspell-en-us
  libxcb-randr0-dev
  shared-mime-info
  # PDF export: qpdf's library adds the outline, information and notes.
  libqpdf-dev
  # Word and OpenDocument files are zip archives.
  libzip-dev
)

# The program itself runs without these: .doc files need LibreOffice, which it finds when present.
test_packages=(
  xvfb xauth xdotool imagemagick
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils openbox icewm
  binutils desktop-file-utils
  dbus dbus-daemon
  # Independent readers of our PDF files: poppler's, qpdf's and MuPDF's own tools.
  qpdf poppler-utils mupdf-tools
  # Converts .doc and reads and writes our Word and OpenDocument files back.
  libreoffice-writer-nogui
)
if [ "${1:-}" = "--tests" ]; then
  packages+=("${test_packages[@]}")
fi

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
