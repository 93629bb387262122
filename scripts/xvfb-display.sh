# Sourced by the scripts that need an X display of their own (scripts/test.sh,
# scripts/demo.sh, scripts/wine-run.sh, tests/support/wine-session.sh and the
# end-to-end cases):
#   start_xvfb WIDTHxHEIGHT [NUMBER_FILE]
# Xvfb picks a free display itself (-displayfd) and writes its number once it
# accepts clients, so no number is guessed and none is taken twice by scripts
# starting at once. DISPLAY is exported and xvfb_pid holds the server's
# process id, for the caller to end it. NUMBER_FILE keeps the number for
# other processes (a temporary file otherwise). The server runs in a session
# of its own: a signal meant for the caller's terminal or process group does
# not take the display away under programs that still run on it.
start_xvfb() {
  local screen=$1 numbers=${2:-} temporary="" number="" _
  if [ -z "$numbers" ]; then
    numbers=$(mktemp "${TMPDIR:-/tmp}/lumivue-display.XXXXXX")
    temporary=1
  fi
  : >"$numbers"
  setsid Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp \
    3>"$numbers" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  # The number is written whole, ending in a newline, when the server is ready.
  for _ in $(seq 100); do
    [ "$(wc -l <"$numbers")" -ge 1 ] && break
    sleep 0.1
  done
  number=$(head -1 "$numbers")
  [ -n "$temporary" ] && rm -f "$numbers"
  if [ -z "$number" ]; then
    echo "Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null || true
    return 1
  fi
  export DISPLAY=:$number
}
# stop_xvfb: ends the display start_xvfb started in this shell.
stop_xvfb() {
  [ -n "${xvfb_pid:-}" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}
