#!/usr/bin/env bash
# Runs one Windows program under Wine and passes on its output and exit code.
# The output goes through a file: Wine's helper processes inherit pipes and
# would keep a reader waiting after the program has ended.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" || exit 1
ensure_display || exit 1
ensure_prefix
out="$(mktemp)"
"$WINE_BIN" "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit "$rc"
