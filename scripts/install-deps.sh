#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tool need,
# skipping those already present. Arguments name further packages (the
# package script's tools).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqcustomplot-dev libqcustomplot2.1-qt6
  qt6-svg-dev libqt6svg6
  libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth
  iproute2 util-linux
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
