#!/usr/bin/env bash
# Does what the README tells a new user to do with the batch command, and
# checks that the program answers as the README says:
#   - every `vorpel-cli ...` line of its examples runs and exits 0 (paths
#     under /tmp/ are moved into a scratch folder), and a file target ends
#     up holding text while the command prints nothing;
#   - the text shown in the walk-through, "something like" a window's Write,
#     is how the seeded command named below it begins, byte for byte;
#   - an example with --list prints the pool, ending in its line on the
#     sources, and the listing shown after "one sequence a line:" is what
#     the --list command named before it prints, its parts in order where
#     "..." stands for the lines left out.
#
#   readme_test.sh SOURCE_DIR VORPEL_CLI
#
# Exit 0 on success, 1 on a failed check.
set -euo pipefail
source_dir=$1
cli=$2
readme=$source_dir/README.md

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorpel-readme-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cd "$source_dir"
examples=0
while read -r line; do
  examples=$((examples + 1))
  command=${line//\/tmp\//$scratch\/}
  command=${command/vorpel-cli/\"\$cli\"}
  target=$(awk '{ print $NF }' <<<"$command")
  if ! output=$(eval "$command" 2>&1 >"$scratch/stdout"); then
    fail "README example exits non-zero: $line ($output)"
  elif [[ -n $output ]]; then
    fail "README example writes to standard error: $line ($output)"
  elif [[ $command == *" --list "* ]]; then
    if tail -n 1 "$scratch/stdout" | grep -q '^[0-9]* \(overlapping \)\{0,1\}sequences\{0,1\}; '; then
      echo "ok: $line"
    else
      fail "README example prints no pool: $line"
    fi
  elif [[ $target == - ]]; then
    if [[ -s $scratch/stdout ]]; then echo "ok: $line"; else fail "README example prints no text: $line"; fi
  elif [[ ! -s $target || -s $scratch/stdout ]]; then
    fail "README example does not write its file silently: $line"
  else
    echo "ok: $line"
  fi
done < <(sed -n 's/^    \(vorpel-cli .*\)$/\1/p' "$readme" | grep -v -F '[options]')
((examples >= 3)) || fail "found only $examples vorpel-cli examples in the README"

# The walk-through's sample text: the indented block after "now holds".
sample=$(awk '/now holds/ { on = 1; next } on && /^       [^ ]/ { print substr($0, 8); seen = 1; next }
              seen { exit }' "$readme")
# shellcheck disable=SC2016  # backquotes, not an expansion
seeded=$(grep -o '`vorpel-cli --seed [0-9]* [^`]*`' "$readme" | head -n 1 | tr -d '`')
if [[ -z $sample || -z $seeded ]]; then
  fail "the walk-through has no sample text or no seeded command for it"
else
  shown=${sample% ...}
  read -r -a words <<<"$seeded"
  actual=$("$cli" "${words[@]:1}" | head -c "${#shown}")
  if [[ $actual == "$shown" ]]; then
    echo "ok: the walk-through's text is how '$seeded' begins"
  else
    fail "'$seeded' begins"$'\n'"$actual"$'\n'"not as the README shows"$'\n'"$shown"
  fi
fi

# The listing shown in the README, in parts between the "..." lines.
# shellcheck disable=SC2016  # backquotes, not an expansion
listed=$(grep -o '`vorpel-cli --list [^`]*`' "$readme" | head -n 1 | tr -d '`')
shown_listing=$(awk '/one sequence a line:$/ { on = 1; next }
                     on && /^    [^ ]/ { print substr($0, 5); seen = 1; next }
                     seen { exit }' "$readme")
if [[ -z $listed || -z $shown_listing ]]; then
  fail "the README shows no --list command and its listing"
else
  listing=$(eval "\"\$cli\" ${listed#vorpel-cli }")
  parts=()
  part=
  while IFS= read -r shown_line; do
    if [[ $shown_line == ... ]]; then
      parts+=("$part")
      part=
    else
      part+=${part:+$'\n'}$shown_line
    fi
  done <<<"$shown_listing"
  parts+=("$part")
  rest=$listing
  in_order=1
  [[ $rest == "${parts[0]}"* ]] || in_order=0
  [[ $rest == *"${parts[-1]}" ]] || in_order=0
  for part in "${parts[@]}"; do
    if [[ $rest == *"$part"* ]]; then rest=${rest#*"$part"}; else in_order=0; fi
  done
  if ((in_order)); then
    echo "ok: the listing shown is what '$listed' prints"
  else
    fail "'$listed' does not print the listing the README shows"
  fi
fi

((failures == 0)) || exit 1
echo "the README's commands do what it says"
