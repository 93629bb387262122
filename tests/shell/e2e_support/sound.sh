# What the player is heard to play (through tests/sound/with-sound-sink.sh).
# Sourced by e2e_common.sh.

# level FROM_BYTE: RMS of the recorded samples after FROM_BYTE.
level() {
  python3 - "${LUMIVUE_SOUND_SINK:?run through with-sound-sink.sh}" "$1" <<'PY'
import array, math, sys
data = open(sys.argv[1], "rb").read()[int(sys.argv[2]):]
samples = array.array("h", data[: len(data) // 2 * 2])
print(int(math.sqrt(sum(s * s for s in samples) / len(samples))) if samples else -1)
PY
}
# heard_for SECONDS: the level of what is played in the next SECONDS.
heard_for() {
  local mark
  mark=$(stat -c %s "$LUMIVUE_SOUND_SINK")
  sleep "$1"
  level "$mark"
}
# louder_than LEVEL, quieter_than LEVEL: the next second against LEVEL; its
# level is left in $loudness.
louder_than() { loudness=$(heard_for 1) && [ "$loudness" -gt "$1" ]; }
quieter_than() { loudness=$(heard_for 1) && [ "$loudness" -lt "$1" ]; }
