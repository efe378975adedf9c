# Sourced by the scripts that run Windows programs under Wine. Keeps a private
# Wine prefix inside the build folder and a display for the windows.
#
# FOLIOSTAMP_CODE_PAGE picks the Windows to run on: 932 (Japanese, the
# default) or 1252 (Western). Wine takes the system code page and the user's
# language from LANG; each code page has a prefix of its own.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
FOLIOSTAMP_CODE_PAGE="${FOLIOSTAMP_CODE_PAGE:-932}"
case "$FOLIOSTAMP_CODE_PAGE" in
  932) wine_lang=ja_JP.UTF-8 ;;
  1252) wine_lang=C.UTF-8 ;;
  *)
    echo "FOLIOSTAMP_CODE_PAGE must be 932 or 1252, not $FOLIOSTAMP_CODE_PAGE" >&2
    return 1
    ;;
esac
export FOLIOSTAMP_CODE_PAGE
export WINEPREFIX="${FOLIOSTAMP_WINEPREFIX:-$repo_root/build/wineprefix-$FOLIOSTAMP_CODE_PAGE}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export LANG="$wine_lang"
export LC_ALL="$wine_lang"
WINE_BIN=/usr/lib/wine/wine64
[ -x "$WINE_BIN" ] || WINE_BIN="$(command -v wine64 || command -v wine)"

# Starts Xvfb on a free display when there is no display to use.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
      XVFB_PID=$!
      export DISPLAY=":$n"
      local i
      for i in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
      done
      echo "Xvfb did not start on :$n" >&2
      return 1
    fi
  done
  echo "no free display number for Xvfb" >&2
  return 1
}

# Runs Wine's reg tool with no pipes attached.
wine_reg() {
  "$WINE_BIN" reg "$@" /f >/dev/null 2>&1 </dev/null
}

# The system font of the test prefixes: a proportional Japanese font, as a
# Japanese Windows with a proportional UI font has it, so the cell measures
# the way the form was laid out and the captions read right on either code
# page. VL PGothic rather than IPAPGothic: IPAPGothic's Latin letters are
# wider than its average character, which cuts two English captions short.
SYSTEM_FONT="VL PGothic"

# Creates the prefix once and reuses it. Windows close at once without a
# window manager.
ensure_prefix() {
  local ready="$WINEPREFIX/foliostamp-prefix-ready"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE_BIN" wineboot -i >/dev/null 2>&1 </dev/null
    wine_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
  fi
  if [ "$(cat "$ready" 2>/dev/null)" != "$SYSTEM_FONT" ]; then
    wine_reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v System /t REG_SZ /d "$SYSTEM_FONT"
    wineserver -w >/dev/null 2>&1 </dev/null || true
    echo "$SYSTEM_FONT" >"$ready"
  fi
  # A persistent server started here, with no pipes attached, so that test
  # runners reading a program's output do not wait for Wine's helpers.
  wineserver -p >/dev/null 2>&1 </dev/null || true
}

stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
