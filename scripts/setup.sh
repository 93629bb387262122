#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  googletest libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libstb-dev
  # cross build
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  # running and driving the player
  wine wine64 xvfb xauth xdotool x11-apps imagemagick
  # sound through the platform's media graph
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good libasound2 libasound2-plugins sox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: run this script as root (or with sudo) to install them." >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
