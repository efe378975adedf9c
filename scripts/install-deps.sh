#!/usr/bin/env bash
# Installs everything the build, the tests and the program need on Debian.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  clang libclang-rt-14-dev libfuzzer-14-dev
  wine wine64 xvfb x11-apps x11-utils imagemagick
  locales fonts-ipafont-gothic fonts-vlgothic
  zip
  libpoppler-dev libpoppler-private-dev libz-mingw-w64-dev dpkg-dev
  pandoc chromium fonts-noto-cjk fonts-dejavu-core qpdf
  pre-commit
  strace
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Japanese captions need a Japanese locale for Wine to pick code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi

# foliostamp-cli.exe reads PDFs with poppler, cross-built once from Debian's
# source packages of the native version and cached in build/.
"$(dirname "$0")/build-poppler-windows.sh" >/dev/null

# The render tests read numbered documents with markdown-it as editors do;
# it is kept in build/npm.
if ! command -v npm >/dev/null 2>&1; then
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
npm_dir="$(dirname "$0")/../build/npm"
if [ ! -f "$npm_dir/node_modules/markdown-it/package.json" ]; then
  mkdir -p "$npm_dir"
  npm install --silent --no-audit --no-fund --prefix "$npm_dir" markdown-it@14 >/dev/null
fi
