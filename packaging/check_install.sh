#!/usr/bin/env bash
# Installs a build into a scratch folder, as a package would (prefix /usr),
# and checks what landed there: every expected file in its place, the icons
# of the sizes their folders claim, the desktop entry and the metainfo
# accepted by desktop-file-validate and appstreamcli, and the names they
# point at (program, icon, desktop id) present in the same install.
#
#   check_install.sh BUILD_DIR SOURCE_DIR WITH_UI(0|1) WITH_CLI(0|1)
#
# Exit 0 on success, 1 on a failed check, 77 when a validator is missing.
set -euo pipefail

build_dir=$1
source_dir=$2
with_ui=$3
with_cli=$4
app_id=org.example.Vorpel

for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorpel-install-check.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

DESTDIR=$root cmake --install "$build_dir" --prefix /usr >"$scratch/install.log" 2>&1 || {
  cat "$scratch/install.log"
  echo "FAIL: cmake --install did not succeed"
  exit 1
}
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

expect_file share/doc/vorpel/LICENSE
expect_file share/doc/vorpel/copyright
if [[ -f $usr/share/doc/vorpel/LICENSE ]] && ! cmp -s "$usr/share/doc/vorpel/LICENSE" "$source_dir/LICENSE"; then
  fail "the installed licence differs from LICENSE"
fi
if [[ $with_cli == 1 ]]; then
  expect_file bin/vorpel-cli
fi

if [[ $with_ui == 1 ]]; then
  desktop=share/applications/$app_id.desktop
  metainfo=share/metainfo/$app_id.metainfo.xml
  expect_file bin/vorpel
  expect_file "$desktop"
  expect_file "$metainfo"
  for size in 16 48; do
    icon=share/icons/hicolor/${size}x${size}/apps/$app_id.png
    expect_file "$icon"
    if [[ -f $usr/$icon ]]; then
      actual=$(png_size "$usr/$icon")
      [[ $actual == "${size}x${size}" ]] || fail "$icon is $actual pixels"
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
      echo "ok: appstreamcli validate"
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
