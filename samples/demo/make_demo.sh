#!/usr/bin/env bash
# Regenerates the media of the demo tour from the committed sources:
#   make_demo.sh [scenes|sound|photo|all]   (default: all)
# Needs the Debian packages of scripts/packages/extra/content.txt. Rendering is
# single-threaded on purpose (multi-threaded renders are not bit-identical and
# the build machines are shared); a 2000 x 1000 scene takes one to two minutes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"
what=${1:-all}
scenes=(harbour market lighthouse park gallery)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

render_scenes() {
  mkdir -p images
  for s in "${scenes[@]}"; do
    echo "render $s"
    povray +I"scenes/$s.pov" +L"scenes" +O"$work/$s.png" +W2000 +H1000 +A0.3 +WT1 -D -V >/dev/null 2>&1
    /usr/bin/convert "$work/$s.png" -strip -sampling-factor 4:2:0 -quality 85 "images/$s.jpg"
  done
}

make_sound() {
  mkdir -p sound
  # narrations: one spoken sentence per scene, from narration/<scene>.txt
  for s in "${scenes[@]}"; do
    espeak-ng -v en-gb -s 150 -p 45 -w "$work/$s.wav" -f "narration/$s.txt"
    sox "$work/$s.wav" -r 22050 -c 1 "$work/$s-22.wav" norm -3 pad 0.3 0.3
    lame --quiet -m m -b 40 "$work/$s-22.wav" "sound/$s.mp3"
  done
  # ambience: brown-noise surf with slow swells and a hiss of wind, made
  # seamless by cross-fading the tail of a longer take into its head. Kept as
  # WAV: MP3 frames pad the start and the end, which would click at the loop.
  sox -n -r 11025 -c 1 "$work/surf.wav" synth 24 brownnoise vol 0.5 \
      tremolo 0.12 60 lowpass 900 highpass 60
  sox -n -r 11025 -c 1 "$work/wind.wav" synth 24 pinknoise vol 0.05 highpass 2500 \
      tremolo 0.3 90
  sox -m -v 1 "$work/surf.wav" -v 1 "$work/wind.wav" "$work/mix.wav" norm -8
  sox "$work/mix.wav" "$work/body.wav" trim 0 20
  sox "$work/mix.wav" "$work/tail.wav" trim 20 4
  sox "$work/body.wav" "$work/head.wav" trim 0 4
  sox "$work/body.wav" "$work/rest.wav" trim 4
  sox "$work/tail.wav" "$work/tailfade.wav" fade t 0 4 4
  sox "$work/head.wav" "$work/headfade.wav" fade t 4
  sox -m -v 1 "$work/tailfade.wav" -v 1 "$work/headfade.wav" "$work/joined.wav"
  sox "$work/joined.wav" "$work/rest.wav" -b 16 sound/ambience.wav
}

make_photo() {
  /usr/bin/python3 make_photo.py author.jpg
}

case "$what" in
  scenes) render_scenes ;;
  sound) make_sound ;;
  photo) make_photo ;;
  all) render_scenes; make_sound; make_photo ;;
  *) echo "usage: make_demo.sh [scenes|sound|photo|all]" >&2; exit 2 ;;
esac
