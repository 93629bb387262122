#!/usr/bin/env bash
# Holds the test prefix's Wine session open for a whole test run (CTest's
# setup and cleanup of the wine_session fixture):
#   wine-session.sh start|stop BUILD_DIR SOURCE_DIR
# Without a display each test program gets its own display and session, so
# there is nothing to hold.
set -euo pipefail
action=$1
build=$2
source=$3
hold=$build/wine-session.hold

case $action in
start)
  if [ -z "${DISPLAY:-}" ]; then
    echo "no display: each test program starts its own Wine session"
    exit 0
  fi
  touch "$hold"
  rm -f "$hold.ready"
  setsid "$source/scripts/wine-run.sh" --prefix "$build/wineprefix" \
    "$build/bin/wine_session_keeper.exe" "Z:$hold" </dev/null >/dev/null 2>&1 &
  echo $! >"$hold.pid"
  # A new prefix is prepared first, which can take a minute or two.
  for _ in $(seq 1800); do
    if [ -e "$hold.ready" ]; then
      echo "Wine session held open (process $(cat "$hold.pid"))"
      exit 0
    fi
    kill -0 "$(cat "$hold.pid")" 2>/dev/null || { echo "the session keeper ended early" >&2; exit 1; }
    sleep 0.1
  done
  echo "the session keeper did not start" >&2
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
  ;;
*)
  echo "usage: wine-session.sh start|stop BUILD_DIR SOURCE_DIR" >&2
  exit 2
  ;;
esac
