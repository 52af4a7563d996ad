#!/usr/bin/env bash
# Builds the Debian package the way `make package` does (a Release build of
# the programs, then cpack) and checks it as Debian would:
#   - lintian --pedantic, informational notes included, says nothing (what
#     is meant stays, overridden with its reason in the package itself);
#   - the unpacked files pass check_install.sh (man pages, changelog,
#     copyright, icons, desktop entry, metainfo);
#   - the control fields: Depends names the package of every library the
#     programs link, Recommends the font the windows ask for first, and
#     the version names the Debian release (~deb12, ~deb13);
#   - md5sums matches the files, the programs are stripped and hardened
#     (relro, bindnow, PIE, stack protector, fortified libc calls).
#
#   package_test.sh SOURCE_DIR WORK_DIR [CMAKE_ARGS...]
#
# WORK_DIR keeps the Release build between runs, so a second run builds
# only what changed; the package itself goes to a scratch folder. Exit 0 on
# success, 1 on a failed check, 77 (skipped) when a tool is missing.
set -euo pipefail

source_dir=$1
work_dir=$2
shift 2

missing=()
for tool in cmake cpack dpkg-deb dpkg-shlibdeps dpkg-buildflags dpkg-query lintian help2man man \
  readelf md5sum appstreamcli appstream-util desktop-file-validate; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]} > 0)); then
  echo "SKIP: not installed: ${missing[*]} (scripts/install-deps.sh installs them)"
  exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorpel-package-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The build: the options of `make package`, plus those handed in.
build=$work_dir/build
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORPEL_BUILD_UI=ON \
  -DVORPEL_BUILD_TESTS=OFF -DVORPEL_BUILD_BENCH=OFF "$@" >"$scratch/configure.log" 2>&1 || {
  cat "$scratch/configure.log"
  echo "FAIL: the Release configuration failed"
  exit 1
}
grep -q '^VORPEL_HARDENING:BOOL=ON$' "$build/CMakeCache.txt" ||
  fail "the Release build is not hardened (VORPEL_HARDENING is off)"
cmake --build "$build" -j "$(nproc)" >"$scratch/build.log" 2>&1 || {
  tail -n 50 "$scratch/build.log"
  echo "FAIL: the Release build failed"
  exit 1
}
(cd "$build" && cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log"
  echo "FAIL: cpack failed"
  exit 1
}
debs=("$scratch"/out/vorpel_*.deb)
[[ -f ${debs[0]} ]] || {
  cat "$scratch/cpack.log"
  echo "FAIL: cpack wrote no vorpel_*.deb"
  exit 1
}
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Lintian: every tag it shows, down to the pedantic ones, is a failure.
# The overrides the package carries hide theirs; one that no longer
# matches is itself reported (unused-override).
lintian_options=(--pedantic --display-info --display-experimental
                 --fail-on "error,warning,info,pedantic,experimental")
status=0
lintian "${lintian_options[@]}" "$deb" >"$scratch/lintian.txt" 2>&1 || status=$?
echo "lintian ${lintian_options[*]}:"
sed 's/^/  /' "$scratch/lintian.txt"
if grep -E '^[EWIPX]: ' "$scratch/lintian.txt" >"$scratch/lintian-tags.txt"; then
  fail "lintian: $(wc -l <"$scratch/lintian-tags.txt") tag(s) neither mended nor overridden"
elif ((status != 0)); then
  fail "lintian ended with status $status"
fi

# The files, unpacked, through the same checks as an install.
tree=$scratch/tree
control=$scratch/control
dpkg-deb -x "$deb" "$tree"
dpkg-deb -e "$deb" "$control"
bash "$source_dir/packaging/check_install.sh" --tree "$tree" "$source_dir" 1 1 || {
  status=$?
  ((status == 77)) && exit 77
  fail "check_install.sh found faults in the unpacked package"
}

# Control fields.
field() {
  dpkg-deb -f "$deb" "$1"
}
for name in Package Version Architecture Maintainer Installed-Size Depends Recommends Section \
  Priority Homepage Description; do
  value=$(field "$name")
  if [[ -z $value ]]; then
    fail "the control file has no $name field"
  else
    echo "ok: $name: ${value%%$'\n'*}"
  fi
done
version=$(field Version)
# The version names the Debian release the package was built on.
os_id=$(. /etc/os-release && echo "${ID:-}")
os_version=$(. /etc/os-release && echo "${VERSION_ID:-}")
if [[ $os_id == debian && -n $os_version && $version != *"~deb${os_version%%.*}" ]]; then
  fail "version $version does not end in ~deb${os_version%%.*} (Debian $os_version)"
