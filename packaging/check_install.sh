#!/usr/bin/env bash
# Installs a build into a scratch folder, as a package would (prefix /usr),
# and checks what landed there: every expected file in its place, the icons
# of the sizes their folders claim (with an alpha channel where drawn from
# the SVG), the manual pages readable by man and in step with the programs,
# the copyright file in Debian's format holding the licence, the desktop
# entry and the metainfo accepted by desktop-file-validate, appstreamcli
# and appstream-util, and the names they point at (program, icon, desktop
# id) present in the same install.
#
#   check_install.sh BUILD_DIR SOURCE_DIR WITH_UI(0|1) WITH_CLI(0|1)
#   check_install.sh --tree ROOT SOURCE_DIR WITH_UI(0|1) WITH_CLI(0|1)
#
# The second form checks a tree installed already (ROOT/usr/...), such as
# an unpacked Debian package. Exit 0 on success, 1 on a failed check, 77
# when a validator is missing.
set -euo pipefail

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorpel-install-check.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

if [[ $1 == --tree ]]; then
  root=$2
  build_dir=
  shift 2
else
  root=$scratch/root
  build_dir=$1
  shift
fi
source_dir=$1
with_ui=$2
with_cli=$3
app_id=org.example.Vorpel

for tool in desktop-file-validate appstreamcli appstream-util man help2man; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if [[ -n $build_dir ]]; then
  DESTDIR=$root cmake --install "$build_dir" --prefix /usr >"$scratch/install.log" 2>&1 || {
    cat "$scratch/install.log"
    echo "FAIL: cmake --install did not succeed"
    exit 1
  }
fi
usr=$root/usr

expect_file() {
  if [[ -f $usr/$1 ]]; then
    echo "ok: /usr/$1"
  else
    fail "/usr/$1 was not installed"
  fi
}

# The width and height stored in a PNG file's header.
png_size() {
  local -a bytes
  read -r -a bytes < <(od -An -tu1 -j16 -N8 "$1")
  echo "$(((bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3]))x$(((bytes[4] << 24) | (bytes[5] << 16) | (bytes[6] << 8) | bytes[7]))"
}

# The PNG colour type: 6 is colour with alpha, 4 grey with alpha.
png_colour_type() {
  od -An -tu1 -j25 -N1 "$1" | tr -d ' '
}

# A manual page as man shows it on an 80-column terminal; groff's warnings
# (lines man cannot set, unknown requests) go to the file named second.
render_page() {
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>"$2" |
    col -b 2>/dev/null || true
}

check_page() {
  local page=$usr/share/man/man1/$1.1.gz
  expect_file "share/man/man1/$1.1.gz"
  [[ -f $page ]] || return 0
  gzip -t "$page" 2>/dev/null || fail "$page is not gzip data"
  # gzip -n leaves the name and time out of the header (bytes 4 to 7: time).
  [[ $(od -An -tu1 -j4 -N4 "$page" | tr -d ' ') == 0000 ]] ||
    fail "$page carries a time stamp (compress with gzip -9n)"
  local text
  text=$(render_page "$page" "$scratch/warnings")
  [[ -s $scratch/warnings ]] && fail "man warns about $1.1: $(cat "$scratch/warnings")"
  grep -q "^NAME" <<<"$text" || fail "$1.1 renders without a NAME section"
  grep -q "^ *$1 \+- " <<<"$text" || fail "$1.1 does not name $1 in its NAME section"
  echo "$text" >"$scratch/$1.txt"
}

expect_file share/doc/vorpel/copyright
expect_file share/doc/vorpel/LICENSE
expect_file share/doc/vorpel/changelog.Debian.gz
copyright=$usr/share/doc/vorpel/copyright
if [[ -f $copyright ]]; then
  head -n 1 "$copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in Debian's machine-readable format"
  # The licence paragraph's text, its "." lines blank again, is LICENSE's
  # text from "Permission" on.
  if ! cmp -s <(sed -n '/^License: Expat$/,$p' "$copyright" | sed -n '/^ /p' | sed -e 's/^ //' -e 's/^\.$//') \
    <(sed -n '/^Permission/,$p' "$source_dir/LICENSE"); then
    fail "the licence in the copyright file differs from LICENSE"
  fi
fi
if [[ -f $usr/share/doc/vorpel/LICENSE ]] && ! cmp -s "$usr/share/doc/vorpel/LICENSE" "$source_dir/LICENSE"; then
  fail "the installed licence differs from LICENSE"
