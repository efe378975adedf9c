# Sourced by the scripts that run Windows programs under Wine. Keeps a private
# Wine prefix inside the build folder and a display for the windows.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${FOLIOSTAMP_WINEPREFIX:-$repo_root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
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

# Creates the prefix once; windows close at once without a window manager.
ensure_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE_BIN" wineboot -i >/dev/null 2>&1 </dev/null
    "$WINE_BIN" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null
  fi
  # A persistent server started here, with no pipes attached, so that test
  # runners reading a program's output do not wait for Wine's helpers.
  wineserver -p >/dev/null 2>&1 </dev/null || true
}

stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
