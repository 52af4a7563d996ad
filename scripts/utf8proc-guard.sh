#!/usr/bin/env bash
# Builds the tests of UTF-8 text (vorpel_utf8_text_tests) against another
# Debian release's utf8proc and Unicode test file, and runs them: the
# grapheme break cache must answer as that library does too, not only as
# the one installed.
#
#   scripts/utf8proc-guard.sh [BUILD_DIR] [CMAKE_ARGS...]
#                          BUILD_DIR: default build/utf8proc-guard
#
# Environment:
#   VORPEL_GUARD_RELEASE   the Debian release to take them from (default trixie)
#   VORPEL_GUARD_MIRROR    its mirror (default http://deb.debian.org/debian)
#
# libutf8proc3, libutf8proc-dev and unicode-data are fetched with
# apt-get download through a private apt configuration in BUILD_DIR/apt
# (its own sources.list, state and cache), so the system's apt
# configuration, lists and packages are left as they are and no root is
# needed; they are unpacked with dpkg-deb into BUILD_DIR/root, and the
# tests are built in BUILD_DIR/build with VORPEL_UTF8PROC_PREFIX.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build/utf8proc-guard}
shift || true
release=${VORPEL_GUARD_RELEASE:-trixie}
mirror=${VORPEL_GUARD_MIRROR:-http://deb.debian.org/debian}
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

mkdir -p "$build"
build=$(cd "$build" && pwd)
apt_dir=$build/apt
root=$build/root
rm -rf "$root" "$apt_dir/debs"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/state/lists/partial" \
  "$apt_dir/cache/archives/partial" "$apt_dir/debs" "$root"
echo "deb [signed-by=$keyring] $mirror $release main" >"$apt_dir/sources.list"
: >"$apt_dir/status"
apt_options=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State=$apt_dir/state"
  -o "Dir::State::status=$apt_dir/status"
  -o "Dir::Cache=$apt_dir/cache"
  # The files are the user's own: apt need not hand the download to _apt.
  -o "APT::Sandbox::User=$(id -un)"
)

echo "utf8proc-guard: the packages of Debian $release from $mirror"
apt-get "${apt_options[@]}" -qq update
(cd "$apt_dir/debs" && apt-get "${apt_options[@]}" -qq download libutf8proc3 libutf8proc-dev \
  unicode-data)
for deb in "$apt_dir"/debs/libutf8proc*.deb; do
  dpkg-deb -x "$deb" "$root"
  echo "  $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version)"
done
# Of unicode-data only the grapheme test file.
test_file=./usr/share/unicode/auxiliary/GraphemeBreakTest.txt
dpkg-deb --fsys-tarfile "$apt_dir"/debs/unicode-data_*.deb | tar -x -C "$root" "$test_file"
echo "  unicode-data $(dpkg-deb -f "$apt_dir"/debs/unicode-data_*.deb Version) ($test_file)"

cmake -S "$repo" -B "$build/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORPEL_BUILD_UI=OFF \
  -DVORPEL_BUILD_BENCH=OFF -DVORPEL_BUILD_TESTS=ON -DVORPEL_WERROR=ON \
  -DVORPEL_UTF8PROC_PREFIX="$root" -DVORPEL_GRAPHEME_BREAK_TEST="$root/$test_file" "$@"
cmake --build "$build/build" -j "$(nproc)" --target vorpel_utf8_text_tests
"$build/build/tests/engine/vorpel_utf8_text_tests" --gtest_brief=1
