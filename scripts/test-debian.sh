#!/usr/bin/env bash
# Builds and tests the committed HEAD of this repository on a fresh Debian
# root, the way a newcomer with only git and make would: `make test`, then
# `make package` and lintian on the package, then `make run` in a virtual X
# server, stopped by `timeout 5` (status 124 means the window was up).
#
#   scripts/test-debian.sh [RELEASE]     RELEASE: trixie (the default), bookworm...
#
# With AS_USER=1, `make test` runs once more as an ordinary user of the
# root, in a clone of its own, once root has installed the packages.
#
# The root is made once with debootstrap (minbase, plus git and make) in
# build/debian-RELEASE/root and kept: a second run refreshes only the clone
# in it (/root/vorpel), whose own build folders stay, so it rebuilds only
# what changed. Everything runs in a private mount namespace (unshare), with
# its own /proc, /sys, /dev, /dev/pts and a tmpfs /tmp; no mount outlives the
# command. The logs go to build/debian-RELEASE/logs.
#
# Needs root (debootstrap, mount, chroot); uses sudo when run as another
# user. DEBIAN_MIRROR chooses the mirror.
set -euo pipefail

# The second half, in the new mount namespace: mount the root's file
# systems and run the steps in it.
inside() {
  local root=$1
  # The root is a mount of its own, as / is on a machine: the tests that
  # mount a small file system in a namespace of their own need that.
  mount --bind "$root" "$root"
  mount -t proc -o nosuid,nodev,noexec proc "$root/proc"
  mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$root/sys"
  mount -t tmpfs -o nosuid,mode=0755,size=64k dev "$root/dev"
  for node in null zero full random urandom tty; do
    touch "$root/dev/$node"
    mount --bind "/dev/$node" "$root/dev/$node"
  done
  mkdir "$root/dev/pts" "$root/dev/shm"
  mount -t devpts -o newinstance,nosuid,noexec,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
  ln -s pts/ptmx "$root/dev/ptmx"
  mount -t tmpfs -o nosuid,nodev,mode=1777 shm "$root/dev/shm"
  ln -s /proc/self/fd "$root/dev/fd"
  ln -s /proc/self/fd/0 "$root/dev/stdin"
  ln -s /proc/self/fd/1 "$root/dev/stdout"
  ln -s /proc/self/fd/2 "$root/dev/stderr"
  mount -t tmpfs -o nosuid,nodev,mode=1777 tmp "$root/tmp"
  exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    JOBS="${JOBS:-$(nproc)}" AS_USER="${AS_USER:-0}" bash /root/steps.sh
}

elapsed() {
  local seconds=$((SECONDS - $1))
  printf '%dm%02ds' $((seconds / 60)) $((seconds % 60))
}

