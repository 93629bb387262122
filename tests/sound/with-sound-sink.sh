#!/usr/bin/env bash
# Runs a command (a Windows program through scripts/wine-run.sh) with its sound
# recorded instead of played:
#   with-sound-sink.sh COMMAND [ARGS...]
# ALSA's default device becomes a file sink over the null device for this run
# only: every sample Wine plays lands, converted to 16-bit signed little-endian
# mono at 16000 Hz, in a raw file whose path is handed to the program in
# LUMIVUE_SOUND_SINK (a Unix path; Wine maps it under drive Z:). Each run gets
# its own folder, removed afterwards, so runs may go on in parallel.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: with-sound-sink.sh COMMAND [ARGS...]" >&2; exit 2; }

sink_dir=$(mktemp -d "${TMPDIR:-/tmp}/lumivue-sound.XXXXXX")
trap 'rm -rf "$sink_dir"' EXIT
sink="$sink_dir/sink.raw"
: >"$sink"

cat >"$sink_dir/asound.conf" <<CONF
pcm.!default {
  type plug
  slave {
    pcm "lumivue_sink"
    format S16_LE
    rate 16000
    channels 1
  }
}
pcm.lumivue_sink {
  type file
  slave.pcm "null"
  # Appended through a pipe: the device is opened anew for every stream,
  # and a plain file would be truncated each time.
  file "|cat >>$sink"
  format "raw"
}
CONF

# The system's configuration first (it defines the null device), then ours,
# which replaces the default device.
system_config=/usr/share/alsa/alsa.conf
export ALSA_CONFIG_PATH="$system_config:$sink_dir/asound.conf"
export LUMIVUE_SOUND_SINK="$sink"
# Wine's PulseAudio driver would be tried first; the sink is ALSA's.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};winepulse.drv=d"

status=0
"$@" || status=$?
exit $status
