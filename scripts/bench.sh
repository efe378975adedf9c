#!/usr/bin/env bash
# Benchmark of foliostamp-cli: builds the native preset, makes Markdown
# documents of 20 MiB and 200 MiB in build/bench (the repo's file system),
# and times, on a fresh copy each time, `execute --no-settings
# --annotate-headings` in place, the same with `-o` to a new file, and
# `check` of the numbered result, against `cp` of the same file, with the
# peak memory of each. Prints min, median and max over several runs.
# Figures only: it asserts nothing and is not part of the tests.
#
#   scripts/bench.sh                          # 5 runs, 20 and 200 MiB, CR LF
#   BENCH_REPS=9 BENCH_SIZES_MB="20 200 500" BENCH_EOL=lf scripts/bench.sh
#   BENCH_CLI=/path/to/foliostamp-cli scripts/bench.sh   # another build
#                                                        # (execute only)
#
# Targets: execute within 3x the time of cp, check within 1.2x, execute -o
# within 1.5x; peak memory of execute under 8 MiB and the same at every size.
set -euo pipefail
cd "$(dirname "$0")/.."

reps="${BENCH_REPS:-5}"
sizes="${BENCH_SIZES_MB:-20 200}"
eol="${BENCH_EOL:-crlf}"

echo "== building"
cmake --preset native >/dev/null
cmake --build --preset native --target foliostamp-cli >/dev/null
cli="${BENCH_CLI:-$PWD/build/native/foliostamp-cli}"
# A build from before check and -o existed is timed for execute alone.
full=1
[ -n "${BENCH_CLI:-}" ] && full=0
dir=build/bench
mkdir -p "$dir"
c++ -O2 -std=c++17 -o "$dir/make_document" bench/make_document.cpp
c++ -O2 -std=c++17 -o "$dir/measure" bench/measure.cpp

# min, median and max of the numbers on standard input, one per line.
stats() {
  sort -g | awk -v fmt="$1" '{ v[NR] = $1 }
    END {
      if (NR == 0) { print "no data"; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "min " fmt "  median " fmt "  max " fmt "\n", v[1], m, v[NR]
    }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "== machine: $(nproc) CPUs, $(uname -sr), file system $(df -PT "$dir" | awk 'NR == 2 { print $2 }')"
echo "== $reps runs per figure; documents with $eol line endings"
summary=()
for mb in $sizes; do
  doc="$dir/doc-${mb}MB.md"
  if [ ! -f "$doc" ] || [ "$(cat "$doc.kind" 2>/dev/null)" != "$eol" ]; then
    "$dir/make_document" "$doc" "$mb" "$eol"
    echo "$eol" >"$doc.kind"
  fi
  bytes=$(stat -c %s "$doc")
  lines=$(wc -l <"$doc")
  breaks=$(grep -c '^<div style="page-break-after:always' "$doc" || true)
  headings=$(grep -c '^#\+ ' "$doc" || true)
  work="$dir/work.md"
  copy="$dir/copy.md"
  exec_log="$dir/execute-${mb}.txt"
  output_log="$dir/output-${mb}.txt"
  check_log="$dir/check-${mb}.txt"
  cp_log="$dir/cp-${mb}.txt"
  : >"$exec_log"
  : >"$output_log"
  : >"$check_log"
  : >"$cp_log"
  result=""
  for ((run = 1; run <= reps; run++)); do
    # A fresh copy to number, and a fresh target for cp; neither is timed.
    rm -f "$work" "$dir/work.bak" "$copy"
    cp "$doc" "$work"
    sync
    result=$("$dir/measure" "$exec_log" "$cli" execute --no-settings --annotate-headings "$work")
    sync
    "$dir/measure" "$cp_log" cp "$doc" "$copy"
    sync
    if [ "$full" = 1 ]; then
      rm -f "$copy"
      sync
      "$dir/measure" "$output_log" "$cli" execute --no-settings --annotate-headings -o "$copy" "$doc" >/dev/null
      sync
      # The numbered document is up to date: check reads all of it.
      "$dir/measure" "$check_log" "$cli" check --no-settings --annotate-headings "$work" >/dev/null
      sync
    fi
  done
  echo
  echo "-- ${mb} MiB document: $bytes bytes, $lines lines, $breaks page breaks, $headings headings"
  echo "   last result: $result"
  echo "   execute time (s):        $(awk '{ print $1 }' "$exec_log" | stats %.3f)"
  echo "   cp time (s):             $(awk '{ print $1 }' "$cp_log" | stats %.3f)"
  echo "   ratio execute/cp:        $(paste "$exec_log" "$cp_log" | awk '{ print $1 / $3 }' | stats %.2f)"
  if [ "$full" = 1 ]; then
    echo "   execute -o time (s):     $(awk '{ print $1 }' "$output_log" | stats %.3f)"
    echo "   check time (s):          $(awk '{ print $1 }' "$check_log" | stats %.3f)"
    echo "   ratio execute -o/cp:     $(paste "$output_log" "$cp_log" | awk '{ print $1 / $3 }' | stats %.2f)"
    echo "   ratio check/cp:          $(paste "$check_log" "$cp_log" | awk '{ print $1 / $3 }' | stats %.2f)"
  fi
  echo "   execute peak RSS (KiB):  $(awk '{ print $2 }' "$exec_log" | stats %.0f)"
  echo "   cp peak RSS (KiB):       $(awk '{ print $2 }' "$cp_log" | stats %.0f)"
  ratio=$(paste "$exec_log" "$cp_log" | awk '{ print $1 / $3 }' | median)
  rss=$(awk '{ print $2 }' "$exec_log" | median)
  summary+=("${mb} MiB: median ratio execute/cp $(printf %.2f "$ratio") (target <= 3), median execute peak RSS ${rss} KiB (target < 8192)")
  if [ "$full" = 1 ]; then
    summary+=("${mb} MiB: median ratio execute -o/cp $(paste "$output_log" "$cp_log" | awk '{ print $1 / $3 }' | median) (target <= 1.5), check/cp $(paste "$check_log" "$cp_log" | awk '{ print $1 / $3 }' | median) (target <= 1.2)")
  fi
  rm -f "$work" "$dir/work.bak" "$copy"
done
echo
echo "== summary"
for line in "${summary[@]}"; do echo "   $line"; done

# verify on a 300-sheet PDF, beside the other figures.
if [ "$full" = 1 ]; then
  echo
  scripts/bench-verify.sh
fi
