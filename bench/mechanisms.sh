#!/usr/bin/env bash
# Measures what each of the engine's speed mechanisms gains on the job it is
# there for. Every round runs the job twice, once as shipped (vorpel-cli)
# and once with the mechanism turned off (vorpel_tuned_cli --without NAME),
# the order swapped from round to round, and takes the ratio of the two wall
# times, off / on: above 1 the mechanism gains, 1.10 is a tenth. The figure
# is the median of the rounds' ratios, with their quartiles.
#
#   bench/mechanisms.sh [BUILD_DIR]     BUILD_DIR: the Release build of make bench-compare
#                                       (default build/compare)
#
# Three conditions:
#   warm       runs one after another, as when a job is repeated
#   cold       each run right after a memory-heavy job, as when a user runs the
#              command after other work: on some machines memory not touched
#              lately costs several times more to fill
#   scattered  while vorpel_scatter_memory holds most free memory in single
#              pages (as in compare.sh); only for the mechanisms about pages
#
# Environment:
#   VORPEL_COMPARE_DIR     work folder, shared with compare.sh (default
#                          ${TMPDIR:-/tmp}/vorpel-compare); corpora are made if missing;
#                          results in results/mechanisms.csv and mechanisms.md
#   VORPEL_MECH_ROUNDS     rounds per mechanism, job and condition, at least 15 (default 15)
#   VORPEL_MECH_ONLY       the mechanisms to measure (default all), names as below
#   VORPEL_MECH_CONDITIONS any of: warm cold scattered (default all three)
#   VORPEL_MECH_COLD_JOB   the memory-heavy job run, untimed, before each cold run
#                          (default: dd through a 1 GiB buffer twice)
#   VORPEL_MECH_BASE       mechanisms turned off on both sides (names joined by +): what
#                          one mechanism gains when another is missing
#   VORPEL_MECH_LOCK       a file to hold an exclusive flock on during each round (and
#                          during the whole scattered condition), so that other work
#                          on a shared machine waits between rounds, not during them
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$repo/build/compare}" && pwd)
cli=$build_dir/cli/vorpel-cli
tuned=$build_dir/bench/vorpel_tuned_cli
make_corpus=$build_dir/bench/vorpel_make_corpus
scatter=$build_dir/bench/vorpel_scatter_memory
work=${VORPEL_COMPARE_DIR:-${TMPDIR:-/tmp}/vorpel-compare}
rounds=${VORPEL_MECH_ROUNDS:-15}
only=${VORPEL_MECH_ONLY:-}
conditions=${VORPEL_MECH_CONDITIONS:-warm cold scattered}
cold_job=${VORPEL_MECH_COLD_JOB:-dd if=/dev/zero of=/dev/null bs=1G count=2 iflag=fullblock status=none}
lock=${VORPEL_MECH_LOCK:-}
base=${VORPEL_MECH_BASE:-}
# The command as shipped, or with the base mechanisms turned off.
on_cli=("$cli")
[[ -z $base ]] || on_cli=("$tuned" --without "${base//+/,}")

for tool in "$cli" "$tuned" "$make_corpus" "$scatter"; do
  [[ -x $tool ]] || { echo "missing $tool: build the compare preset first" >&2; exit 1; }
done
((rounds >= 15)) || { echo "VORPEL_MECH_ROUNDS must be at least 15" >&2; exit 1; }

mkdir -p "$work/results"
cd "$work"
[[ -f corpus ]] || "$make_corpus" 256M corpus
[[ -f corpus-utf8 ]] || "$make_corpus" --utf8 256M corpus-utf8
csv=$work/results/mechanisms.csv
summary=$work/results/mechanisms.md
echo "mechanism,job,condition,round,on_ms,off_ms" >"$csv"
: >"$summary"
say() { printf '%s\n' "$*" | tee -a "$summary"; }

# The jobs, as in compare.sh: the arguments after the command.
declare -A jobs=(
  [letters1]="-u letters -l 1 -n 32767 --no-fix-caps -f corpus out"
  [utf8-letters1]="-u letters -l 1 -n 32767 --no-fix-caps -f corpus-utf8 out"
  [utf8-words4]="--no-overlap -f corpus-utf8 out"
)
# Mechanism (names of vorpel_tuned_cli, joined by + to turn off several),
# job, and whether the scattered condition applies.
rows=(
  "avx2-check letters1 -"
  "avx2-check utf8-letters1 -"
  "free-huge-pages letters1 scattered"
  "part-chooser letters1 scattered"
  "free-huge-pages+part-chooser letters1 scattered"
  "two-half-read letters1 scattered"
  "two-thread-letter-index utf8-letters1 -"
  "two-thread-word-cut utf8-words4 -"
)

