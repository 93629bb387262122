#!/usr/bin/env bash
# Runs a Windows program under Wine for the build and the tests:
#   wine-run.sh --prefix DIR PROGRAM.exe [ARGS...]
# Prepares the private prefix DIR once (a virtual desktop, so that captions and
# menus are drawn as on Windows), silences Wine's debug channels, and starts
# Xvfb for the run when no display is set. The program's exit code is returned.
set -euo pipefail

prefix=""
if [ "${1:-}" = "--prefix" ]; then
  prefix=$2
  shift 2
fi
[ $# -ge 1 ] || { echo "usage: wine-run.sh --prefix DIR PROGRAM [ARGS...]" >&2; exit 2; }

# Wine takes only an absolute prefix path.
export WINEPREFIX=$(realpath -m "${prefix:-${WINEPREFIX:-$HOME/.wine}}")
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Gecko or Mono installers: nothing here needs them, and they would prompt.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$here/wine-run.sh" --prefix "$WINEPREFIX" "$@"
fi

prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.lumivue-ready" ]; then
    echo "wine-run: preparing the Wine prefix $WINEPREFIX (once)" >&2
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 ||
      { echo "wine-run: could not set up the virtual desktop in $WINEPREFIX" >&2; exit 1; }
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1000 /f >/dev/null 2>&1
    wineserver -w || true
    touch "$WINEPREFIX/.lumivue-ready"
  fi
  flock -u 9
  exec 9>&-
}
prepare_prefix

exec wine "$@"
