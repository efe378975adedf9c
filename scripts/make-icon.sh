#!/usr/bin/env bash
# Draws the program's icon, src/app/foliostamp.ico: a page with lines of
# text and a page number at its foot, at the sizes Windows asks for. The
# drawing below is the icon's source; the .ico is kept in the repository so
# that every build (Visual Studio's included) has it without ImageMagick.
#
#   scripts/make-icon.sh      # after changing the drawing
set -euo pipefail
cd "$(dirname "$0")/.."

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The page on a 256-pixel canvas; smaller sizes are scaled from it.
convert -size 256x256 xc:none \
  -fill '#f7f7f2' -stroke '#4a4a4a' -strokewidth 8 \
  -draw 'path "M 44,12 L 172,12 L 220,60 L 220,244 L 44,244 Z"' \
  -fill '#d8d8d0' -draw 'path "M 172,12 L 172,60 L 220,60 Z"' \
  -stroke none -fill '#8a8a8a' \
  -draw 'rectangle 72,76 192,88' -draw 'rectangle 72,104 192,116' \
  -draw 'rectangle 72,132 168,144' -draw 'rectangle 72,160 192,172' \
  -fill '#1f5fbf' -draw 'roundrectangle 96,190 168,232 12,12' \
  -fill '#ffffff' -draw 'rectangle 128,198 136,224' -draw 'rectangle 120,198 136,206' \
  "$work/page-256.png"
for size in 16 24 32 48; do
  convert "$work/page-256.png" -resize "${size}x${size}" "$work/page-$size.png"
done
convert "$work/page-16.png" "$work/page-24.png" "$work/page-32.png" "$work/page-48.png" \
  "$work/page-256.png" src/app/foliostamp.ico
echo src/app/foliostamp.ico