fi
changelog=$usr/share/doc/vorpel/changelog.Debian.gz
if [[ -f $changelog ]] && ! zcat "$changelog" | sed -n 1p | grep -q '^vorpel ('; then
  fail "changelog.Debian.gz does not start with an entry of vorpel"
fi

if [[ $with_cli == 1 ]]; then
  expect_file bin/vorpel-cli
  check_page vorpel-cli
  # The page is made from --help: every long option the program lists is in it.
  if [[ -x $usr/bin/vorpel-cli && -f $scratch/vorpel-cli.txt ]]; then
    while read -r option; do
      grep -q -e "$option" "$scratch/vorpel-cli.txt" || fail "vorpel-cli.1 lacks $option"
    done < <("$usr/bin/vorpel-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
    grep -q "^EXIT STATUS" "$scratch/vorpel-cli.txt" || fail "vorpel-cli.1 has no EXIT STATUS"
    grep -q "^EXAMPLES" "$scratch/vorpel-cli.txt" || fail "vorpel-cli.1 has no EXAMPLES"
  fi
fi

if [[ $with_ui == 1 ]]; then
  desktop=share/applications/$app_id.desktop
  metainfo=share/metainfo/$app_id.metainfo.xml
  expect_file bin/vorpel
  expect_file "$desktop"
  expect_file "$metainfo"
  check_page vorpel
  if [[ -f $scratch/vorpel.txt ]]; then
    grep -q '~/.cache/vorpel/%Vorpel.temp%' "$scratch/vorpel.txt" ||
      fail "vorpel.1 does not say where the intermediate file lies"
    grep -q 'vorpel-cli(1)' "$scratch/vorpel.txt" || fail "vorpel.1 does not point to vorpel-cli(1)"
  fi
  for size in 16 32 48 64 128 256; do
    icon=share/icons/hicolor/${size}x${size}/apps/$app_id.png
    expect_file "$icon"
    if [[ -f $usr/$icon ]]; then
      actual=$(png_size "$usr/$icon")
      [[ $actual == "${size}x${size}" ]] || fail "$icon is $actual pixels"
      # The theme icons drawn from the SVG keep its transparent corners; 16
      # and 48 are the program's own 24-bit pictures.
      if ((size != 16 && size != 48)); then
        type=$(png_colour_type "$usr/$icon")
        [[ $type == 6 || $type == 4 ]] || fail "$icon has no alpha channel (PNG colour type $type)"
      fi
    fi
  done
  svg=share/icons/hicolor/scalable/apps/$app_id.svg
  expect_file "$svg"
  if [[ -f $usr/$svg ]] && ! grep -q '<svg ' "$usr/$svg"; then
    fail "$svg is not an SVG picture"
  fi

  if [[ -f $usr/$desktop ]]; then
    # Errors make the validator fail; its warnings count as failures here too.
    if ! output=$(desktop-file-validate "$usr/$desktop" 2>&1) || grep -qi 'warning' <<<"$output"; then
      fail "desktop-file-validate: $output"
    else
      echo "ok: desktop-file-validate${output:+ ($output)}"
    fi
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$usr/$desktop")
    [[ -x $usr/bin/$exec_name ]] || fail "Exec=$exec_name is not an installed program"
    icon_name=$(sed -n 's/^Icon=//p' "$usr/$desktop")
    [[ $icon_name == "$app_id" ]] || fail "Icon=$icon_name does not name the installed icons"
  fi

  if [[ -f $usr/$metainfo ]]; then
    if ! output=$(appstreamcli validate --no-net "$usr/$metainfo" 2>&1); then
      fail "appstreamcli validate: $output"
    else
      echo "ok: appstreamcli validate --no-net"
    fi
    # appstream-util is stricter on some points (a screenshot caption of at
    # most 50 characters, for one).
    if ! output=$(appstream-util validate --nonet "$usr/$metainfo" 2>&1); then
      fail "appstream-util validate: $output"
    else
      echo "ok: appstream-util validate --nonet"
    fi
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$usr/$metainfo" ||
      fail "the metainfo does not launch $app_id.desktop"
    grep -q "<id>$app_id</id>" "$usr/$metainfo" || fail "the metainfo's id is not $app_id"
    while read -r binary; do
      [[ -x $usr/bin/$binary ]] || fail "the metainfo provides $binary, which is not installed"
    done < <(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$usr/$metainfo")
  fi
fi

if ((failures > 0)); then
  echo "$failures check(s) failed; installed files:"
  (cd "$root" && find . -type f | sort)
  exit 1
fi
echo "all installed files check out"
