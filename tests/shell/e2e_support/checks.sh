# Checks and waits: a check reports and counts, a wait polls. Sourced by
# e2e_common.sh.

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
failures=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
not() { ! "$@"; }
# wait_until SECONDS COMMAND...: repeats COMMAND until it succeeds; fails when
# it has not within SECONDS.
wait_until() {
  local limit=$1 started=$SECONDS
  shift
  until "$@"; do
    [ $((SECONDS - started)) -lt "$limit" ] || return 1
    sleep 0.3
  done
}
conclude() { echo "screenshots: $art" && [ "$failures" -eq 0 ]; } # the end of every case
