#!/usr/bin/env bash
# Builds the Windows programs and packs them with the READMEs, the licence
# and the notices of what they contain into build/foliostamp-windows-x64.zip,
# ready to unzip and run on Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Foliostamp foliostamp-cli

for f in build/windows/Foliostamp.exe build/windows/foliostamp-cli.exe README.md README.ja.md LICENSE; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

# The licence texts of what the programs link: from the source
# packages poppler was cross-built from, and from Debian's packages.
poppler_prefix="$(scripts/build-poppler-windows.sh | tail -n 1)"
licenses="$poppler_prefix/licenses"
stage=build/package
rm -rf "$stage"
mkdir -p "$stage"
{
  cat packaging/NOTICE-windows.txt
  echo
  echo "Versions: $(cat "$licenses/versions.txt"), zlib $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)," \
    "mingw-w64 $(dpkg-query -W -f='${Version}' mingw-w64-common)," \
    "GCC $(dpkg-query -W -f='${Version}' gcc-mingw-w64-base)"
  section() {
    printf '\n\n==== %s ====\n\n' "$1"
    cat "$2"
  }
  section "poppler: COPYING" "$licenses/poppler-COPYING"
  section "poppler: copyright" "$licenses/poppler-debian-copyright"
  section "FreeType: FTL.TXT" "$licenses/freetype-FTL.TXT"
  section "FreeType: copyright" "$licenses/freetype-debian-copyright"
  section "zlib: copyright" /usr/share/doc/libz-mingw-w64-dev/copyright
  section "mingw-w64 runtime: copyright" /usr/share/doc/mingw-w64-common/copyright
  section "GCC runtime libraries: copyright" /usr/share/doc/gcc-mingw-w64-base/copyright
} | sed 's/$/\r/' >"$stage/NOTICE.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
cp build/windows/Foliostamp.exe build/windows/foliostamp-cli.exe "$stage/"

# The READMEs with Windows line ends, and every picture they show, at the
# relative path they show it from.
pictures=()
for readme in README.md README.ja.md; do
  sed 's/\r*$/\r/' "$readme" >"$stage/$readme"
  while IFS= read -r picture; do
    [ -f "$picture" ] || { echo "missing: $picture (shown by $readme)" >&2; exit 1; }
    mkdir -p "$stage/$(dirname "$picture")"
    cp "$picture" "$stage/$picture"
    pictures+=("$picture")
  done < <(grep -o '!\[[^]]*\]([^)]*)' "$readme" | sed 's/.*](\(.*\))/\1/' | sort -u)
done

zip_path="$PWD/build/foliostamp-windows-x64.zip"
rm -f "$zip_path"
(cd "$stage" && zip -q "$zip_path" Foliostamp.exe foliostamp-cli.exe README.md README.ja.md \
  LICENSE.txt NOTICE.txt $(printf '%s\n' "${pictures[@]}" | sort -u))
echo "Package: $zip_path"
