#!/usr/bin/env bash
# Makes the JPEGs of the JPEG decoder's tests, one of each kind:
#   make_jpegs.sh OUTPUT_FOLDER
# The source is a 333 x 251 picture (odd sizes: partial MCUs on both sides)
# of smooth colour with sharp-edged blocks of saturated colour, so that
# chroma subsampling and its smoothing show. cjpeg and jpegtran (Debian's
# libjpeg-turbo-progs) encode; ImageMagick draws and makes the CMYK one.
set -euo pipefail
out=$1
convert=/usr/bin/convert
mkdir -p "$out"
cd "$out"

$convert -seed 7 -size 333x251 plasma:fractal \
  -fill '#00C000' -draw 'rectangle 40,41 120,90' \
  -fill '#FF00FF' -draw 'rectangle 150,100 151,230' \
  -fill '#2040FF' -draw 'circle 250,60 280,75' ppm:source.ppm
$convert -seed 3 -size 1000x700 plasma:fractal -fill '#E01010' -draw 'rectangle 0,300 999,333' \
  ppm:large.ppm
$convert -size 17x9 gradient:red-blue ppm:tiny.ppm

encode() { local name=$1 source=$2; shift 2; cjpeg -quality 90 "$@" -outfile "$name.jpg" "$source"; }
# Kinds the player decodes itself.
encode baseline-420 source.ppm -sample 2x2
encode baseline-422 source.ppm -sample 2x1
encode baseline-444 source.ppm -sample 1x1
encode grey source.ppm -grayscale
encode progressive-420 source.ppm -progressive -sample 2x2
encode progressive-444 source.ppm -progressive -sample 1x1
encode progressive-grey source.ppm -progressive -grayscale
encode tiny tiny.ppm -sample 2x2
wrjpgcom -comment "made for the tests" baseline-420.jpg > commented.jpg
# Restart markers: every MCU row, every few rows, and every few MCUs (not on
# row boundaries: decoded in one piece).
encode restart-420 source.ppm -sample 2x2 -restart 1
encode restart-422 source.ppm -sample 2x1 -restart 2
encode restart-444 source.ppm -sample 1x1 -restart 3
encode restart-grey source.ppm -grayscale -restart 2
encode restart-in-rows source.ppm -sample 2x2 -restart 7B
encode large-restart large.ppm -sample 2x2 -restart 2
encode large-restart-444 large.ppm -sample 1x1 -restart 1
# A stated resolution of 300 dpi, which the picture's pixel size ignores.
$convert -seed 7 -size 200x120 plasma:fractal -density 300 -units PixelsPerInch -quality 90 \
  dense-300dpi.jpg
# Kinds left to the platform: arithmetic coding, CMYK.
encode arithmetic source.ppm -arithmetic
$convert source.ppm -colorspace CMYK -quality 90 cmyk.jpg
# Damaged past its header: the quantisation tables left out, so that the
# header reads but no row decodes.
python3 - restart-420.jpg no-tables.jpg <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
out, at = bytearray(data[:2]), 2
while data[at + 1] != 0xDA:  # up to the scan header
    length = int.from_bytes(data[at + 2:at + 4], 'big')
    if data[at + 1] != 0xDB:
        out += data[at:at + 2 + length]
    at += 2 + length
open(sys.argv[2], 'wb').write(out + data[at:])
PY
rm -f source.ppm large.ppm tiny.ppm
touch stamp
