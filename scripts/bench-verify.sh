#!/usr/bin/env bash
# Benchmark of `foliostamp-cli verify` on a 300-sheet PDF: builds the native
# preset, numbers a 300-page Markdown document, exports it once with pandoc
# and headless Chromium (kept in build/bench-verify for later runs), and
# times verify and verify --fix. Prints min, median and max over several
# runs; asserts nothing. Target: well under a second natively.
#
#   scripts/bench-verify.sh               # 300 sheets, 7 runs
#   BENCH_SHEETS=1000 BENCH_REPS=3 scripts/bench-verify.sh
#
# scripts/bench.sh can call it for its figures.
set -euo pipefail
cd "$(dirname "$0")/.."

sheets="${BENCH_SHEETS:-300}"
reps="${BENCH_REPS:-7}"

cmake --preset native >/dev/null
cmake --build --preset native --target foliostamp-cli foliostamp_verify >/dev/null
cli="$PWD/build/native/foliostamp-cli"
dir="$PWD/build/bench-verify"
mkdir -p "$dir"
doc="$dir/book-$sheets.md"
pdf="$dir/book-$sheets.pdf"

if [ ! -s "$pdf" ]; then
  echo "== making a $sheets-sheet PDF (once)"
  {
    printf '# Book\n\n'
    for page in $(seq 1 "$sheets"); do
      [ "$page" -gt 1 ] && printf '<div style="page-break-after:always"></div>\n\ntext\n\n'
      printf '## Chapter %d\n\n' "$page"
      for p in 1 2 3 4 5 6; do
        printf 'Paragraph %d of chapter %d, with enough words to make a real line of print on the sheet.\n\n' "$p" "$page"
      done
    done
  } >"$doc"
  (cd "$dir" && "$cli" execute --no-settings --first-page --annotate-headings --header "Bench" "$(basename "$doc")" >/dev/null)
  printf '<style>@page { size: A4; margin: 20mm; }</style>\n' >"$dir/print.css.html"
  pandoc -f gfm -t html5 --standalone --metadata pagetitle=bench \
    --include-in-header="$dir/print.css.html" -o "$dir/book.html" "$doc"
  profile="$(mktemp -d)"
  timeout 600 chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer \
    --no-first-run --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --print-to-pdf="$pdf" "file://$dir/book.html" >/dev/null 2>&1
  rm -rf "$profile" "$dir/book.html"
fi

stats() {
  sort -g | awk '{ v[NR] = $1 }
    END {
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "min %.3f s  median %.3f s  max %.3f s\n", v[1], m, v[NR]
    }'
}

# Seconds of one run of the command, whatever its exit status.
seconds() {
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null || true
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
}

echo "== machine: $(nproc) CPUs, $(uname -sr)"
echo "== $(stat -c %s "$pdf") bytes of PDF; $reps runs"
echo "== verify says: $("$cli" verify "$doc" "$pdf" | tail -n 1)"
printf 'verify        '
for _ in $(seq 1 "$reps"); do seconds "$cli" verify "$doc" "$pdf"; done | stats
printf 'verify --fix  '
for _ in $(seq 1 "$reps"); do
  cp "$doc" "$dir/fix.md"
  seconds "$cli" verify --fix "$dir/fix.md" "$pdf"
done | stats

# Placing the number lines of long books with many spills, on sheet texts
# made in memory (no PDF): with the index of candidate lines, and reading
# every sheet instead.
echo "== placing number lines (pages, every n-th runs over)"
cc_flags=(-O2 -std=c++17 -Isrc)
c++ "${cc_flags[@]}" -o "$dir/verify_placement" bench/verify_placement.cpp \
  build/native/libfoliostamp_verify.a build/native/libfoliostamp_core.a
for shape in "1000 5" "5000 2" "15000 3"; do
  # shellcheck disable=SC2086
  "$dir/verify_placement" $shape
done
