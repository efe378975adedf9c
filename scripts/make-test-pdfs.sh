#!/usr/bin/env bash
# Makes the real PDFs that the verify tests read, once per test run, into
# build/test-pdfs: each Markdown document is numbered with the native
# foliostamp-cli, turned into HTML with pandoc and printed with headless
# Chromium, as a writer would export it. Both the native tests and the
# Windows tests under Wine read the same files.
#
#   fits       every page fits on one sheet (header text, " n / N")
#   paren      no header, " ( n / N )"
#   japanese   a Japanese header and Japanese headings
#   spill      page 2 runs over onto a second sheet (no header)
#   spill-fixed  spill after `verify --fix`, exported again
#   encrypted  fits with a user password; notpdf, damaged: not readable
#   water      body text "Mix 2/3 water..." and a paragraph "2/3" on page 1
#   footer     spill with totals that claim its 4 sheets, printed with the
#              browser's own header and footer ("file:///... 3/4" on sheet 3)
#   footer-fixed  spill-fixed printed with the browser's header and footer
#   smart      the header "Writer's notes -- draft", printed with smart
#              punctuation as "Writer’s notes – draft"
#   blank      page 1 fills its sheet to the end: sheet 2 is blank
#   blank-footer  blank printed with the browser's header and footer
#   spill2-fixed  pages 2 and 3 both run over; after `verify --fix` page 3
#              is numbered 4
set -euo pipefail
cd "$(dirname "$0")/.."

cli="${FOLIOSTAMP_CLI:-$PWD/build/native/foliostamp-cli}"
out="$PWD/build/test-pdfs"
[ -x "$cli" ] || { echo "make-test-pdfs: build the native preset first ($cli)" >&2; exit 1; }
for tool in pandoc chromium qpdf; do
  command -v "$tool" >/dev/null || { echo "make-test-pdfs: $tool missing (scripts/install-deps.sh)" >&2; exit 1; }
done

rm -rf "$out"
mkdir -p "$out"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT

break_line='<div style="page-break-after:always"></div>'

cat >"$out/print.css.html" <<'CSS'
<style>
@page { size: A4; margin: 20mm; }
body { max-width: none; margin: 0; padding: 0; font-size: 12pt; }
div[style*="page-break-after"] { break-after: page; }
</style>
CSS

# number NAME [execute flags...]: numbers NAME.md in place; one run
# annotates every heading.
number() {
  local name="$1"
  shift
  (cd "$out" && "$cli" execute --no-settings --first-page --annotate-headings "$@" "$name.md" >/dev/null)
  rm -f "$out/$name.bak"
}

# export NAME [browser-footer|smart]: NAME.md to NAME.pdf through HTML, as
# printed by a browser; browser-footer keeps the browser's own header and
# footer (date, title, address, "n/N"); smart prints with an exporter's smart
# punctuation, the number line's header included.
export_pdf() {
  local name="$1" style="${2:-}" header_footer=--no-pdf-header-footer from=gfm
  [ "$style" = browser-footer ] && header_footer=
  [ "$style" = smart ] && from=commonmark+smart
  pandoc -f "$from" -t html5 --standalone --metadata pagetitle="$name" \
    --include-in-header="$out/print.css.html" -o "$out/$name.html" "$out/$name.md"
  if [ "$style" = smart ]; then
    sed -i -e "s/Writer's notes -- draft/Writer\xE2\x80\x99s notes \xE2\x80\x93 draft/" "$out/$name.html"
  fi
  rm -f "$out/$name.pdf"
  timeout 180 chromium --headless --no-sandbox --disable-gpu $header_footer \
    --no-first-run --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --print-to-pdf="$out/$name.pdf" "file://$out/$name.html" \
    >"$out/$name.chromium.log" 2>&1
  [ -s "$out/$name.pdf" ] || { echo "make-test-pdfs: Chromium made no $name.pdf" >&2; cat "$out/$name.chromium.log" >&2; exit 1; }
}