main() {
  release=${1:-trixie}
  [[ $release =~ ^[a-z]+$ ]] || {
    echo "test-debian.sh: '$release' is not a Debian code name (trixie, bookworm...)" >&2
    exit 2
  }
  if [[ $EUID -ne 0 ]]; then
    command -v sudo >/dev/null && exec sudo -- "$0" "$@"
    echo "test-debian.sh: making a Debian root needs root (debootstrap, mount, chroot)" >&2
    exit 1
  fi
  for tool in debootstrap unshare chroot git; do
    command -v "$tool" >/dev/null || {
      echo "test-debian.sh: $tool is missing (scripts/install-deps.sh debian installs it)" >&2
      exit 1
    }
  done

  source_dir=$(cd "$(dirname "$0")/.." && pwd)
  base=$source_dir/build/debian-$release
  root=$base/root
  logs=$base/logs
  mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
  started=$SECONDS

  # The root. The mark is written last, so a debootstrap that was stopped
  # half-way starts again from nothing.
  if [[ ! -f $base/root-complete ]]; then
    echo "== Debian $release: debootstrap --variant=minbase --include=git,make ($mirror)"
    [[ -e $root ]] && rm -rf --one-file-system "$root"
    mkdir -p "$base"
    # In a mount namespace of its own too: the /proc and /sys debootstrap
    # mounts in the root go with it, even if it is stopped half-way.
    unshare --mount --fork --propagation private -- \
      debootstrap --variant=minbase --include=git,make "$release" "$root" "$mirror" \
      >"$base/debootstrap.log" 2>&1 || {
      tail -n 30 "$base/debootstrap.log"
      echo "test-debian.sh: debootstrap failed (whole log: $base/debootstrap.log)" >&2
      exit 1
    }
    touch "$base/root-complete"
    echo "   made in $(elapsed "$started")"
  else
    echo "== Debian $release: reusing $root"
  fi
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"

  # The clone: the committed HEAD, fetched into the clone the root keeps.
  commit=$(git -C "$source_dir" rev-parse HEAD)
  if [[ -n $(git -C "$source_dir" status --porcelain --untracked-files=no) ]]; then
    echo "   note: uncommitted changes are not tested, only the commit $commit"
  fi
  clone=$root/root/vorpel
  [[ -d $clone/.git ]] || git init -q "$clone"
  git -C "$clone" fetch -q "$source_dir" "$commit"
  git -C "$clone" checkout -q -f --detach "$commit"
  # Files the commit does not hold go, except the build folders.
  git -C "$clone" clean -q -ffdx -e /build/
  echo "== the clone: $(git -C "$clone" log -1 --format='%h %s')"

  # The steps, run in the root. Each writes its log; the summary follows.
  cat >"$root/root/steps.sh" <<'STEPS'
set -uo pipefail
cd /root/vorpel
mkdir -p /root/logs
rm -f /root/logs/*
step() {
  local name=$1
  shift
  local start=$SECONDS
  echo "== $name: $*"
  "$@" >"/root/logs/$name.log" 2>&1
  local status=$?
  echo "$status $((SECONDS - start))" >"/root/logs/$name.status"
  echo "   status $status after $((SECONDS - start)) s (log: logs/$name.log)"
  return 0
}
step test make test JOBS="$JOBS"
step package make package JOBS="$JOBS"
step lintian sh -c 'lintian --allow-root --pedantic build/release/vorpel_*.deb'
# make run builds first; the program alone must then stand 5 seconds.
step run-build sh -c 'scripts/install-deps.sh run && cmake --preset run && cmake --build --preset run -j "$JOBS"'
step run xvfb-run -a timeout 5 make run
# An ordinary user, in a clone of their own, the packages being there.
if [[ $AS_USER == 1 ]]; then
  id builder >/dev/null 2>&1 || useradd -m builder
  user_git=(git -c safe.directory=/home/builder/vorpel -C /home/builder/vorpel)
  [[ -d /home/builder/vorpel/.git ]] || git init -q /home/builder/vorpel
  "${user_git[@]}" fetch -q /root/vorpel HEAD
  "${user_git[@]}" checkout -q -f --detach FETCH_HEAD
  "${user_git[@]}" clean -q -ffdx -e /build/
  chown -R builder: /home/builder/vorpel
  step user-test runuser -u builder -- make -C /home/builder/vorpel test JOBS="$JOBS"
fi
STEPS

  echo "== Debian $release: make test, make package, lintian, make run (in a private mount namespace)"
  unshare --mount --fork --propagation private -- "$0" --inside "$root"
  rm -rf "$logs"
  cp -r "$root/root/logs" "$logs"

  # The summary.
  failed=0
  echo
  echo "==== Debian $release, $(git -C "$clone" log -1 --format='%h %s')"
  echo "-- make test ($(status_of test)):"
  grep -E '^[0-9]+% tests passed|^Total Test time|^The following tests|^[[:space:]]+[0-9]+ - |^skipped: |^ctest: ' \
    "$logs/test.log" || tail -n 20 "$logs/test.log"
  [[ $(status_of test) == 0 ]] || failed=1
  echo "-- make package ($(status_of package)):"
  grep -E 'CPack: - package: ' "$logs/package.log" || tail -n 20 "$logs/package.log"
  [[ $(status_of package) == 0 ]] || failed=1
  echo "-- lintian --pedantic ($(status_of lintian)):"
  if [[ -s $logs/lintian.log ]]; then sed 's/^/   /' "$logs/lintian.log"; else echo "   (nothing)"; fi
  grep -qE '^[EW]: ' "$logs/lintian.log" && failed=1
  [[ $(status_of lintian) == 0 ]] || failed=1
  if [[ -f $logs/user-test.status ]]; then
    echo "-- make test as an ordinary user ($(status_of user-test)):"
    grep -E '^[0-9]+% tests passed|^The following tests|^[[:space:]]+[0-9]+ - |^skipped: |^ctest: ' \
      "$logs/user-test.log" || tail -n 20 "$logs/user-test.log"
    [[ $(status_of user-test) == 0 ]] || failed=1
  fi
  run_status=$(status_of run)
  echo "-- timeout 5 make run under Xvfb: status $run_status (124: the window stood until the timeout)"
  [[ $run_status == 124 ]] || { tail -n 20 "$logs/run.log"; failed=1; }
  echo "-- time: $(elapsed "$started") in all ($(step_times)); logs in $logs"
  return "$failed"
}

# A step's exit status, and the times of all steps.
status_of() {
  local status seconds
  read -r status seconds <"$logs/$1.status" || status=missing
  echo "$status"
}
step_times() {
  local file name status seconds times=()
  for file in "$logs"/*.status; do
    name=$(basename "$file" .status)
    read -r status seconds <"$file"
    times+=("$name $((seconds / 60))m$(printf '%02d' $((seconds % 60)))s")
  done
  local IFS=,
  echo "${times[*]}" | sed 's/,/, /g'
}

# Read whole before it runs, so that editing this file meanwhile changes
# nothing in a run.
if [[ ${1-} == --inside ]]; then inside "$2"; else main "$@"; fi; exit $?
