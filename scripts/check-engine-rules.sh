#!/usr/bin/env bash
# The engine's house rules that a compiler does not check, over the files
# of an engine folder (default: engine/ beside this script):
# - no file longer than 300 lines;
# - no Qt: the engine is standard C++;
# - threads start in one place only, the helper for work beside the caller;
# - comments are // comments.
# Prints every breach and exits 1 when there is one.
set -euo pipefail
engine=${1:-$(dirname "$0")/../engine}
max_lines=300
status=0

while IFS= read -r file; do
  lines=$(wc -l <"$file")
  if ((lines > max_lines)); then
    echo "$file: $lines lines (at most $max_lines)"
    status=1
  fi
done < <(find "$engine" -name '*.h' -o -name '*.cpp')

breach() {  # breach WHAT GREP-ARGS...: every match of the pattern is one
  local what=$1
  shift
  local found
  if found=$(grep -rnE --include='*.h' --include='*.cpp' "$@" "$engine"); then
    while IFS= read -r line; do echo "$line  ($what)"; done <<<"$found"
    status=1
  fi
}
breach "the engine includes no Qt" '^\s*#\s*include\s*[<"]Q'
breach "threads start only in run_beside" --exclude='run_beside.*' 'std::(j?thread|async)\b[^:]'
breach "comments are // comments" '/\*\*|^\s*/\*'

exit $status
