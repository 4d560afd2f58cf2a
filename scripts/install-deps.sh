#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: packages that
# are already installed are not touched, and the package index is refreshed
# at most once, only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential
  cmake
  pkg-config
  clang
  lld
  ninja-build
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libssl-dev
  nlohmann-json3-dev
  libsimdjson-dev
  libsqlite3-dev
  libcurl4-openssl-dev
  libboost-dev
  libcairo2-dev
  libjpeg-dev
  libpng-dev
  libpango1.0-dev
  fonts-noto-cjk
  libsdl2-dev
  libx11-dev
  libxcb-shm0-dev
  xvfb
  xdotool
  libzbar-dev
  libqrencode-dev
  libgstreamer1.0-dev
  libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good
  ca-certificates
  openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
