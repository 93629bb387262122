#!/usr/bin/env bash
# Six scenes played for several cycles: private memory comes back to its
# level after the first cycle, and nothing stays in the temporary folder.
# Runs inside tests/sound/with-sound-sink.sh.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

viewHeight=240
python3 - "$source/samples/demo/tour.json" >"$work/scenes.json" <<'PY'
import json, sys
tour = json.load(open(sys.argv[1]))
scenes = tour["scenes"]
extra = dict(scenes[0], name="Old quay again", pan=90)
print(json.dumps(scenes + [extra]))
PY
pack longrun "scenes=$(cat "$work/scenes.json")" "autoPlay=true" "rotationSpeed=3" "viewSize=1"
start longrun
# One scene turns once in about 9 s (1.6 degrees a 40 ms tick). Memory
# swings by several megabytes with the images the cache holds and the one
# being decoded, so each cycle is summed up by its floor and its peak,
# sampled every two seconds; memory kept for good raises the floor.
cycle=58
cycle_levels() {
  local low=0 high=0 now end=$((SECONDS + cycle))
  while [ $SECONDS -lt $end ]; do
    now=$(probe memory || echo 0)
    if [ "$now" -gt 0 ]; then
      [ "$low" -eq 0 -o "$now" -lt "$low" ] && low=$now
      [ "$now" -gt "$high" ] && high=$now
    fi
    # The sampling period: the run is about the time that passes.
    sleep 2 # the sampling period
  done
  echo "$low $high"
}
# The first cycle fills the image cache and makes every sound file: the
# level is what the second cycle comes down to, and the fourth comes back
# to it. The first cycle is let play through unmeasured.
sleep "$cycle"
read -r first peak2 < <(cycle_levels)
shot longrun-1
levels="$first/$peak2"
for n in 3 4; do
  read -r low high < <(cycle_levels)
  levels="$levels $low/$high"
done
shot longrun-3
echo "private bytes (floor/peak) of cycles 2 to 4: $levels"
check "the floor of cycle 4 ($low) is within 1 MB of cycle 2's ($first)" \
  [ "$first" -gt 0 -a "$low" -le $((first + 1024 * 1024)) ]
check "the tour still plays" changed longrun-1 longrun-3 $(view_box)
probe close
finish
conclude
