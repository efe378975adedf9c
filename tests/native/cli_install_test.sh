#!/usr/bin/env bash
# The installed foliostamp-cli on its own: built in a scratch folder,
# installed to a prefix, the build folder removed and the prefix moved, then
# run through PATH on a verify case (which loads the PDF module) and on the
# manual page. Arguments: the source folder and the folder of the test PDFs.
set -euo pipefail

source_dir=$1
pdfs=$2
if [ ! -f "$pdfs/fits.pdf" ]; then
  echo "SKIPPED: no test PDFs in $pdfs (scripts/make-test-pdfs.sh makes them)"
  exit 0
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAILED: $*"
  exit 1
}

cmake -S "$source_dir" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DFOLIOSTAMP_TESTS=OFF -DFOLIOSTAMP_WINDOW_PROGRAM=OFF -DFOLIOSTAMP_PDF=ON >"$scratch/configure.log" ||
  { cat "$scratch/configure.log"; fail "configure"; }
cmake --build "$scratch/build" -j 2 >"$scratch/build.log" || { tail -30 "$scratch/build.log"; fail "build"; }
cmake --install "$scratch/build" --prefix "$scratch/prefix" >"$scratch/install.log" ||
  { cat "$scratch/install.log"; fail "install"; }
rm -rf "$scratch/build"
mv "$scratch/prefix" "$scratch/moved"
prefix=$scratch/moved

# Everything in its folder, nothing at the prefix's root.
for file in bin/foliostamp-cli lib/foliostamp/libfoliostamp_pdf.so share/man/man1/foliostamp-cli.1; do
  [ -f "$prefix/$file" ] || fail "$file is not installed (installed: $(cd "$prefix" && find . -type f))"
done
[ -z "$(find "$prefix" -maxdepth 1 -type f)" ] || fail "files at the prefix's root: $(find "$prefix" -maxdepth 1 -type f)"

work=$scratch/work
mkdir "$work"
cp "$pdfs/fits.md" "$pdfs/fits.pdf" "$pdfs/spill.md" "$pdfs/spill.pdf" "$work/"
cd "$work"
export PATH="$prefix/bin:$PATH"
[ "$(command -v foliostamp-cli)" = "$prefix/bin/foliostamp-cli" ] || fail "foliostamp-cli is not found through PATH"

set +e
agree=$(foliostamp-cli verify fits.md fits.pdf 2>&1)
agree_status=$?
spill=$(foliostamp-cli verify spill.md spill.pdf 2>&1)
spill_status=$?
set -e
[ "$agree_status" -eq 0 ] || fail "verify fits.md fits.pdf exited with $agree_status: $agree"
case $agree in *"agree"*) ;; *) fail "verify fits.md fits.pdf said: $agree" ;; esac
[ "$spill_status" -eq 1 ] || fail "verify spill.md spill.pdf exited with $spill_status: $spill"
case $spill in *"runs over"*) ;; *) fail "verify spill.md spill.pdf said: $spill" ;; esac

version=$(foliostamp-cli --version | sed -n 's/^foliostamp-cli \([0-9][0-9.]*\)$/\1/p')
[ -n "$version" ] || fail "--version said: $(foliostamp-cli --version)"
grep -q "^\.TH FOLIOSTAMP-CLI 1 .*\"Foliostamp $version\"" "$prefix/share/man/man1/foliostamp-cli.1" ||
  fail "the manual page is not of version $version: $(head -1 "$prefix/share/man/man1/foliostamp-cli.1")"
echo "PASSED: installed tree at a moved prefix, found through PATH, loads its PDF module"
