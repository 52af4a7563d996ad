#!/usr/bin/env bash
# What a change to the writer costs: two builds of vorpel-cli, BEFORE and
# AFTER, in alternating rounds on the 256 MiB corpus of bench/compare.sh,
# writing the big output (200 MB) over the file of the last round, to a new
# file, and the default words job's small output (about 650 KB) over the
# last one. Prints each side's median and quartiles and the median and
# quartiles of the paired ratios AFTER / BEFORE.
#
#   bench/write_cost.sh BEFORE AFTER [ROUNDS]     ROUNDS: default 15
#
# Work folder: VORPEL_COMPARE_DIR (default ${TMPDIR:-/tmp}/vorpel-compare),
# whose corpus is made with AFTER's build folder's vorpel_make_corpus when
# missing. `sync` runs before every timed run.
set -euo pipefail
before=$(realpath "$1")
after=$(realpath "$2")
rounds=${3:-15}
work=${VORPEL_COMPARE_DIR:-${TMPDIR:-/tmp}/vorpel-compare}
mkdir -p "$work"
cd "$work"
[[ -f corpus ]] || "$(dirname "$after")/../bench/vorpel_make_corpus" 256M corpus

big=(-u letters -l 100 -n 2000000 --no-fix-caps --seed 1 -f corpus)
words=(-f corpus)
# run CLI JOB SIDE ARGS...: one timed run, its wall time in ms added to
# JOB.SIDE.times; the new-file job removes its file first.
run() {
  local cli=$1 job=$2 side=$3 start end
  shift 3
  [[ $job != new ]] || rm -f "$job-$side.out"
  sync
  start=$(date +%s%N)
  "$cli" "$@" "$job-$side.out" >/dev/null
  end=$(date +%s%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f\n", (e - s) / 1e6 }' >>"$job.$side.times"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
quartiles() { sort -g | awk '{ v[NR] = $1 } END { printf "%s to %s", v[int((NR - 1) / 4) + 1], v[int(3 * (NR - 1) / 4) + 1] }'; }

for job in replace new small; do
  rm -f "$job".{before,after}.times
  args=("${big[@]}")
  [[ $job == small ]] && args=("${words[@]}")
  "$before" "${args[@]}" "$job-before.out" >/dev/null
  "$after" "${args[@]}" "$job-after.out" >/dev/null
  for ((round = 1; round <= rounds; round++)); do
    if ((round % 2)); then
      run "$before" "$job" before "${args[@]}"
      run "$after" "$job" after "${args[@]}"
    else
      run "$after" "$job" after "${args[@]}"
      run "$before" "$job" before "${args[@]}"
    fi
  done
  ratios=$(paste "$job.before.times" "$job.after.times" | awk '{ printf "%.3f\n", $2 / $1 }')
  printf '%s: before %s ms (%s), after %s ms (%s); after / before %s (%s)\n' "$job" \
    "$(median <"$job.before.times")" "$(quartiles <"$job.before.times")" \
    "$(median <"$job.after.times")" "$(quartiles <"$job.after.times")" \
    "$(median <<<"$ratios")" "$(quartiles <<<"$ratios")"
done
rm -f ./*-before.out ./*-after.out
