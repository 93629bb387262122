# Sourced by every end-to-end case (tests/shell/e2e/CASE.sh): the real tour
# executable under Wine, driven with xdotool in the Wine desktop of the held
# session LUMIVUE_E2E_SESSION (default e2e). Screenshots go to
# $LUMIVUE_ARTEFACTS/CASE/. Needs LUMIVUE_BUILD and LUMIVUE_SOURCE.
# A check that something happens waits for it (wait_until, shot_when, settle)
# and goes on as soon as it has; only a check that something does not happen
# sleeps first, for as long as it would take to happen.
# The helpers are in e2e_support/, one file for each job: the session and
# the player's run, checks and waits, tours, sound, the screen, the player's
# window, input, markers over the view.
set -euo pipefail
build=${LUMIVUE_BUILD:?}
source=${LUMIVUE_SOURCE:?}
case_name=$(basename "$0" .sh)
art=${LUMIVUE_ARTEFACTS:-$build/artefacts/shell}/$case_name
mkdir -p "$art"
rm -f "$art"/*.png
# How many times the windowed player is enlarged on the screen under test;
# its view's height at 96 dpi (the sample tour's view size 3: 480 x 360).
scale=1
viewHeight=360

for part in session checks tours sound screen window input markers; do
  source "$source/tests/shell/e2e_support/$part.sh"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/lumivue-e2e.XXXXXX")
player=""
players=()
started_tours=()
trap cleanup EXIT

use_session "${LUMIVUE_E2E_SESSION:-e2e}"
if [ -z "${DISPLAY:-}" ]; then
  source "$source/scripts/xvfb-display.sh"
  start_xvfb 1280x1024
fi
