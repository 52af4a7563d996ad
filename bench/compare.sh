#!/usr/bin/env bash
# Times vorpel-cli side by side with the standard tools on the same jobs,
# on a generated 256 MiB text, and checks the results against the targets.
#
#   bench/compare.sh [BUILD_DIR]       BUILD_DIR: a Release build (default build/release)
#
# Environment:
#   VORPEL_COMPARE_DIR     work folder (default ${TMPDIR:-/tmp}/vorpel-compare); it gets
#                          about 1 GB of corpora and outputs, and results/ with the raw data
#   VORPEL_COMPARE_ROUNDS  timed rounds per job, at least 9 (default 9)
#   VORPEL_COMPARE_PARTS   which parts to run, any of: quiet utf8 overlap size count
#                          scattered (default all six; they run in that order)
#   VORPEL_COMPARE_QUIET_WAIT  before the quiet part, wait up to this many seconds
#                          (polling every 30 s) for the 1-minute load average to fall
#                          below VORPEL_COMPARE_QUIET_LOAD (default 1.0); default 0
#   VORPEL_SCATTER_MARGIN  memory the scattering helper leaves available, in bytes or
#                          with K, M or G (default twice the corpus + 1 GiB)
#
# Two conditions. Quiet: the jobs as they are. Scattered: the Read jobs again
# while vorpel_scatter_memory holds most of the free memory in scattered
# single pages (it touches all it takes and gives every other 4 KiB page
# back), so that no 2 MiB block is free without compaction; the helper
# ends, and gives its memory back, when the part is done. Each Read job
# reports the median and the slowest of its rounds.
#
# Each job is timed in rounds: every round runs both commands once under
# hyperfine (--runs 1, the order swapped from round to round), so slow
# phases of the machine hit both sides alike; the figure is the median of
# the rounds. Before every timed run, untimed, `sync` writes out what the
# run before left dirty, so no run pays for another's output reaching the
# disk. Peak memory comes from /usr/bin/time -v (median of 3 runs).
# Needs hyperfine and GNU time: scripts/install-deps.sh bench.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$repo/build/release}" && pwd)
cli=$build_dir/cli/vorpel-cli
make_corpus=$build_dir/bench/vorpel_make_corpus
scatter=$build_dir/bench/vorpel_scatter_memory
work=${VORPEL_COMPARE_DIR:-${TMPDIR:-/tmp}/vorpel-compare}
rounds=${VORPEL_COMPARE_ROUNDS:-9}
parts=${VORPEL_COMPARE_PARTS:-quiet utf8 overlap size count scattered}

for tool in "$cli" "$make_corpus" "$scatter"; do
  [[ -x $tool ]] || { echo "missing $tool: build the Release targets first" >&2; exit 1; }
done
for tool in hyperfine /usr/bin/time shuf; do
  command -v "$tool" >/dev/null || { echo "missing $tool: scripts/install-deps.sh bench" >&2; exit 1; }
done
((rounds >= 9)) || { echo "VORPEL_COMPARE_ROUNDS must be at least 9" >&2; exit 1; }

