#!/usr/bin/env bash
# Builds everything (native and Windows) and runs every test: the native
# tests, a short fuzzing run, and the Windows tests under Wine in Xvfb.
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

echo "== Windows build and tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
source scripts/wine-env.sh
ensure_display
ensure_prefix
trap stop_wine EXIT
ctest --preset windows
