#!/usr/bin/env bash
# Writes the batch command's manual page from its own --help and --version,
# with the sections of the include file added, gzipped for share/man/man1.
#
#   make_cli_man.sh CLI_PROGRAM INCLUDE_FILE CHANGELOG OUTPUT.1.gz
#
# The page's date is that of the newest changelog entry (unless
# SOURCE_DATE_EPOCH is set), so the same sources give the same page.
set -euo pipefail
program=$1
include=$2
changelog=$3
output=$4

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(date -u -d "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -n 1)" +%s)
  export SOURCE_DATE_EPOCH
fi

page=$(mktemp)
trap 'rm -f "$page"' EXIT
help2man --no-info --include="$include" "$program" --output="$page"
# CLI11 lists an option's names as "-u,--unit"; help2man sets only the first
# in bold. Set the long name in bold too, after a blank.
sed -i 's/\\fR,\(\\-\\-[^ ]*\)/\\fR, \\fB\1\\fR/' "$page"
gzip -9 -n -c "$page" >"$output"