mkdir -p "$work/results"
cd "$work"
results=$work/results
rm -f "$results"/*.json "$results"/*.csv
summary=$results/summary.md
: >"$summary"
say() { printf '%s\n' "$*" | tee -a "$summary"; }

# ------------------------------------------------------------------ corpus
"$make_corpus" 256M corpus
corpus_bytes=$(stat -c %s corpus)
# The same size of UTF-8 text, about 5% of its characters beyond ASCII.
"$make_corpus" --utf8 256M corpus-utf8
for size in 32 64 128; do head -c "${size}M" corpus >"corpus-$size"; done
ln -sf corpus corpus-256

# ----------------------------------------------------------------- helpers
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
slowest() { sort -g | tail -n 1; }

# time_pair NAME OURS THEIRS [PREPARE]: alternating rounds; sets ours_s and
# theirs_s (median wall seconds), ours_max and theirs_max (the slowest
# round) and leaves results/NAME.json with every round. PREPARE runs,
# untimed, before every timed run (default: sync).
time_pair() {
  local name=$1 ours=$2 theirs=$3 prepare=${4:-sync} round
  local times_ours=$results/$name.ours.times times_theirs=$results/$name.theirs.times
  : >"$times_ours"
  : >"$times_theirs"
  # One untimed run each: files exist, caches are warm, as in every later round.
  sh -c "$ours" >/dev/null
  sh -c "$theirs" >/dev/null
  for ((round = 1; round <= rounds; round++)); do
    local csv=$results/$name.round$round.csv
    if ((round % 2)); then set -- "$ours" "$theirs"; else set -- "$theirs" "$ours"; fi
    hyperfine --runs 1 --prepare "$prepare" --style none --export-json "$results/$name.round$round.json" \
      --export-csv "$csv" -- "$@" >/dev/null 2>&1
    # The CSV has a line per command, in the order given: command, mean,
    # stddev, median, user, system, min, max. With one run the mean is that
    # run; it is counted from the end, as a command may hold commas.
    local first_file=$times_ours second_file=$times_theirs
    ((round % 2)) || { first_file=$times_theirs; second_file=$times_ours; }
    awk -F, 'NR == 2 { print $(NF - 6) }' "$csv" >>"$first_file"
    awk -F, 'NR == 3 { print $(NF - 6) }' "$csv" >>"$second_file"
  done
  {
    printf '{"job": "%s", "ours": %s, "theirs": %s, "rounds": [' "$name" \
      "$(printf '%s' "$ours" | json_string)" "$(printf '%s' "$theirs" | json_string)"
    local first=1
    for ((round = 1; round <= rounds; round++)); do
      ((first)) || printf ','
      first=0
      cat "$results/$name.round$round.json"
    done
    printf ']}\n'
  } >"$results/$name.json"
  rm -f "$results/$name".round*.json "$results/$name".round*.csv
  ours_s=$(median <"$times_ours")
  theirs_s=$(median <"$times_theirs")
  ours_max=$(slowest <"$times_ours")
  theirs_max=$(slowest <"$times_theirs")
}

json_string() { printf '"%s"' "$(sed 's/\\/\\\\/g; s/"/\\"/g')"; }

# peak_kib COMMAND: median of three maximum resident set sizes, in KiB.
peak_kib() {
  local command=$1
  for _ in 1 2 3; do
    /usr/bin/time -v -o "$results/time.txt" sh -c "$command" >/dev/null
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$results/time.txt"
  done | median
}

# summarize FILE: "median wall ms (mean user + system ms)|" per command of a
# hyperfine JSON export, in order.
summarize() {
  paste -d' ' <(grep -o '"median": [0-9.e+-]*' "$1" | cut -d' ' -f2) \
    <(grep -o '"user": [0-9.e+-]*' "$1" | cut -d' ' -f2) \
    <(grep -o '"system": [0-9.e+-]*' "$1" | cut -d' ' -f2) |
    awk '{ printf "%.0f ms (%.0f)|", $1 * 1000, ($2 + $3) * 1000 }'
}

mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v limit="$2" 'BEGIN { print (v <= limit) ? "met" : "MISSED" }'; }
ms() { awk -v s="$1" 'BEGIN { printf "%.0f", s * 1000 }'; }
# "median ms, slowest ms" of the last time_pair, for our side or theirs.
ours_ms() { printf '%s ms, %s ms' "$(ms "$ours_s")" "$(ms "$ours_max")"; }
theirs_ms() { printf '%s ms, %s ms' "$(ms "$theirs_s")" "$(ms "$theirs_max")"; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
wants() { [[ " $parts " == *" $1 "* ]]; }

# wait_for_quiet: up to VORPEL_COMPARE_QUIET_WAIT seconds for the 1-minute
# load average to fall below VORPEL_COMPARE_QUIET_LOAD.
wait_for_quiet() {
  local waited=0 limit=${VORPEL_COMPARE_QUIET_WAIT:-0} threshold=${VORPEL_COMPARE_QUIET_LOAD:-1.0}
  while ((waited < limit)) &&
    awk -v l="$(cut -d' ' -f1 /proc/loadavg)" -v t="$threshold" 'BEGIN { exit !(l >= t) }'; do
    sleep 30
    waited=$((waited + 30))
  done
}

# The scattering helper, started and stopped around the scattered part.
scatter_pid=
start_scatter() {
  local margin=${VORPEL_SCATTER_MARGIN:-$((2 * corpus_bytes + (1 << 30)))} waited
  "$scatter" "$margin" >"$results/scatter.log" 2>&1 &
  scatter_pid=$!
  for ((waited = 0; waited < 600; waited++)); do
    grep -q '^ready' "$results/scatter.log" && return 0
    kill -0 "$scatter_pid" 2>/dev/null || break
    sleep 1
  done
  echo "the scattering helper did not get ready: $(cat "$results/scatter.log")" >&2
  stop_scatter
  exit 1
}
stop_scatter() {
  [[ -n $scatter_pid ]] || return 0
  kill -TERM "$scatter_pid" 2>/dev/null || true
  wait "$scatter_pid" 2>/dev/null || true
  scatter_pid=
}
trap stop_scatter EXIT

cli_q=$(printf '%q' "$cli")

# The jobs' commands. Those of a length above 1 cut sequences one after
# another (--no-overlap), as every job did before sequences overlapped by
# default; the overlap part has jobs of its own.
line_ours="$cli_q -u words -l 1 -s '\\n' -n 32767 --no-fix-caps -f corpus out"
line_theirs="shuf -r -n 32767 -o out corpus"
cat_job="cat corpus > /dev/null"
letters_ours="$cli_q -u letters -l 1 -n 32767 --no-fix-caps -f corpus out"
words_ours="$cli_q --no-overlap -f corpus out"
big_ours="$cli_q -u letters -l 100 --no-overlap -n 2000000 --no-fix-caps -f corpus out"
big_theirs="head -c 200M corpus > out2"
# The big output goes to a new file: the same job over an existing file
# also waits until the new text is on disk before it replaces the old.
new_output="rm -f out out2; sync"
replace_ours="$cli_q -u letters -l 100 --no-overlap -n 2000000 --no-fix-caps -f corpus replaced"
big_new_ours="$cli_q -u letters -l 100 --no-overlap -n 2000000 --no-fix-caps -f corpus new"
caps_ours="$cli_q -u letters -l 100 --no-overlap -n 2000000 --fix-caps -f corpus out"
# Items of words 4: one per 4 separators, and one more for a trailing part.
spaces=$(tr -cd ' ' <corpus | wc -c)
items=$(((spaces + 3) / 4 + 1))

thp_setting() { sed -n 's/.*\[\(.*\)\].*/\1/p' "/sys/kernel/mm/transparent_hugepage/$1" 2>/dev/null || echo unknown; }

