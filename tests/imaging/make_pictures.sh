#!/usr/bin/env bash
# Makes the pictures of the image-loading tests with ImageMagick:
#   make_pictures.sh OUTPUT_FOLDER
# Each "corner" picture is 40 x 30, dark blue-grey with an 8 x 8 red block in
# its top-left corner, so that the tests can find the top row and the colour
# order. shipped.txt lists pictures that Debian packages installed on this
# machine, with the size ImageMagick reads, for the tests to decode as well.
set -euo pipefail
out=$1
convert=/usr/bin/convert
identify=/usr/bin/identify
mkdir -p "$out"
cd "$out"

corner() { $convert -size 40x30 xc:'#203040' -fill '#FF0000' -draw 'rectangle 0,0 7,7' "$@"; }
corner -type TrueColor BMP3:corner-24bit.bmp
corner -type Palette BMP3:corner-palette-1bit.bmp
# Forty greys along the bottom row make the palette need 8 bits per pixel.
greys=""
for x in $(seq 0 39); do greys="$greys fill rgb($((x * 6)),$((x * 6)),$((x * 6))) point $x,29"; done
corner -draw "$greys" -type Palette -compress None BMP3:corner-palette-8bit.bmp
corner -draw "$greys" -type Palette -compress RLE BMP3:corner-palette-rle8.bmp
corner corner.gif
corner -quality 95 -interlace None corner-baseline.jpg
corner -quality 95 -interlace Plane corner-progressive.jpg

$convert -size 96x96 xc:'#336699' -type TrueColor BMP3:square-96.bmp
$convert -size 33x10 xc:'#669933' -type TrueColor BMP3:width-33.bmp

# Panorama sizes for the reduced mode (small files: plain colour).
for size in 4000x1000 1800x1000 2000x1000 1000x600 1200x500; do
  $convert -size $size xc:'#808000' -quality 80 "pano-$size.jpg"
done

# Payloads for scene tours: small ones, and noisy ones above 307200 bytes.
for n in 1 2 3 4 5 6; do
  $convert -size 64x32 xc:"rgb($((n * 40)),0,0)" -quality 90 "scene-small-$n.jpg"
done
for n in 1 2; do
  $convert -size 600x300 -seed $n plasma:fractal +noise Random -quality 98 "scene-large-$n.jpg"
done

# A panorama whose full decode takes many times its eighth-size preview's.
$convert -size 600x300 -seed 5 xc: +noise Random -resize '6000x3000!' -quality 90 scene-wide.jpg

# Broken data: a JPEG cut in the middle of its header, one whose headers are
# whole but whose coded data ends a few hundred bytes in, and a file of text.
head -c 200 corner-baseline.jpg > truncated.jpg
scan_start=$(LC_ALL=C grep -m 1 -obUaP '\xff\xda' scene-large-1.jpg | cut -d: -f1)
head -c $((scan_start + 400)) scene-large-1.jpg > cut-short.jpg
printf 'this is not a picture at all, only text\n%.0s' $(seq 1 20) > not-a-picture.jpg

: > shipped.txt
for candidate in \
  /usr/share/doc/cmake-data/CMakeLogo.gif \
  /usr/share/tcltk/tk8.6/images/logo64.gif \
  /usr/share/doc/espeak-ng/docs/images/sand-light.jpg \
  /usr/share/doc/nodejs/thin-white-stripe.jpg \
  /usr/share/doc/fp-compiler/3.2.2/palmos/pilrc.bmp \
  /usr/share/doc/fp-compiler/3.2.2/palmos/pilrcic.bmp; do
  if [ -r "$candidate" ]; then
    # identify complains about some real files (a stated length that does not
    # match) yet reads their size; the decoder under test gets them as they are.
    size=$($identify -format '%w %h\n' "$candidate" 2>/dev/null | head -n 1 || true)
    [ -n "$size" ] && echo "Z:${candidate//\//\\} $size" >> shipped.txt
  fi
done
touch stamp