paragraphs() {
  local i
  for i in $(seq 1 "$1"); do
    printf 'Paragraph %d of the long part. It is long enough to fill a line or two of the sheet, so that the page runs over.\n\n' "$i"
  done
}

cat >"$out/fits.md" <<EOF2
# Fits

Every page of this document fits on one sheet.

$break_line

Page two.

## Second chapter

Some text.

$break_line

Page three.

## Third chapter

The end.
EOF2

sed -e 's/^# Fits/# In brackets/' "$out/fits.md" >"$out/paren.md"

cat >"$out/japanese.md" <<EOF2
# 日本語の文書

最初のページです。

$break_line

二ページ目です。

## 第二章 資料

本文。

$break_line

三ページ目です。

## 第三章 まとめ

終わり。
EOF2

{
  printf '# Spill\n\nThe second page of this document runs over onto a second sheet.\n\n%s\n\n' "$break_line"
  printf 'Page two begins here.\n\n## Long part\n\n'
  paragraphs 20
  printf '## Spilled part\n\nThis heading is printed on the third sheet.\n\n%s\n\n' "$break_line"
  printf 'Page three.\n\n## Last part\n\nThe end.\n'
} >"$out/spill.md"

number fits --header "Foliostamp test"
number paren --format paren
number japanese --header "日本語の見出し 第1版"
number spill

for name in fits paren japanese spill; do export_pdf "$name"; done

cp "$out/spill.md" "$out/spill-fixed.md"
(cd "$out" && "$cli" verify --fix spill-fixed.md spill.pdf >/dev/null) || true
rm -f "$out/spill-fixed.bak"
export_pdf spill-fixed

cat >"$out/water.md" <<EOF2
# Bread

Mix 2/3 water with 1/3 flour, by weight.

Water, as a part of the whole:

2/3

$break_line

Page two.

## Baking

Some text.

$break_line

Page three.
EOF2
number water

# Totals that claim the PDF's 4 sheets, while page 3's line is on sheet 4:
# only the browser's footer shows "3/4" on sheet 3.
cp "$out/spill.md" "$out/footer.md"
sed -i -e 's| / 3</span>| / 4</span>|' "$out/footer.md"
cp "$out/spill-fixed.md" "$out/footer-fixed.md"

sed -e 's/^# Fits/# Smart/' "$out/fits.md" >"$out/smart.md"
(cd "$out" && "$cli" delete --no-settings smart.md >/dev/null && rm -f smart.bak)
number smart --header "Writer's notes -- draft"

{
  printf '<div style="height: 254mm"></div>\n\n%s\n\nPage two.\n' "$break_line"
} >"$out/blank.md"
number blank

{
  printf '# Two spills\n\nPage one.\n\n%s\n\n## Long part\n\n' "$break_line"
  paragraphs 20
  printf '%s\n\n## Second long part\n\n' "$break_line"
  paragraphs 20
  printf '%s\n\nThe end.\n' "$break_line"
} >"$out/spill2.md"
number spill2

for name in water blank spill2; do export_pdf "$name"; done
cp "$out/blank.md" "$out/blank-footer.md"
for name in footer footer-fixed blank-footer; do export_pdf "$name" browser-footer; done
export_pdf smart smart
cp "$out/spill2.md" "$out/spill2-fixed.md"
(cd "$out" && "$cli" verify --fix spill2-fixed.md spill2.pdf >/dev/null) || true
rm -f "$out/spill2-fixed.bak"
export_pdf spill2-fixed

qpdf --encrypt secret owner 256 -- "$out/fits.pdf" "$out/encrypted.pdf"
printf 'This is a text file with a PDF name.\n' >"$out/notpdf.pdf"
head -c 400 "$out/fits.pdf" >"$out/damaged.pdf"
rm -f "$out"/*.html "$out"/*.chromium.log
echo "== test PDFs in $out"
