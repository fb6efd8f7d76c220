#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Safe to run again; needs root (or sudo) when something is missing.
#
# Wine runs the Windows build's tests. It needs the 32-bit Wine (wine32:i386),
# so the i386 architecture is added to dpkg first when it is not there yet.
# Wine is installed in a step of its own so that a failure to get it says so.
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-multilib g++-mingw-w64-i686 binutils-mingw-w64-i686
  googletest libbenchmark-dev
  libopenimageio-dev openimageio-tools nlohmann-json3-dev libcli11-dev
  clang-14 libclang-rt-14-dev valgrind
)
wine_packages=(wine wine32:i386)

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

updated=no
update_once() {
  if [[ $updated == no ]]; then
    "${sudo_cmd[@]}" apt-get update -qq
    updated=yes
  fi
}

mapfile -t missing < <(missing_of "${packages[@]}")
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  update_once
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mapfile -t missing < <(missing_of "${wine_packages[@]}")
if ((${#missing[@]} > 0)); then
  echo "Installing Wine for the Windows tests: ${missing[*]}"
  if ! {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${sudo_cmd[@]}" dpkg --add-architecture i386 && updated=no
    fi &&
      update_once &&
      "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
  }; then
    echo "install-deps: could not install Wine (${missing[*]}): the Windows tests cannot run." >&2
    exit 1
  fi
fi
