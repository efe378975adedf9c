#!/usr/bin/env bash
# Builds the fuzz target (fuzz/, with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build/fuzz and runs it for SECONDS
# (default 60) on a copy of fuzz/corpus, so the seeds in the repo stay as
# they are. Exits non-zero when the target finds a crash, a sanitizer report
# or a broken invariant; the input that did it is saved in build/fuzz/.
#
#   scripts/fuzz.sh            # the short run that scripts/test.sh does
#   scripts/fuzz.sh 3600       # a longer run: one hour
#   FUZZ_MAX_LEN=300000 scripts/fuzz.sh 3600   # also lets whole documents
#                                              # grow past the piece size
#   FUZZ_JOBS=2 scripts/fuzz.sh 3600           # two fuzzing processes
#
# To replay one saved input: build/fuzz/jobs_fuzzer build/fuzz/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
max_len="${FUZZ_MAX_LEN:-8192}"
jobs="${FUZZ_JOBS:-1}"
case "$seconds" in '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;; esac

build=build/fuzz
CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja >/dev/null
cmake --build "$build"

# libFuzzer adds what it learns to its first corpus folder: give it a copy.
corpus="$build/corpus"
rm -rf "$corpus"
mkdir -p "$corpus"
cp fuzz/corpus/* "$corpus"/

log="$build/fuzz.log"
echo "fuzzing for ${seconds}s (max_len $max_len, $jobs process(es)); log in $log"
args=(
  -max_total_time="$seconds"
  -max_len="$max_len"
  -dict=fuzz/jobs.dict
  -artifact_prefix="$build/"
  -print_final_stats=1
  -rss_limit_mb=4096
  -timeout=60
)
if [ "$jobs" -gt 1 ]; then args+=(-fork="$jobs"); fi

status=0
"$build/jobs_fuzzer" "${args[@]}" "$corpus" >"$log" 2>&1 || status=$?
tail -n 12 "$log"
if [ "$status" -ne 0 ]; then
  echo "fuzzing FAILED (exit $status); the report is in $log:" >&2
  grep -m1 -A14 -E '^== |ERROR: (AddressSanitizer|libFuzzer)|runtime error' "$log" >&2 || true
  exit 1
fi
echo "fuzzing passed: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') inputs run"
