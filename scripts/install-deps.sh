#!/usr/bin/env bash
# Installs the Debian packages of the groups named as arguments, those that
# are missing; does nothing when all are present.
#
#   scripts/install-deps.sh run          build and run the programs
#   scripts/install-deps.sh run test     also the tests, the benchmarks they
#                                        build, and the checkers (the default)
#   scripts/install-deps.sh run bench    also the side-by-side benchmark tools
#   scripts/install-deps.sh run fuzz     also clang and libFuzzer
#   scripts/install-deps.sh run package  also the Debian packaging tools
#   scripts/install-deps.sh debian       what make test-debian needs on the host
#
# Installing needs root: the script uses sudo when it runs as another user.
# Without sudo it prints the apt-get command to run as root and exits 1.
set -euo pipefail

declare -A group_packages=(
  [run]="g++ make cmake qt6-base-dev qt6-qpa-plugins libcli11-dev libutf8proc-dev
         fonts-dejavu-core fonts-dejavu-extra"
  [test]="libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool x11-utils clang-format
          clang-tidy desktop-file-utils appstream appstream-util lintian help2man
          unicode-data dpkg-dev file"
  [bench]="libbenchmark-dev hyperfine time"
  [fuzz]="clang-14 libclang-rt-14-dev"
  [package]="dpkg-dev file help2man lintian desktop-file-utils appstream"
  [debian]="debootstrap git"
)

groups=("$@")
[[ ${#groups[@]} -eq 0 ]] && groups=(run test)

packages=()
for group in "${groups[@]}"; do
  if [[ -z ${group_packages[$group]+set} ]]; then
    echo "install-deps.sh: unknown group '$group' (groups: run test bench fuzz package debian)" >&2
    exit 2
  fi
  read -r -d '' -a listed <<<"${group_packages[$group]}" || true
  for package in "${listed[@]}"; do
    [[ " ${packages[*]} " == *" $package "* ]] || packages+=("$package")
  done
done

# One dpkg-query for all: it names the installed packages it knows and
# complains (on standard error, ignored) about those it has never seen.
declare -A installed=()
while read -r name status; do
  [[ $status == installed ]] && installed[$name]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)

missing=()
for package in "${packages[@]}"; do
  [[ -n ${installed[$package]+set} ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

run_as_root=()
if [[ $EUID -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    printf '%s\n' "install-deps.sh: these Debian packages are missing: ${missing[*]}" \
      "Installing them needs root, and sudo is not available. As root, run" "" \
      "    apt-get update && apt-get install -y ${missing[*]}" "" \
      "and then this command again." >&2
    exit 1
  fi
  run_as_root=(sudo)
fi

echo "Installing: ${missing[*]}"
"${run_as_root[@]}" apt-get update -qq
"${run_as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
