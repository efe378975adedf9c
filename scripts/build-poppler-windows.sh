#!/usr/bin/env bash
# Cross-builds poppler and FreeType static for Windows x86_64 with mingw-w64,
# from Debian's source packages of the versions the native build uses, so
# that foliostamp-cli reads PDFs with the same engine on every platform.
#
# The result is cached in build/poppler-windows/<poppler>_<freetype>/prefix
# (keyed by the two source versions); a later run with the same versions
# does nothing. Prints the prefix on its last line.
#
# Source packages need a deb-src entry. One is derived from the machine's own
# Debian sources (the same URIs, suites and components), so no host name is
# kept anywhere in the project.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

source_version() {
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true
}

poppler_version="$(source_version libpoppler-dev)"
freetype_version="$(source_version libfreetype-dev)"
[ -n "$freetype_version" ] || freetype_version="$(source_version libfreetype6)"
if [ -z "$poppler_version" ] || [ -z "$freetype_version" ]; then
  echo "build-poppler-windows: install libpoppler-dev first (scripts/install-deps.sh)" >&2
  exit 1
fi

key="${poppler_version}_${freetype_version}"
key="${key//[^A-Za-z0-9.+_-]/_}"
top="$repo/build/poppler-windows"
work="$top/$key"
prefix="$work/prefix"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# --- deb-src entries derived from the existing sources -----------------------
have_deb_src() {
  grep -rqsE '^(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null
}

add_deb_src() {
  local tmp
  tmp="$(mktemp)"
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Every stanza whose Types has deb, with Types set to deb-src.
    awk '
      BEGIN { RS = ""; ORS = "\n\n" }
      {
        n = split($0, lines, "\n"); out = ""; isdeb = 0; enabled = 1
        for (i = 1; i <= n; i++) {
          line = lines[i]
          if (line ~ /^#/) continue
          if (line ~ /^Types:/) {
            if (line ~ /[[:space:]]deb([[:space:]]|$)/) isdeb = 1
            line = "Types: deb-src"
          }
          if (line ~ /^Enabled:[[:space:]]*no/) enabled = 0
          out = out line "\n"
        }
        if (isdeb && enabled) print out
      }' "$f" >>"$tmp"
  done
  if [ -s "$tmp" ]; then
    "${sudo_cmd[@]}" install -m 0644 "$tmp" /etc/apt/sources.list.d/foliostamp-deb-src.sources
  elif [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$tmp"
    "${sudo_cmd[@]}" install -m 0644 "$tmp" /etc/apt/sources.list.d/foliostamp-deb-src.list
  fi
  rm -f "$tmp"
  "${sudo_cmd[@]}" apt-get update -qq
}

fetch_source() {
  local package="$1" version="$2"
  local dir="$work/src-$package"
  if [ -f "$dir/.complete" ]; then return 0; fi
  rm -rf "$dir"
  mkdir -p "$dir"
  if ! (cd "$dir" && apt-get source -qq "$package=$version" >/dev/null 2>"$dir/apt-source.log"); then
    have_deb_src || add_deb_src
    (cd "$dir" && apt-get source -qq "$package=$version" >/dev/null 2>"$dir/apt-source.log") || {
      cat "$dir/apt-source.log" >&2
      echo "build-poppler-windows: cannot fetch the source of $package $version" >&2
      exit 1
    }
  fi
  touch "$dir/.complete"
}

source_tree() {
  find "$work/src-$1" -mindepth 2 -maxdepth 2 -name CMakeLists.txt -printf '%h\n' | head -n 1
}

echo "== cross-building poppler $poppler_version and FreeType $freetype_version for Windows (once)" >&2
mkdir -p "$work"
fetch_source freetype "$freetype_version"
fetch_source poppler "$poppler_version"
freetype_src="$(source_tree freetype)"
poppler_src="$(source_tree poppler)"

# A toolchain that also searches the prefix, with zlib pinned to the static
# library (otherwise CMake picks the DLL's import library).
zlib_static=/usr/x86_64-w64-mingw32/lib/libz.a
[ -f "$zlib_static" ] || { echo "build-poppler-windows: $zlib_static missing (libz-mingw-w64-dev)" >&2; exit 1; }
toolchain="$work/toolchain.cmake"
cat >"$toolchain" <<TOOLCHAIN
include("$repo/cmake/mingw-w64-x86_64.cmake")
unset(CMAKE_CROSSCOMPILING_EMULATOR)
list(APPEND CMAKE_FIND_ROOT_PATH "$prefix")
set(ZLIB_LIBRARY "$zlib_static" CACHE FILEPATH "" FORCE)
set(ZLIB_INCLUDE_DIR /usr/x86_64-w64-mingw32/include CACHE PATH "" FORCE)
TOOLCHAIN

jobs="${FOLIOSTAMP_DEPS_JOBS:-2}"
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Wno-dev)

rm -rf "$work/build-freetype" "$work/build-poppler" "$prefix"
cmake -S "$freetype_src" -B "$work/build-freetype" "${common[@]}" \
  -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >"$work/freetype-configure.log"
cmake --build "$work/build-freetype" -j "$jobs" >"$work/freetype-build.log"
cmake --install "$work/build-freetype" >/dev/null

cmake -S "$poppler_src" -B "$work/build-poppler" "${common[@]}" \
  -DENABLE_UNSTABLE_API_ABI_HEADERS=ON -DENABLE_UTILS=OFF -DENABLE_CPP=OFF \
  -DENABLE_GLIB=OFF -DENABLE_GOBJECT_INTROSPECTION=OFF -DENABLE_QT5=OFF -DENABLE_QT6=OFF \
  -DENABLE_BOOST=OFF -DENABLE_LIBOPENJPEG=none -DENABLE_DCTDECODER=none -DENABLE_CMS=none \
  -DENABLE_LIBCURL=OFF -DENABLE_ZLIB=ON -DWITH_JPEG=OFF -DWITH_PNG=OFF -DWITH_TIFF=OFF \
  -DWITH_NSS3=OFF -DWITH_Cairo=OFF -DRUN_GPERF_IF_PRESENT=OFF -DFONT_CONFIGURATION=win32 \
  -DBUILD_GTK_TESTS=OFF -DBUILD_QT5_TESTS=OFF -DBUILD_QT6_TESTS=OFF -DBUILD_CPP_TESTS=OFF \
  -DBUILD_MANUAL_TESTS=OFF \
  -DFREETYPE_LIBRARY="$prefix/lib/libfreetype.a" \
  -DFREETYPE_INCLUDE_DIRS="$prefix/include/freetype2" >"$work/poppler-configure.log"
cmake --build "$work/build-poppler" -j "$jobs" >"$work/poppler-build.log"
cmake --install "$work/build-poppler" >/dev/null

# The licences that travel with the Windows zip.
mkdir -p "$prefix/licenses"
cp "$poppler_src/COPYING" "$prefix/licenses/poppler-COPYING"
cp "$poppler_src/debian/copyright" "$prefix/licenses/poppler-debian-copyright"
cp "$freetype_src/docs/FTL.TXT" "$prefix/licenses/freetype-FTL.TXT"
cp "$freetype_src/debian/copyright" "$prefix/licenses/freetype-debian-copyright"
echo "poppler $poppler_version, FreeType $freetype_version" >"$prefix/licenses/versions.txt"
touch "$prefix/.complete"
echo "$prefix"
