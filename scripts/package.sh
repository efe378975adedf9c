#!/usr/bin/env bash
# Builds the Windows programs and packs them with the README into
# build/foliostamp-windows-x64.zip, ready to unzip and run on Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Foliostamp foliostamp-cli

for f in build/windows/Foliostamp.exe build/windows/foliostamp-cli.exe README.md; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
done
zip_path="build/foliostamp-windows-x64.zip"
rm -f "$zip_path"
zip -j -q "$zip_path" build/windows/Foliostamp.exe build/windows/foliostamp-cli.exe README.md
echo "Package: $zip_path"