say "# vorpel-cli against the standard tools"
say ""
say "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores ($(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)),"
say "$(uname -sr), $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) of memory, transparent huge pages"
say "\"$(thp_setting enabled)\", defrag \"$(thp_setting defrag)\"; corpus $corpus_bytes bytes,"
say "sha256 $(sha256sum corpus | cut -c1-16)...; $rounds alternating rounds per job."

# ------------------------------------------------------------ quiet machine
quiet_letters_s=
quiet_part() {
  wait_for_quiet
  say ""
  say "## Quiet machine"
  say ""
  say "Load average at the start: $(load). Wall times are the median and the slowest round."
  say ""
  say "| job | vorpel-cli (median, slowest) | other (median, slowest) | ratio of medians | target | |"
  say "|---|---|---|---|---|---|"

  # 1. The line job, against shuf.
  time_pair line "$line_ours" "$line_theirs"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| line job vs shuf, wall | $(ours_ms) | $(theirs_ms) | $r | <= 0.5 | $(verdict "$r" 0.5) |"
  line_mem_ours=$(peak_kib "$line_ours")
  line_mem_theirs=$(peak_kib "$line_theirs")
  r=$(ratio "$line_mem_ours" "$line_mem_theirs")
  say "| line job vs shuf, peak memory | $(mb "$line_mem_ours") MiB | $(mb "$line_mem_theirs") MiB | $r | <= 1 | $(verdict "$r" 1) |"

  # Every output line must be a line of the corpus, and there must be 32767.
  sh -c "$line_ours"
  lines_out=$(wc -l <out)
  foreign=$(LC_ALL=C awk 'NR == FNR { want[$0] = 1; next } ($0 in want) { delete want[$0] }
    END { n = 0; for (k in want) n++; print n }' out corpus)
  say "| line job output check | $lines_out lines | | | 32767 lines, all from the corpus | $( ((lines_out == 32767 && foreign == 0)) && echo met || echo "MISSED ($foreign foreign)")|"

  # 2. Letters of length 1, the largest pool, against cat.
  time_pair letters1 "$letters_ours" "$cat_job"
  quiet_letters_s=$ours_s
  r=$(ratio "$ours_s" "$theirs_s")
  say "| letters, length 1 vs cat, wall | $(ours_ms) | $(theirs_ms) | $r | <= 3 | $(verdict "$r" 3) |"
  letters_mem=$(peak_kib "$letters_ours")
  limit_kib=$(awk -v c="$corpus_bytes" 'BEGIN { printf "%.0f", (1.1 * c + 32 * 1048576) / 1024 }')
  say "| letters, length 1, peak memory | $(mb "$letters_mem") MiB | | | <= $(mb "$limit_kib") MiB (1.1 x corpus + 32 MiB) | $(verdict "$letters_mem" "$limit_kib") |"

  # 3. Words of length 4 with one space (the defaults), against cat.
  time_pair words4 "$words_ours" "$cat_job"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| words, length 4 vs cat, wall | $(ours_ms) | $(theirs_ms) | $r | <= 5 | $(verdict "$r" 5) |"
  words_mem=$(peak_kib "$words_ours")
  limit_kib=$(awk -v c="$corpus_bytes" -v i="$items" 'BEGIN { printf "%.0f", (c + 4 * i + 32 * 1048576) / 1024 }')
  say "| words, length 4, peak memory | $(mb "$words_mem") MiB | | | <= $(mb "$limit_kib") MiB (corpus + 4 B x $items items + 32 MiB) | $(verdict "$words_mem" "$limit_kib") |"

  # 4. Big output: 2,000,000 x 100 letters, against head writing 200 MiB.
  time_pair big "$big_ours" "$big_theirs" "$new_output"
  big_ours_s=$ours_s
  r=$(ratio "$ours_s" "$theirs_s")
  say "| big output vs head, wall | $(ours_ms) | $(theirs_ms) | $r | <= 1.5 | $(verdict "$r" 1.5) |"

  # 5. The capitalization fix on the big output, against the same job without it.
  time_pair caps "$caps_ours" "$big_ours" "$new_output"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| big output with --fix-caps vs without, wall | $(ours_ms) | $(theirs_ms) | $r | <= 1.3 | $(verdict "$r" 1.3) |"

  # 6. The durable replace: the big output over the 200 MB file the last
  # round left, against the same job to a new name. No target; the cost.
  time_pair replace "$replace_ours" "$big_new_ours" "rm -f new; sync"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| big output replacing a 200 MB file vs to a new file, wall | $(ours_ms) | $(theirs_ms) | $r | (cost of the sync) | |"
  say ""
  say "The big output job without the fix took $(ms "$big_ours_s") ms in its own pairing."
}

# ---------------------------------------------------- scattered free memory
scattered_part() {
  start_scatter
  say ""
  say "## Scattered free memory"
  say ""
  say "Load average at the start: $(load). vorpel_scatter_memory, $(sed -n 's/^ready: //p' "$results/scatter.log")."
  say "Wall times are the median and the slowest round."
  say ""
  say "| Read job | vorpel-cli (median, slowest) | other (median, slowest) | ratio of medians | target | |"
  say "|---|---|---|---|---|---|"

  time_pair line-scattered "$line_ours" "$line_theirs"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| line job vs shuf | $(ours_ms) | $(theirs_ms) | $r | below 1 | $(awk -v v="$r" 'BEGIN { print (v < 1) ? "met" : "MISSED" }') |"

  time_pair letters1-scattered "$letters_ours" "$cat_job"
  r=$(ratio "$ours_s" "$theirs_s")
  if [[ -n $quiet_letters_s ]]; then
    stall=$(ratio "$ours_max" "$quiet_letters_s")
    target="slowest <= 3 x quiet median ($(ms "$quiet_letters_s") ms): $stall"
    met=$(verdict "$stall" 3)
  else
    target="slowest <= 3 x quiet median (quiet part not run)"
    met=-
  fi
  say "| letters, length 1 vs cat | $(ours_ms) | $(theirs_ms) | $r | $target | $met |"

  time_pair words4-scattered "$words_ours" "$cat_job"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| words, length 4 vs cat | $(ours_ms) | $(theirs_ms) | $r | | |"

  if ! kill -0 "$scatter_pid" 2>/dev/null; then
    say ""
    say "**The scattering helper ended before the part did: these figures are not of scattered memory.**"
  fi
  stop_scatter
}

# ------------------------------------------------------------------- UTF-8
# 6. and 7. A UTF-8 source: letters are characters (grapheme clusters), so
# letters of length 1 index every character; words match separators as
# whole characters.
utf8_part() {
  say ""
  say "## A UTF-8 source"
  say ""
  say "| job | vorpel-cli | other | ratio | target | |"
  say "|---|---|---|---|---|---|"
  utf8_cat="cat corpus-utf8 > /dev/null"
  utf8_letters="$cli_q -u letters -l 1 -n 32767 --no-fix-caps -f corpus-utf8 out"
  time_pair utf8-letters1 "$utf8_letters" "$utf8_cat"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| UTF-8 letters, length 1 vs cat, wall | $(ms "$ours_s") ms | $(ms "$theirs_s") ms | $r | <= 6 | $(verdict "$r" 6) |"
  utf8_letters_mem=$(peak_kib "$utf8_letters")
  limit_kib=$(awk -v c="$corpus_bytes" 'BEGIN { printf "%.0f", (1.2 * c + 32 * 1048576) / 1024 }')
  say "| UTF-8 letters, length 1, peak memory | $(mb "$utf8_letters_mem") MiB | | | <= $(mb "$limit_kib") MiB (1.2 x corpus + 32 MiB) | $(verdict "$utf8_letters_mem" "$limit_kib") |"
  utf8_words="$cli_q --no-overlap -f corpus-utf8 out"
  time_pair utf8-words4 "$utf8_words" "$cli_q --no-overlap -f corpus out"
  r=$(ratio "$ours_s" "$theirs_s")
  say "| UTF-8 words, length 4 vs the same on the ASCII corpus, wall | $(ms "$ours_s") ms | $(ms "$theirs_s") ms | $r | <= 1.5 | $(verdict "$r" 1.5) |"
  utf8_draw="$cli_q -u letters -l 100 --no-overlap -n 32767 --no-fix-caps -f corpus-utf8 out"
  time_pair utf8-letters100 "$utf8_draw" "$utf8_letters"
  say "| UTF-8 letters, length 100, 32,767 drawn, vs length 1 (the drawing's cost), wall | $(ms "$ours_s") ms | $(ms "$theirs_s") ms | $(ms "$(awk -v a="$ours_s" -v b="$theirs_s" 'BEGIN { print a - b }')") ms more | well under 1 s | $(verdict "$(awk -v a="$ours_s" -v b="$theirs_s" 'BEGIN { print a - b }')" 0.5) |"
}

# ----------------------------------------------------------------- overlap
# Overlapping sequences of length 4 keep only the boundaries of the single
# units, as the cut of length 1 does: each overlapping Read, letters and
# words on both corpora, against the Read of length 1 without overlap. The
# jobs draw nothing and write to standard output, so each is the Read
# alone: a drawn text, four times longer on one side, and its file's sync
# would weigh on these short jobs.
overlap_part() {
  say ""
  say "## Overlapping sequences"
  say ""
  say "Load average at the start: $(load). Wall times are the median and the slowest round."
  say ""
  say "| job | overlap, length 4 (median, slowest) | no overlap, length 1 (median, slowest) | ratio | target | |"
  say "|---|---|---|---|---|---|"
  local source unit name ours theirs r mem_ours mem_theirs limit_kib
  for source in corpus corpus-utf8; do
    for unit in letters words; do
      name="overlap-$unit-$source"
      ours="$cli_q -u $unit -l 4 --overlap -n 0 $source -"
      theirs="$cli_q -u $unit -l 1 --no-overlap -n 0 $source -"
      time_pair "$name" "$ours" "$theirs"
      r=$(ratio "$ours_s" "$theirs_s")
      say "| $unit of $source, wall | $(ours_ms) | $(theirs_ms) | $r | <= 1.1 | $(verdict "$r" 1.1) |"
      mem_ours=$(peak_kib "$ours")
      mem_theirs=$(peak_kib "$theirs")
      limit_kib=$(awk -v t="$mem_theirs" 'BEGIN { printf "%.0f", 1.1 * t + 16 * 1024 }')
      say "| $unit of $source, peak memory | $(mb "$mem_ours") MiB | $(mb "$mem_theirs") MiB | $(ratio "$mem_ours" "$mem_theirs") | <= $(mb "$limit_kib") MiB (1.1 x length 1 + 16 MiB) | $(verdict "$mem_ours" "$limit_kib") |"
    done
  done
}

# ------------------------------------------------------------------ growth
size_part() {
  say ""
  say "## Growth with the source size"
  say ""
  say "Load average at the start: $(load). Median wall time of $rounds runs each, and in brackets"
  say "the mean CPU time (user + system)."
  say ""
  say "| source | line job | letters 1 | words 4 | cat | peak line / letters 1 / words 4 |"
  say "|---|---|---|---|---|---|"
  for size in 32 64 128 256; do
    src=corpus-$size
    line="$cli_q -u words -l 1 -s '\\n' -n 32767 --no-fix-caps -f $src out"
    letters="$cli_q -u letters -l 1 -n 32767 --no-fix-caps -f $src out"
    words="$cli_q --no-overlap -f $src out"
    reference="cat $src > /dev/null"
    hyperfine --warmup 1 --runs "$rounds" --prepare sync --style none \
      --export-json "$results/size-$size.json" \
      -- "$line" "$letters" "$words" "$reference" >/dev/null 2>&1
    IFS='|' read -r m_line m_letters m_words m_cat _ <<<"$(summarize "$results/size-$size.json")"
    say "| $size MiB | $m_line | $m_letters | $m_words | $m_cat | $(mb "$(peak_kib "$line")") / $(mb "$(peak_kib "$letters")") / $(mb "$(peak_kib "$words")") MiB |"
  done
}

# ------------------------------------------------------------------- count
count_part() {
  say ""
  say "## Growth with the count, on the 256 MiB source"
  say ""
  say "Load average at the start: $(load). Median wall time of $rounds runs each, and in brackets"
  say "the mean CPU time (user + system)."
  say ""
  say "| count | words 4 (about $((corpus_bytes / items)) B each) | letters 100 (100 B each) |"
  say "|---|---|---|"
  for count in 0 250000 500000 1000000 2000000; do
    words="$cli_q --no-overlap -n $count -f corpus out"
    letters="$cli_q -u letters -l 100 --no-overlap -n $count --no-fix-caps -f corpus out"
    hyperfine --warmup 1 --runs "$rounds" --prepare sync --style none \
      --export-json "$results/count-$count.json" \
      -- "$words" "$letters" >/dev/null 2>&1
    IFS='|' read -r m_words m_letters _ <<<"$(summarize "$results/count-$count.json")"
    say "| $count | $m_words | $m_letters |"
  done
}

# The scattered part comes last: it needs the quiet letters median, and the
# memory its helper hands back at the end would change the state of the
# machine for any part after it.
wants quiet && quiet_part
wants utf8 && utf8_part
wants overlap && overlap_part
wants size && size_part
wants count && count_part
wants scattered && scattered_part

rm -f out out2 "$results/time.txt"
say ""
say "Raw hyperfine data: $results/*.json"
