#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and those of
# the optional groups named as arguments. Does nothing when all are present.
#   scripts/install-deps.sh          build and test packages
#   scripts/install-deps.sh bench    also the benchmark tools
#   scripts/install-deps.sh fuzz     also clang and libFuzzer
set -euo pipefail

packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
          libcli11-dev libutf8proc-dev pkg-config unicode-data fonts-dejavu-core fonts-dejavu-extra clang-format desktop-file-utils appstream dpkg-dev file
          xvfb xdotool x11-utils)
for group in "$@"; do
  case "$group" in
    bench) packages+=(hyperfine time) ;;
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    *) echo "install-deps.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
