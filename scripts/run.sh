#!/usr/bin/env bash
# Numbers a scratch copy of the bundled example with foliostamp-cli, then
# builds Foliostamp.exe and starts it. On Linux it runs under Wine: with a
# display the window stays open until you close it; without one it runs in
# Xvfb, saves a screenshot of the window and says where. On Windows (Git Bash
# or MSYS) it builds with the default CMake generator and starts the program.
# The program keeps its Foliostamp.ini in build/run, so choices made in one
# run are there in the next. Under Wine it runs on a Japanese system (code
# page 932); FOLIOSTAMP_CODE_PAGE=1252 scripts/run.sh runs it on a Western one.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"

case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*)
    cmake -S . -B build/vs -DFOLIOSTAMP_TESTS=OFF
    cmake --build build/vs --config Release --target Foliostamp
    exe="$(find build/vs -name Foliostamp.exe | head -n 1)"
    mkdir -p build/run
    cd build/run
    exec "$repo/$exe"
    ;;
esac

scripts/install-deps.sh

# The command-line tool on a scratch copy of the example document.
cmake --preset native >/dev/null
cmake --build --preset native --target foliostamp-cli >/dev/null
mkdir -p build/run
cp examples/example.md build/run/example.md
rm -f build/run/example.bak
echo "foliostamp-cli execute on build/run/example.md:"
(cd build/run && "$repo/build/native/foliostamp-cli" execute --no-settings --annotate-headings example.md)
echo "Numbered: build/run/example.md; its original: build/run/example.bak"
echo

cmake --preset windows >/dev/null
cmake --build --preset windows --target Foliostamp
exe="$repo/build/windows/Foliostamp.exe"

source scripts/wine-env.sh
mkdir -p build/run
cd build/run

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  ensure_prefix
  echo "Starting Foliostamp.exe under Wine on $DISPLAY (settings in build/run)."
  "$WINE_BIN" "$exe" >/dev/null 2>&1 </dev/null
  exit 0
fi

# No display: run in Xvfb long enough to photograph the window.
ensure_display
ensure_prefix
trap stop_wine EXIT
"$WINE_BIN" "$exe" >/dev/null 2>&1 </dev/null &
window=""
for _ in $(seq 1 100); do
  window="$(xwininfo -root -tree 2>/dev/null | grep -m 1 '"Foliostamp : R1.10' | awk '{print $1}' || true)"
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "Foliostamp.exe did not open its window." >&2
  exit 1
fi
sleep 1  # let it finish painting
shot="$repo/build/foliostamp-window.png"
geometry="$(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF} END{print w "x" h "+" x "+" y}')"
xwd -root -silent | convert xwd:- -crop "$geometry" +repage "$shot"
echo "No display: Foliostamp.exe ran in Xvfb. Screenshot of its window: $shot"
