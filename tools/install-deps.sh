#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Runs apt only when something is missing, so a prepared machine pays nothing.
set -euo pipefail

packages=(
  # build and run
  build-essential cmake ninja-build ccache pkg-config
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libopenjp2-7-dev libraw-dev liblcms2-dev
  libcurl4-openssl-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation2
  libx11-dev libxext-dev libxfixes-dev libasound2-dev libudev-dev libpixman-1-dev
  xdg-utils
  # tests
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils xcompmgr xclip openbox
  imagemagick ffmpeg netpbm libtiff-tools libjpeg-turbo-progs unrtf xdg-user-dirs
  python3 python3-aiosmtpd python3-pyftpdlib msmtp ghostscript
  libvips-tools liblcms2-utils icc-profiles-free libgs-common
)

missing=()
for p in "${packages[@]}"; do
  [[ "$p" == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