fi
zcat "$tree/usr/share/doc/vorpel/changelog.Debian.gz" | sed -n 1p | grep -q -F "vorpel ($version) " ||
  fail "the newest changelog entry is not version $version"
depends=$(field Depends)
# shellcheck disable=SC2001
depends_names=$(sed 's/([^)]*)//g; s/[,|]/\n/g' <<<"$depends" | tr -d ' ' | sed '/^$/d')
grep -qx 'fonts-dejavu-extra' < <(sed 's/([^)]*)//g; s/[,|]/\n/g' <<<"$(field Recommends)" | tr -d ' ') ||
  fail "Recommends lacks fonts-dejavu-extra (DejaVu Sans Condensed, the face the windows ask for first)"

# Each library a program links comes from a package that Depends names
# (dpkg-query asked once for all of them: it reads every package's file
# list). The path ldconfig gives may differ from the one the package lists
# by the /usr prefix (merged /usr) or by a symbolic link, so all are asked.
declare -A library_paths=()
/sbin/ldconfig -p >"$scratch/ldconfig.txt"
for program in "$tree"/usr/bin/*; do
  while read -r library; do
    path=$(awk -v lib="$library" '$1 == lib { print $NF; exit }' "$scratch/ldconfig.txt")
    if [[ -z $path ]]; then
      fail "$(basename "$program") links $library, which this machine does not have"
      continue
    fi
    paths=("$path" "$(readlink -f "$path")")
    for candidate in "${paths[@]}"; do
      case $candidate in
        /usr/*) paths+=("${candidate#/usr}") ;;
        *) paths+=("/usr$candidate") ;;
      esac
    done
    library_paths[$library]="${paths[*]}"
  done < <(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
done
# shellcheck disable=SC2046  # the lists of paths are split on purpose
dpkg-query -S $(printf '%s ' "${library_paths[@]}") >"$scratch/owners.txt" 2>/dev/null || true
for library in "${!library_paths[@]}"; do
  owner=$(awk -v paths=" ${library_paths[$library]} " \
    'index(paths, " " $NF " ") { sub(/:.*/, "", $1); print $1; exit }' "$scratch/owners.txt")
  if [[ -z $owner ]]; then
    fail "no installed package holds $library (${library_paths[$library]})"
  elif grep -qx "$owner" <<<"$depends_names"; then
    echo "ok: $library comes from $owner, which Depends names"
  else
    fail "$library comes from $owner, which Depends lacks"
  fi
done

# md5sums lists every file of the package with its sum.
if [[ -f $control/md5sums ]]; then
  (cd "$tree" && md5sum --quiet -c "$control/md5sums") >"$scratch/md5.txt" 2>&1 ||
    fail "md5sums does not match: $(cat "$scratch/md5.txt")"
  listed=$(awk '{ print $2 }' "$control/md5sums" | sort)
  present=$(cd "$tree" && find . -type f -printf '%P\n' | sort)
  [[ $listed == "$present" ]] || fail "md5sums does not list exactly the package's files"
  echo "ok: md5sums"
else
  fail "the package has no md5sums"
fi

# The programs: stripped and hardened.
for program in "$tree"/usr/bin/*; do
  name=$(basename "$program")
  sections=$(readelf -S -W "$program")
  grep -q -e ' \.symtab ' -e ' \.debug_' <<<"$sections" && fail "$name is not stripped"
  dynamic=$(readelf -d -W "$program")
  grep -q '(BIND_NOW)\|FLAGS.*BIND_NOW\|FLAGS_1.*NOW' <<<"$dynamic" || fail "$name is not linked with -z now"
  grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$name is not a position-independent executable"
  readelf -l -W "$program" | grep -q GNU_RELRO || fail "$name has no read-only relocations (relro)"
  symbols=$(readelf --dyn-syms -W "$program")
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$name is not built with the stack protector"
  # A fortified build calls the checked variants (__memcpy_chk, __open_2...)
  # wherever the compiler knows a buffer's size.
  grep -q -E '__[a-z0-9_]+_chk@|__open(64)?_2@|__openat(64)?_2@' <<<"$symbols" ||
    fail "$name calls no fortified libc functions"
  if command -v hardening-check >/dev/null; then
    # Control-flow protection (-fcf-protection) is not among the flags of
    # Debian 12's dpkg-buildflags. Fortify is judged above: hardening-check
    # knows only the *_chk names.
    if ! hardening-check --nocfprotection --nofortify "$program" >"$scratch/hardening.txt" 2>&1; then
      fail "hardening-check: $(cat "$scratch/hardening.txt")"
    fi
    sed 's/^/  /' "$scratch/hardening.txt"
  fi
  echo "ok: $name is stripped, relro, bindnow, PIE, stack-protected and fortified"
done

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the package checks out"
