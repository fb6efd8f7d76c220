#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine, passing its exit code through:
# the win32 build's CMAKE_CROSSCOMPILING_EMULATOR, so ctest lists and runs the
# cross-built tests with it.
#
# The Wine prefix is $WINEPREFIX when set (scripts/test.sh makes a temporary
# one for each run), else build/win32/wineprefix. Wine stays quiet
# (WINEDEBUG=-all) unless the caller asks for a trace, and shows no window:
# there is no display, and the Mono and Gecko installers are switched off.
set -euo pipefail

if (($# == 0)); then
  echo "usage: $0 PROGRAM.exe [ARGUMENTS...]" >&2
  exit 2
fi

if ! command -v wine >/dev/null 2>&1; then
  echo "run-wine: Wine is not installed: the Windows build cannot be tested." >&2
  echo "run-wine: install it with scripts/install-deps.sh (adds i386, then wine and wine32:i386)." >&2
  exit 1
fi

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$repo/build/win32/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY

# Under a lock, since ctest starts programs in parallel: creates the prefix
# once, and starts Wine's server when none runs for it. A new server starts
# the prefix's background services with the first program; those would keep
# that program's output pipe open, and ctest would wait on it until its time
# runs out. So the server is started here, kept for a while after the last
# program ends, and its services are started with no output.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [[ ! -e $WINEPREFIX/.tavi-ready ]]; then
  if ! wineboot -i >/dev/null 2>&1 </dev/null || ! wineserver -w; then
    echo "run-wine: Wine could not set up the prefix $WINEPREFIX." >&2
    exit 1
  fi
  touch "$WINEPREFIX/.tavi-ready"
fi
if wineserver -p"${TAVI_WINESERVER_LINGER:-30}" 2>/dev/null; then
  if ! wine cmd /c exit >/dev/null 2>&1 </dev/null; then
    echo "run-wine: Wine could not start a program in $WINEPREFIX." >&2
    exit 1
  fi
fi
flock -u 9
exec 9>&-

exec wine "$@"
