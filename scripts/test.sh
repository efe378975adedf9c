#!/usr/bin/env bash
# Builds everything (native and Windows) and runs every test: the native
# tests, a short fuzzing run, and the Windows tests under Wine in Xvfb, once
# on a Japanese and once on a Western code page.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native
scripts/make-test-pdfs.sh
ctest --preset native

echo "== fuzzing (short run)"
scripts/fuzz.sh 60

echo "== Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows

# The same Windows tests on a Japanese (932) and a Western (1252) system,
# each in its own prefix and with its own Wine server.
for code_page in 932 1252; do
  echo "== Windows tests under Wine, code page $code_page"
  (
    export FOLIOSTAMP_CODE_PAGE="$code_page"
    source scripts/wine-env.sh
    ensure_display
    ensure_prefix
    trap stop_wine EXIT
    ctest --preset windows
  )
done
