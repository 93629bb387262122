#!/usr/bin/env bash
# Holds the test prefix's Wine session open for a whole test run (CTest's
# setup and cleanup of the wine_session fixture):
#   wine-session.sh start|stop BUILD_DIR SOURCE_DIR
# start: prepares the prefix, removes what killed runs left in its temporary
# folder, then starts Wine's server, services and virtual desktop with no
# test's output attached (wine_session_keeper.cpp says why) and waits until
# they are up. stop: ends the keeper and the whole session.
# Without a display each test program gets its own display and session, so
# there is nothing to hold.
set -euo pipefail
action=$1
build=$2
source=$3
prefix=$build/wineprefix
hold=$build/wine-session.hold
log=$build/wine-session.log

case $action in
start)
  if [ -z "${DISPLAY:-}" ]; then
    echo "no display: each test program starts its own Wine session"
    exit 0
  fi
  "$source/scripts/wine-run.sh" --prefix "$prefix" --prepare </dev/null >"$log" 2>&1
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
  ;;
*)
  echo "usage: wine-session.sh start|stop BUILD_DIR SOURCE_DIR" >&2
  exit 2
  ;;
esac
