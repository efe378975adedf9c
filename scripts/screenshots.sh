#!/usr/bin/env bash
# Retakes the README's screenshots of the window: Japanese and English on
# a code page 932 system, and English on a code page 1252 system, each
# under Wine in Xvfb with settings that show a file and a result.
#
#   scripts/screenshots.sh        # writes docs/foliostamp-*.png
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Foliostamp >/dev/null

# settings LANGUAGE HEIGHT PATH HEADER: a settings file with the window as
# wide as the "#" button makes it (54 cells and 10 pixels; the cell is 12
# pixels wide with the test prefixes' font) and HEIGHT high, 33 cells, so
# that the whole form shows down to Check PDF; a check's result, the PDF
# beside the document, and texts as UTF-8 lines (after the UTF-8 mark),
# which the program reads on any code page.
settings() {
  local mark=$'\xef\xbb\xbf'
  local pdf="${3%.*}.pdf"
  printf '20\r\n%s\r\n20\r\n20\r\n678\r\n%s\r\n' "$1" "$((20 + $2))"
  for _ in $(seq 5 19); do printf '0\r\n'; done
  printf "21\r\n\r\nThe page numbers agree with the PDF's 12 sheets.\r\n%s%s\r\nblue\r\n%s%s\r\n\r\n2\r\n80\r\n%s%s\r\n" \
    "$mark" "$3" "$mark" "$4" "$mark" "$pdf"
  for _ in $(seq 9 20); do printf '\r\n'; done
}

# shoot CODE_PAGE LANGUAGE HEIGHT PATH HEADER OUT
shoot() {
  (
    export FOLIOSTAMP_CODE_PAGE="$1"
    source scripts/wine-env.sh
    ensure_display
    ensure_prefix
    trap stop_wine EXIT
    local folder
    folder="$(mktemp -d)"
    settings "$2" "$3" "$4" "$5" >"$folder/Foliostamp.ini"
    cd "$folder"
    "$WINE_BIN" "$repo/build/windows/Foliostamp.exe" >/dev/null 2>&1 </dev/null &
    local window=""
    for _ in $(seq 1 100); do
      window="$(xwininfo -root -tree 2>/dev/null | grep -m 1 '"Foliostamp : R1.10' | awk '{print $1}' || true)"
      [ -n "$window" ] && break
      sleep 0.2
    done
    [ -n "$window" ] || { echo "Foliostamp.exe did not open its window" >&2; exit 1; }
    sleep 1.5
    local geometry
    geometry="$(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF} END{print w "x" h "+" x "+" y}')"
    xwd -root -silent | convert xwd:- -crop "$geometry" +repage "$repo/$6"
    echo "$6"
    rm -rf "$folder"
  )
}

shoot 932 0 594 'C:\Users\hana\Documents\取扱説明書.md' 'Foliostamp 取扱説明書' docs/foliostamp-japanese.png
shoot 932 1 594 'C:\Users\hana\Documents\install-guide.md' 'Foliostamp manual' docs/foliostamp-english.png
shoot 1252 1 495 'C:\Users\hana\Documents\日本語ガイド.md' 'Foliostamp manual' docs/foliostamp-english-cp1252.png
