#!/usr/bin/env bash
# Installs the Debian packages Tarnwell builds and tests with; does nothing when they are all there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config clang-format clang libclang-rt-14-dev
  qt6-base-dev libmpv-dev libespeak-ng-dev espeak-ng-data
  libgtest-dev libgmock-dev libbenchmark-dev
  sox libsox-fmt-mp3 lame
  python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
