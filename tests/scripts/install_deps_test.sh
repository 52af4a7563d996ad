#!/usr/bin/env bash
# Runs scripts/install-deps.sh against a fake dpkg-query (every package
# installed but those listed in FAKE_MISSING) and fake apt-get and sudo that
# only record how they were called, with a PATH that holds nothing else: as
# root, as a user with sudo, and as a user without it, who must be told the
# exact command to run as root. Run by another user than root, the cases
# as root are left out and the test ends as skipped (77).
#
#   install_deps_test.sh SCRIPT
set -euo pipefail

script=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/vorpel-install-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
install -m 755 "$script" "$work/install-deps.sh"
mkdir -m 777 "$work/log"

# bin: dpkg-query, apt-get and env; bin_sudo: the same and sudo.
mkdir "$work/bin" "$work/bin_sudo"
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/bin/bash
# dpkg-query -W -f=FORMAT PACKAGE...: the known ones, installed or not.
echo "dpkg-query $*" >>"$FAKE_LOG"
for package in "${@:3}"; do
  case " $FAKE_MISSING " in
    *" $package "*) ;;
    *) echo "$package installed" ;;
  esac
  [[ " $FAKE_REMOVED " == *" $package "* ]] && echo "$package config-files"
done
exit 0
FAKE
cat >"$work/bin/apt-get" <<'FAKE'
#!/bin/bash
echo "apt-get $* [DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-}] [uid=$EUID]" >>"$FAKE_LOG"
FAKE
cat >"$work/bin_sudo/sudo" <<'FAKE'
#!/bin/bash
echo "sudo $*" >>"$FAKE_LOG"
"$@"
FAKE
chmod 755 "$work/bin"/* "$work/bin_sudo/sudo"
ln -s "$(command -v env)" "$work/bin/env"
for tool in dpkg-query apt-get env; do ln -s "$work/bin/$tool" "$work/bin_sudo/$tool"; done

failures=0
skipped=()
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run_case NAME AS(root|user) BIN MISSING EXPECTED_STATUS ARGS...
# Leaves the output in $out and the calls of the fakes in $calls.
# The user: nobody when the test runs as root, else the one running it.
as_user=()
user_uid=$EUID
if [[ $EUID -eq 0 ]]; then
  user_uid=$(id -u nobody)
  as_user=(setpriv --reuid="$user_uid" --regid="$(id -g nobody)" --clear-groups)
fi
run_case() {
  local name=$1 as=$2 bin=$3 missing=$4 expected=$5
  shift 5
  local -a prefix=()
  if [[ $as == user ]]; then
    prefix=("${as_user[@]}")
  elif [[ $EUID -ne 0 ]]; then
    skipped+=("$name")
    return 1
  fi
  local log=$work/log/$name
  : >"$log"
  chmod 666 "$log"
  local status=0
  out=$("${prefix[@]}" /usr/bin/env -i PATH="$work/$bin" FAKE_LOG="$log" FAKE_MISSING="$missing" \
    FAKE_REMOVED="${FAKE_REMOVED:-}" /bin/bash "$work/install-deps.sh" "$@" 2>&1) || status=$?
  calls=$(<"$log")
  if [[ $status -ne $expected ]]; then
    fail "$name: exit status $status, expected $expected; output:"$'\n'"$out"
  fi
  return 0
}

expect_calls() {
  local name=$1 expected=$2
  if [[ $calls != "$expected" ]]; then
    fail "$name: the fakes were called as"$'\n'"$calls"$'\n'"expected"$'\n'"$expected"
  fi
}

run_group=(g++ make cmake qt6-base-dev qt6-qpa-plugins libcli11-dev libutf8proc-dev
           fonts-dejavu-core fonts-dejavu-extra)

# Everything present: nothing to say, nothing installed.
if run_case all_present user bin "" 0 run; then
  [[ -z $out ]] || fail "all_present: printed '$out'"
  expect_calls all_present "dpkg-query -W -f=\${Package} \${db:Status-Status}\n ${run_group[*]}"
fi

# No sudo: one message with the command for root, naming exactly the
# missing packages, and no attempt to install.
if run_case no_sudo user bin "libutf8proc-dev fonts-dejavu-extra" 1 run; then
  expected="install-deps.sh: these Debian packages are missing: libutf8proc-dev fonts-dejavu-extra
Installing them needs root, and sudo is not available. As root, run

    apt-get update && apt-get install -y libutf8proc-dev fonts-dejavu-extra

and then this command again."
  [[ $out == "$expected" ]] || fail "no_sudo: printed"$'\n'"$out"$'\n'"expected"$'\n'"$expected"
  [[ $calls != *apt-get* ]] || fail "no_sudo: apt-get was called: $calls"
fi

# A package removed but for its configuration files counts as missing.
if FAKE_REMOVED=make run_case removed user bin "make" 1 run; then
  [[ $out == *"apt-get install -y make"$'\n'* ]] || fail "removed: printed"$'\n'"$out"
fi

# With sudo: apt-get through sudo, the missing packages only.
if run_case with_sudo user bin_sudo "xvfb" 0 run test; then
  expect_calls with_sudo "$(printf '%s\n' "${calls%%$'\n'*}" \
    "sudo apt-get update -qq" "apt-get update -qq [DEBIAN_FRONTEND=] [uid=$user_uid]" \
    "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xvfb" \
    "apt-get install -y -qq xvfb [DEBIAN_FRONTEND=noninteractive] [uid=$user_uid]")"
fi

# As root: apt-get directly, even with a sudo on the PATH. Without
# arguments the run and test groups are checked; a package of both groups
# is asked for once.
if run_case as_root root bin_sudo "cmake dpkg-dev clang-tidy" 0; then
  [[ ${calls%%$'\n'*} == *" g++ "*" libgtest-dev "*" file" ]] ||
    fail "as_root: the run and test groups were not both checked: ${calls%%$'\n'*}"
  expect_calls as_root "$(printf '%s\n' "${calls%%$'\n'*}" "apt-get update -qq [DEBIAN_FRONTEND=] [uid=0]" \
    "apt-get install -y -qq cmake clang-tidy dpkg-dev [DEBIAN_FRONTEND=noninteractive] [uid=0]")"
fi
if run_case shared_package root bin "dpkg-dev" 0 test package; then
  [[ $calls == *"install -y -qq dpkg-dev ["* ]] || fail "shared_package: $calls"
  dpkg_dev_count=$(grep -o ' dpkg-dev' <<<"${calls%%$'\n'*}" | wc -l)
  [[ $dpkg_dev_count -eq 1 ]] || fail "shared_package: dpkg-dev asked for $dpkg_dev_count times"
fi

# An unknown group is refused before anything is looked at.
if run_case unknown_group user bin "" 2 run tests; then
  [[ $out == *"unknown group 'tests'"* ]] || fail "unknown_group: printed '$out'"
  [[ -z $calls ]] || fail "unknown_group: the fakes were called: $calls"
fi

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
if ((${#skipped[@]} > 0)); then
  echo "SKIP: not root, so the cases run as root were left out: ${skipped[*]} (the others passed)"
  exit 77
fi
echo "all checks passed"
