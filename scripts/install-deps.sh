#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs every Debian package that building, testing, packaging, fuzzing,
# benchmarking and screenshotting RowSifter needs (clang and its runtimes for
# the fuzz targets, llvm for llvm-symbolizer's readable sanitizer reports,
# clang-format for the layout check). Safe to run again: apt skips what is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools qttools5-dev-tools
  libzip-dev zlib1g-dev libdeflate-dev libisal-dev libexpat1-dev libhwy-dev
  libgsf-1-dev libxml2-dev libxlsxwriter-dev libixion-dev
  libgtest-dev googletest
  clang libclang-rt-14-dev llvm clang-format
  xvfb x11-apps imagemagick fonts-wqy-zenhei
  help2man dpkg-dev file desktop-file-utils groff-base binutils lintian
  python3 python3-openpyxl python3-xlwt python3-matplotlib
  time util-linux
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
