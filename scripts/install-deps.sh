#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and (with "bench") the
# benchmarks need. Does nothing when they are all present.
#   scripts/install-deps.sh          build and test packages
#   scripts/install-deps.sh bench    also the benchmark tools
set -euo pipefail

packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
          libcli11-dev fonts-dejavu-core clang-format)
if [[ "${1:-}" == "bench" ]]; then
  packages+=(hyperfine time)
fi

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
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
