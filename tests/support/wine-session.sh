#!/usr/bin/env bash
# Holds a test prefix's Wine session open for a whole test run (CTest's
# setup and cleanup of the wine_session fixtures):
#   wine-session.sh start|stop BUILD_DIR SOURCE_DIR [NAME [DPI WIDTHxHEIGHT]]
# start: prepares the prefix, removes what killed runs left in its temporary
# folder, then starts Wine's server, services and virtual desktop with no
# test's output attached (wine_session_keeper.cpp says why) and waits until
# they are up. stop: ends the keeper and the whole session.
# Without NAME the session is the Windows tests' own, in BUILD_DIR/wineprefix,
# on the run's display (or one of its own when none is set). A NAME gives a
# session of its own in BUILD_DIR/wineprefix-NAME on a display of its own.
# The session's display is written to PREFIX/.lumivue-display.
# DPI and WIDTHxHEIGHT give a named session a screen of that many dots per
# inch (the system setting a high-DPI screen has) and a virtual desktop of that
# size, on a display large enough for it.
set -euo pipefail
action=$1
build=$2
source=$3
name=${4:-}
dpi=${5:-}
desktop=${6:-1280x1000}
prefix=$build/wineprefix${name:+-$name}
base=$build/wine-session${name:+-$name}
hold=$base.hold
log=$base.log

case $action in
start)
  # A named session, or one started without a display, gets a display of its
  # own; programs of the prefix started without a display use it too
  # (scripts/wine-run.sh reads it from the prefix).
  if [ -n "$name" ] || [ -z "${DISPLAY:-}" ]; then
    source "$source/scripts/xvfb-display.sh"
    start_xvfb "${desktop%x*}x$((${desktop#*x} + 24))" "$base.display-number"
    echo "$xvfb_pid" >"$base.xvfb"
  fi
  "$source/scripts/wine-run.sh" --prefix "$prefix" --prepare </dev/null >"$log" 2>&1
  if [ -n "$dpi" ]; then
    # Read when the session starts: set while no session of the prefix runs.
    for setting in "HKCU\Control Panel\Desktop|LogPixels|REG_DWORD|$dpi" \
      "HKCU\Software\Wine\Explorer\Desktops|Default|REG_SZ|$desktop"; do
      IFS='|' read -r key value type data <<<"$setting"
      # Wine's own errors go to the log, so that a setting that fails says why.
      WINEDEBUG=-all,err+all "$source/scripts/wine-run.sh" --prefix "$prefix" reg add "$key" \
        /v "$value" /t "$type" /d "$data" /f </dev/null >>"$log" 2>&1 ||
        { echo "could not set $value in $prefix (exit code $?):" >&2; cat "$log" >&2; exit 1; }
    done
    WINEPREFIX=$(realpath "$prefix") wineserver -w
  fi
  echo "$DISPLAY" >"$prefix/.lumivue-display"
  # A run that was killed cannot have cleaned up after itself.
  temp=$prefix/drive_c/users/$(id -un)/Temp
  if [ -d "$temp" ]; then
    find "$temp" -mindepth 1 -maxdepth 1 \( -name 'lumivue-test-*' -o -name 'QR[ZX]*' \) \
      -print -exec rm -rf {} + | sed 's|^|removed what an earlier run left: |'
  fi
  touch "$hold"
  rm -f "$hold.ready"
  setsid "$source/scripts/wine-run.sh" --prefix "$prefix" \
    "$build/bin/wine_session_keeper.exe" "Z:$hold" </dev/null >>"$log" 2>&1 &
  echo $! >"$hold.pid"
  for _ in $(seq 1200); do
    if [ -e "$hold.ready" ]; then
      echo "Wine session held open (process $(cat "$hold.pid"))"
      exit 0
    fi
    kill -0 "$(cat "$hold.pid")" 2>/dev/null || { echo "the session keeper ended early" >&2; cat "$log" >&2; exit 1; }
    sleep 0.1
  done
  echo "the session keeper did not start within 120 s" >&2
  cat "$log" >&2
  exit 1
  ;;
stop)
  rm -f "$hold"
  if [ -f "$hold.pid" ]; then
    pid=$(cat "$hold.pid")
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill "$pid" 2>/dev/null || true
    rm -f "$hold.pid"
  fi
  rm -f "$hold.ready"
  # Whatever a test left running in the prefix ends with the session.
  [ -d "$prefix" ] && WINEPREFIX=$(realpath "$prefix") wineserver -k 2>/dev/null || true
  rm -f "$prefix/.lumivue-display"
  if [ -f "$base.xvfb" ]; then
    kill "$(cat "$base.xvfb")" 2>/dev/null || true
    rm -f "$base.xvfb" "$base.display-number"
  fi
  ;;
*)
  echo "usage: wine-session.sh start|stop BUILD_DIR SOURCE_DIR [NAME]" >&2
  exit 2
  ;;
esac
