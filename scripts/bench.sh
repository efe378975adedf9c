#!/usr/bin/env bash
# Benchmark of foliostamp-cli: builds the native preset, makes Markdown
# documents of 200 KiB and 200 MiB in build/bench (the repo's file system),
# and times, on a fresh copy each time, `execute --no-settings
# --annotate-headings` in place, the same with `-o` to a new file, and
# `check` of the numbered result, against `cp` of the same file and `cp`
# followed by `sync` of the copy (the floor of a copy that lasts, as every
# job's writes do), with the peak memory of each. Prints min, median and
# max over several runs. Figures only: it asserts nothing and is not part
# of the tests.
#
#   scripts/bench.sh                          # 5 runs, 200 KiB and 200 MiB, CR LF
#   BENCH_REPS=9 BENCH_SIZES="20 200 500" BENCH_EOL=lf scripts/bench.sh
#                                             # sizes in MiB, or KiB with "k"
#   BENCH_BEFORE=/path/to/foliostamp-cli scripts/bench.sh
#                                             # also times execute of another
#                                             # build, beside this one
#
# Targets: execute within 3x the time of cp followed by sync, check within
# 1.2x of cp, execute -o within 1.5x of cp followed by sync; peak memory of
# execute under 8 MiB and the same at every size.
set -euo pipefail
cd "$(dirname "$0")/.."

reps="${BENCH_REPS:-5}"
sizes="${BENCH_SIZES:-200k 200}"
eol="${BENCH_EOL:-crlf}"
before="${BENCH_BEFORE:-}"

echo "== building"
cmake --preset native >/dev/null
cmake --build --preset native --target foliostamp-cli >/dev/null
cli="$PWD/build/native/foliostamp-cli"
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

# The median ratio of the times in two logs, run by run.
ratio() { paste "$1" "$2" | awk '{ print $1 / $3 }' | median; }

label() { case "$1" in *k) echo "${1%k} KiB" ;; *) echo "$1 MiB" ;; esac; }

echo "== machine: $(nproc) CPUs, $(uname -sr), file system $(df -PT "$dir" | awk 'NR == 2 { print $2 }')"
echo "== $reps runs per figure; documents with $eol line endings"
[ -n "$before" ] && echo "== earlier build beside: $before"
summary=()
for size in $sizes; do
  doc="$dir/doc-${size}.md"
  if [ ! -f "$doc" ] || [ "$(cat "$doc.kind" 2>/dev/null)" != "$eol" ]; then
    "$dir/make_document" "$doc" "$size" "$eol"
    echo "$eol" >"$doc.kind"
  fi
  bytes=$(stat -c %s "$doc")
  lines=$(wc -l <"$doc")
  breaks=$(grep -c '^<div style="page-break-after:always' "$doc" || true)
  headings=$(grep -c '^#\+ ' "$doc" || true)
  work="$dir/work.md"
  copy="$dir/copy.md"
  logs=(execute before output check cp cpsync)
  for name in "${logs[@]}"; do : >"$dir/$name-$size.txt"; done
  result=""
  for ((run = 1; run <= reps; run++)); do
    # A fresh copy to number, and a fresh target for cp; neither is timed.
    rm -f "$work" "$dir/work.bak" "$copy"
    cp "$doc" "$work"
    sync
    if [ -n "$before" ]; then
      "$dir/measure" "$dir/before-$size.txt" "$before" execute --no-settings --annotate-headings "$work" >/dev/null
      rm -f "$work" "$dir/work.bak"
      cp "$doc" "$work"
      sync
    fi
    result=$("$dir/measure" "$dir/execute-$size.txt" "$cli" execute --no-settings --annotate-headings "$work")
    sync
    "$dir/measure" "$dir/cp-$size.txt" cp "$doc" "$copy"
    sync
    rm -f "$copy"
    sync
    "$dir/measure" "$dir/cpsync-$size.txt" sh -c 'cp "$1" "$2" && sync "$2"' sh "$doc" "$copy"
    rm -f "$copy"
    sync
    "$dir/measure" "$dir/output-$size.txt" "$cli" execute --no-settings --annotate-headings -o "$copy" "$doc" >/dev/null
    sync
    # The numbered document is up to date: check reads all of it.
    "$dir/measure" "$dir/check-$size.txt" "$cli" check --no-settings --annotate-headings "$work" >/dev/null
    sync
  done
  t() { awk '{ print $1 }' "$dir/$1-$size.txt" | stats %.4f; }
  echo
  echo "-- $(label "$size") document: $bytes bytes, $lines lines, $breaks page breaks, $headings headings"
  echo "   last result: $result"
  echo "   execute time (s):          $(t execute)"
  [ -n "$before" ] && echo "   earlier execute time (s):  $(t before)"
  echo "   execute -o time (s):       $(t output)"
  echo "   check time (s):            $(t check)"
  echo "   cp time (s):               $(t cp)"
  echo "   cp + sync time (s):        $(t cpsync)"
  echo "   ratio execute/cp+sync:     $(paste "$dir/execute-$size.txt" "$dir/cpsync-$size.txt" | awk '{ print $1 / $3 }' | stats %.2f)"
  echo "   ratio execute/cp:          $(paste "$dir/execute-$size.txt" "$dir/cp-$size.txt" | awk '{ print $1 / $3 }' | stats %.2f)"
  echo "   execute peak RSS (KiB):    $(awk '{ print $2 }' "$dir/execute-$size.txt" | stats %.0f)"
  [ -n "$before" ] && echo "   earlier peak RSS (KiB):    $(awk '{ print $2 }' "$dir/before-$size.txt" | stats %.0f)"
  echo "   cp peak RSS (KiB):         $(awk '{ print $2 }' "$dir/cp-$size.txt" | stats %.0f)"
  rss=$(awk '{ print $2 }' "$dir/execute-$size.txt" | median)
  summary+=("$(label "$size"): median ratio execute/cp+sync $(printf %.2f "$(ratio "$dir/execute-$size.txt" "$dir/cpsync-$size.txt")") (target <= 3), execute peak RSS ${rss} KiB (target < 8192)")
  summary+=("$(label "$size"): median ratio execute -o/cp+sync $(printf %.2f "$(ratio "$dir/output-$size.txt" "$dir/cpsync-$size.txt")") (target <= 1.5), check/cp $(printf %.2f "$(ratio "$dir/check-$size.txt" "$dir/cp-$size.txt")") (target <= 1.2)")
  if [ -n "$before" ]; then
    summary+=("$(label "$size"): median ratio execute now/earlier build $(printf %.2f "$(ratio "$dir/execute-$size.txt" "$dir/before-$size.txt")")")
  fi
  rm -f "$work" "$dir/work.bak" "$copy"
done
echo
echo "== summary"
for line in "${summary[@]}"; do echo "   $line"; done

# verify on a 300-sheet PDF, beside the other figures.
if [ "${BENCH_VERIFY:-1}" = 1 ]; then
  echo
  scripts/bench-verify.sh
fi
