#!/usr/bin/env bash
# Runs a Windows program under Wine for the build, the tests and the demo:
#   wine-run.sh --prefix DIR PROGRAM.exe [ARGS...]
#   wine-run.sh --prefix DIR --prepare     only prepares the prefix
# Prepares the private prefix DIR once (a virtual desktop, so that captions and
# menus are drawn as on Windows), silences Wine's debug channels (unless
# WINEDEBUG says otherwise: the Windows tests let Wine's errors through, so
# that a program Wine itself fails to start or ends says why), and starts
# Xvfb for the run when no display is set. The program's exit code is returned.
#
# LUMIVUE_WINE_TIMEOUT=SECONDS bounds the program's run: when it runs longer,
# the backtraces of every thread of its Windows process are printed (so that a
# log alone shows where it hung), then it is killed and the exit code is 124.
set -euo pipefail

# Wine's loader here (Debian's, without the preloader that reserves Wine's
# fixed addresses before anything else is mapped) sits at a fixed address with
# its heap after it at a random distance; now and then the heap reaches the
# address Wine needs for the shared user data, and the program ends with exit
# code 1 before it runs ("failed to map the shared user data"). With the
# address space laid out the same way every time the heap starts right after
# the loader, far below it. Every Wine process started from here (the server
# and the programs' children too) inherits the layout.
if [ -z "${LUMIVUE_WINE_FIXED_LAYOUT:-}" ] && setarch -R true 2>/dev/null; then
  export LUMIVUE_WINE_FIXED_LAYOUT=1
  exec setarch -R "$0" "$@"
fi

prefix=""
if [ "${1:-}" = "--prefix" ]; then
  prefix=$2
  shift 2
fi
[ $# -ge 1 ] || { echo "usage: wine-run.sh --prefix DIR PROGRAM [ARGS...] | --prepare" >&2; exit 2; }

# Wine takes only an absolute prefix path.
export WINEPREFIX=$(realpath -m "${prefix:-${WINEPREFIX:-$HOME/.wine}}")
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Gecko or Mono installers: nothing here needs them, and they would prompt.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# A session held open for the prefix (tests/support/wine-session.sh) names
# its display; a program started without one joins it there.
held_display=$(cat "$WINEPREFIX/.lumivue-display" 2>/dev/null || true)
if [ -z "${DISPLAY:-}" ] && [ -n "$held_display" ] && [ -e "/tmp/.X11-unix/X${held_display#:}" ]; then
  export DISPLAY=$held_display
fi
# Otherwise the run gets a display of its own. On it, Wine's session ends
# before the display does, so that none of its processes loses the display
# under it (bounded: another program of the prefix may hold the session
# longer).
if [ -z "${DISPLAY:-}" ]; then
  source "$here/xvfb-display.sh"
  start_xvfb 1280x1024
  trap 'timeout 10 wineserver -w 2>/dev/null || true; stop_xvfb' EXIT
fi

prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.lumivue-ready" ]; then
    echo "wine-run: preparing the Wine prefix $WINEPREFIX (once, about a minute)" >&2
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 ||
      { echo "wine-run: could not set up the virtual desktop in $WINEPREFIX" >&2; exit 1; }
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1000 /f >/dev/null 2>&1
    # Until wineboot's configuration has ended, a program would start behind
    # its "being updated" box.
    wineserver -w || true
    touch "$WINEPREFIX/.lumivue-ready"
  fi
  flock -u 9
  exec 9>&-
}
prepare_prefix
if [ "$1" = "--prepare" ]; then
  exit 0
fi

# Every end but success is named with the time it took: a crash, an abort or
# a kill leaves no other trace in a test's log, and neither does a program
# that fails before it prints anything.
started=$SECONDS
report_end() {
  if [ "$1" -ne 0 ]; then
    echo "wine-run: $(basename "$2") ended with exit code $1 after $((SECONDS - started)) s" >&2
  fi
}

limit=${LUMIVUE_WINE_TIMEOUT:-}
if [ -z "$limit" ]; then
  status=0
  wine "$@" <&0 || status=$?
  report_end "$status" "$1"
  exit "$status"
fi

# The threads of every Windows process named as PROGRAM in this prefix (two
# tests of one program may run side by side; then both are shown).
report_hang() {
  local name
  name=$(basename "$1")
  echo "wine-run: $name still ran after ${limit} s; the threads of its Windows process:" >&2
  # Bounded well inside the 90 s that CTest leaves a test after this limit
  # (LumivueGoogleTest.cmake): killed by CTest first, the report would be lost.
  timeout 60 winedbg --command "bt all" </dev/null 2>&1 |
    awk -v name="$name" '
      /^Backtracing for thread/ { show = index(tolower($0), tolower(name)) > 0 }
      show' | cut -c1-400 >&2 || echo "wine-run: winedbg gave no backtrace" >&2
}

wine "$@" <&0 &
program=$!
(
  # Told to stop, the watchdog takes its sleep with it: nothing may hold the
  # output open after the program has ended.
  trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
  sleep "$limit" </dev/null >/dev/null 2>&1 &
  sleeper=$!
  wait "$sleeper"
  if kill -0 "$program" 2>/dev/null; then
    report_hang "$1"
    kill -9 "$program" 2>/dev/null || true
  fi
) &
watchdog=$!
status=0
wait "$program" || status=$?
if kill -0 "$watchdog" 2>/dev/null; then
  kill "$watchdog" 2>/dev/null || true
  wait "$watchdog" 2>/dev/null || true
else
  status=124
fi
report_end "$status" "$1"
exit "$status"
