#!/usr/bin/env bash
# A closed run, a run whose Windows session ends and a run that cannot make
# its window leave the temporary folder as they found it; the last ends
# non-zero.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

pack plain
before=$(temp_files)
start plain
probe close
ended "$player" || fail "the closed player did not end"
check "a closed player ends with 0 ($status)" [ "$status" = 0 ]
check "a closed player leaves the temporary folder as it was" [ "$(temp_files)" = "$before" ]

# The session ends (a log-off): once the player has answered WM_ENDSESSION
# its process is ended at once, as the system may do.
start plain
check "a running tour has files in the temporary folder" [ "$(temp_files)" != "$before" ]
check "the player answers the end of the session" probe end-session
ended "$player" || fail "the player whose session ended is still running"
check "a run whose session ended leaves the temporary folder as it was" [ "$(temp_files)" = "$before" ]

# Without a display Wine can make no window: the run fails, and says so.
before=$(temp_files)
status=0
DISPLAY=:0.99 run "$work/plain.exe" >"$work/nodisplay.log" 2>&1 || status=$?
check "a run without a window ends non-zero ($status)" [ "$status" != 0 ]
check "a run without a window leaves the temporary folder as it was" [ "$(temp_files)" = "$before" ]
conclude