if [[ -n $lock ]]; then exec 9>>"$lock"; fi
take_lock() { [[ -z $lock ]] || flock -x 9; }
drop_lock() { [[ -z $lock ]] || flock -u 9; }

# One timed run in milliseconds; the preparation runs first, untimed.
run_ms() {
  local prepare=$1 start end
  shift
  eval "$prepare"
  start=$EPOCHREALTIME
  "$@" >/dev/null
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", (e - s) * 1000 }'
}

quartiles() { sort -g | awk '{ v[NR] = $1 }
  function at(q,  p, i) { p = 1 + (NR - 1) * q; i = int(p); return v[i] + (p - i) * (v[i + 1 < NR ? i + 1 : NR] - v[i]) }
  END { printf "%.2f (%.2f to %.2f)", at(0.5), at(0.25), at(0.75) }'; }
median_ms() { sort -g | awk '{ v[NR] = $1 } END { printf "%.0f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure MECHANISM JOB CONDITION: the rounds, and a line of the table.
measure() {
  local mechanism=$1 job=$2 condition=$3 round on off prepare=sync without=${1//+/,}${base:+,${base//+/,}}
  # shellcheck disable=SC2206
  local args=(${jobs[$job]})
  [[ $condition == cold ]] && prepare="$cold_job; sync"
  if [[ $condition != cold ]]; then
    take_lock
    "${on_cli[@]}" "${args[@]}" >/dev/null
    "$tuned" --without "$without" "${args[@]}" >/dev/null
    drop_lock
  fi
  for ((round = 1; round <= rounds; round++)); do
    take_lock
    if ((round % 2)); then
      on=$(run_ms "$prepare" "${on_cli[@]}" "${args[@]}")
      off=$(run_ms "$prepare" "$tuned" --without "$without" "${args[@]}")
    else
      off=$(run_ms "$prepare" "$tuned" --without "$without" "${args[@]}")
      on=$(run_ms "$prepare" "${on_cli[@]}" "${args[@]}")
    fi
    drop_lock
    echo "$mechanism,$job,$condition,$round,$on,$off" >>"$csv"
  done
  local mine="^$mechanism,$job,$condition,"
  say "| $mechanism | $job | $condition | $(grep "$mine" "$csv" | cut -d, -f5 | median_ms) | $(grep "$mine" "$csv" | cut -d, -f6 | median_ms) | $(grep "$mine" "$csv" | awk -F, '{ print $6 / $5 }' | quartiles) |"
}

wanted() { [[ -z $only ]] || [[ " $only " == *" $1 "* ]]; }
has() { [[ " $conditions " == *" $1 "* ]]; }

say "# What each speed mechanism gains"
say ""
say "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $rounds rounds each."
[[ -z $base ]] || say "Turned off on both sides: ${base//+/, }."
say "Times are medians in ms; the gain is the ratio off / on of each round: median (quartiles)."
say ""
say "| turned off | job | condition | on, ms | off, ms | gain |"
say "|---|---|---|---|---|---|"
for condition in warm cold; do
  has "$condition" || continue
  for row in "${rows[@]}"; do
    read -r mechanism job _ <<<"$row"
    wanted "$mechanism" && measure "$mechanism" "$job" "$condition"
  done
done

scatter_pid=
stop_scatter() {
  [[ -n $scatter_pid ]] || return 0
  kill -TERM "$scatter_pid" 2>/dev/null || true
  wait "$scatter_pid" 2>/dev/null || true
  scatter_pid=
  drop_lock
}
trap stop_scatter EXIT
if has scattered; then
  take_lock
  # While the helper holds the memory, the lock stays taken: other work
  # then could run the machine out of memory.
  lock_held=$lock
  lock=
  corpus_bytes=$(stat -c %s corpus)
  "$scatter" "${VORPEL_SCATTER_MARGIN:-$((2 * corpus_bytes + (1 << 30)))}" >results/scatter.log 2>&1 &
  scatter_pid=$!
  until grep -q '^ready' results/scatter.log; do
    kill -0 "$scatter_pid" 2>/dev/null || { echo "the scattering helper failed: $(cat results/scatter.log)" >&2; exit 1; }
    sleep 1
  done
  for row in "${rows[@]}"; do
    read -r mechanism job scattered <<<"$row"
    [[ $scattered == scattered ]] && wanted "$mechanism" && measure "$mechanism" "$job" scattered
  done
  kill -0 "$scatter_pid" 2>/dev/null || say "**The scattering helper ended early: the scattered figures are not of scattered memory.**"
  lock=$lock_held
  stop_scatter
fi
