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

# export NAME: NAME.md to NAME.pdf through HTML, as printed by a browser.
export_pdf() {
  local name="$1"
  pandoc -f gfm -t html5 --standalone --metadata pagetitle="$name" \
    --include-in-header="$out/print.css.html" -o "$out/$name.html" "$out/$name.md"
  rm -f "$out/$name.pdf"
  timeout 180 chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer \
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

qpdf --encrypt secret owner 256 -- "$out/fits.pdf" "$out/encrypted.pdf"
printf 'This is a text file with a PDF name.\n' >"$out/notpdf.pdf"
head -c 400 "$out/fits.pdf" >"$out/damaged.pdf"
rm -f "$out"/*.html "$out"/*.chromium.log
echo "== test PDFs in $out"
