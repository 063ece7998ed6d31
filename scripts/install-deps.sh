#!/usr/bin/env bash
# Installs the Debian 12 packages that Tollamer needs to build and test.
# Idempotent and non-interactive: packages already present are not fetched.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake pkg-config dpkg-dev file
  googletest libgtest-dev libgmock-dev
  libcli11-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-noto-cjk
  zlib1g-dev
  dosfstools mtools ntfs-3g
  libsqlite3-dev sqlite3 libpq-dev postgresql
  clang-14 libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 zip tcl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
