#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Safe to run again; needs root (or sudo) when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-multilib g++-mingw-w64-i686 binutils-mingw-w64-i686
  googletest libbenchmark-dev
  libopenimageio-dev openimageio-tools nlohmann-json3-dev libcli11-dev
  clang-14 libclang-rt-14-dev valgrind
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
