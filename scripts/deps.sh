#!/usr/bin/env bash
# Installs the Debian 12 packages Keybird builds, runs and tests with. Idempotent: it
# asks apt only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  portaudio19-dev libportaudio2
  libsndfile1-dev libsoxr-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
if [ "${1:-}" = "--test" ]; then
  packages+=(
    clang libclang-rt-14-dev clang-format
    pulseaudio pulseaudio-utils libasound2-plugins alsa-utils sox multimon-ng
    desktop-file-utils
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
