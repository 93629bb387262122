#!/usr/bin/env bash
# tourpack's command line: a good manifest builds and inspects with exit code 0;
# bad input gives a message naming the field and a non-zero exit code.
set -euo pipefail
tourpack=$1
make_source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

fail() { echo "FAIL: $*" >&2; exit 1; }

manifest=$("$make_source" "$work/source" 2)
"$tourpack" build "$manifest" -o "$work/tour.exe" >"$work/out" || fail "build of a good manifest"
grep -q "2 scenes" "$work/out" || fail "build summary: $(cat "$work/out")"
[ -x "$work/tour.exe" ] || fail "the tour is not executable"
"$tourpack" inspect "$work/tour.exe" >"$work/report" || fail "inspect of a good tour"
grep -q "no problems found" "$work/report" || fail "inspect report"
"$tourpack" inspect --json "$work/tour.exe" | grep -q '"title": "Café tour"' || fail "inspect --json"
"$tourpack" extract "$work/tour.exe" -o "$work/extracted" >/dev/null || fail "extract"
"$tourpack" build "$work/extracted/tour.json" -o "$work/again.exe" >/dev/null || fail "rebuild"
cmp -s "$work/tour.exe" "$work/again.exe" || fail "rebuilt tour differs"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left: $(ls "$TMPDIR")"

# render --links of a tour whose language module has no marker picture (the
# made source's module is only a stand-in) draws the player's own marker, as
# the player does, and says so; of a picture, it is refused.
"$tourpack" render "$work/tour.exe" --links -o "$work/view.bmp" 2>"$work/err" ||
  fail "render --links without a marker picture: $(cat "$work/err")"
grep -q "drawing the player's own" "$work/err" || fail "render --links message: $(cat "$work/err")"
[ -s "$work/view.bmp" ] || fail "render --links wrote no view"
rm -f "$work/view.bmp"
if "$tourpack" render "$work/source/scene1.bmp" --links -o "$work/view.bmp" 2>"$work/err"; then
  fail "render --links of a picture"
fi
grep -q "needs a tour" "$work/err" || fail "render --links message: $(cat "$work/err")"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left by render: $(ls "$TMPDIR")"

# render --sampling: smooth (bilinear, and the half-size levels where the view
# shrinks the panorama) or nearest. A tour's own sampling is the default, smooth
# for a plain picture; the two differ on a detailed picture, not on a flat one,
# and link markers lie where they lie either way.
convert=/usr/bin/convert
$convert -size 720x360 xc:gray +noise Random -type TrueColor "BMP3:$work/source/detailed.bmp"
$convert -size 720x360 "xc:#507090" -type TrueColor "BMP3:$work/source/flat.bmp"
same_pixels() { cmp -s <($convert "$1" rgb:-) <($convert "$2" rgb:-); }
for sampling in smooth nearest; do
  python3 - "$manifest" "$work/source/$sampling.json" "$sampling" <<'PY'
import json, sys
tour = json.load(open(sys.argv[1]))
tour["sampling"] = sys.argv[3]
tour["scenes"][0]["image"] = "detailed.bmp"
tour["scenes"][1]["image"] = "flat.bmp"
tour["scenes"][1]["links"] = [{"to": 1, "pan": 15, "tilt": -3}, {"to": 1, "pan": -5, "tilt": 10}]
json.dump(tour, open(sys.argv[2], "w"))
PY
  "$tourpack" build "$work/source/$sampling.json" -o "$work/$sampling.exe" >/dev/null ||
    fail "build of the $sampling tour"
  "$tourpack" render "$work/$sampling.exe" -o "$work/$sampling-own.bmp" || fail "render of the $sampling tour"
  for chosen in smooth nearest; do
    "$tourpack" render "$work/$sampling.exe" --sampling $chosen -o "$work/$sampling-as-$chosen.bmp" ||
      fail "render --sampling $chosen"
  done
  same_pixels "$work/$sampling-own.bmp" "$work/$sampling-as-$sampling.bmp" ||
    fail "render of the $sampling tour does not follow its sampling"
  "$tourpack" render "$work/$sampling.exe" --scene 2 --links --sampling smooth \
    -o "$work/$sampling-flat-smooth.bmp" 2>/dev/null || fail "render --links --sampling smooth"
  "$tourpack" render "$work/$sampling.exe" --scene 2 --links --sampling nearest \
    -o "$work/$sampling-flat-nearest.bmp" 2>"$work/err" || fail "render --links --sampling nearest"
  grep -q "2 of the scene's 2 links and 0 of its 0 notes in view" "$work/err" || fail "render --links: $(cat "$work/err")"
  same_pixels "$work/$sampling-flat-smooth.bmp" "$work/$sampling-flat-nearest.bmp" ||
    fail "a flat scene with its markers renders otherwise smooth than nearest"
done
! same_pixels "$work/smooth-own.bmp" "$work/nearest-own.bmp" ||
  fail "a detailed scene renders alike smooth and nearest"
same_pixels "$work/smooth-as-nearest.bmp" "$work/nearest-own.bmp" || fail "--sampling nearest of a smooth tour"
"$tourpack" render "$work/source/detailed.bmp" -o "$work/picture-own.bmp" || fail "render of a picture"
"$tourpack" render "$work/source/detailed.bmp" --sampling smooth -o "$work/picture-smooth.bmp" || fail "render --sampling smooth of a picture"
same_pixels "$work/picture-own.bmp" "$work/picture-smooth.bmp" || fail "a picture does not render smooth by default"
# A view that shrinks a one-pixel checkerboard six times reads the half-size
# levels, each pixel the 2 x 2 mean: grey throughout.
$convert -size 1440x720 pattern:gray50 -type TrueColor "BMP3:$work/checker.bmp"
"$tourpack" render "$work/checker.bmp" --size 64x48 -o "$work/checker-view.bmp" || fail "render of the checkerboard"
$convert "$work/checker-view.bmp" "$work/checker-view.rgb"
python3 - "$work/checker-view.rgb" <<'PY' || fail "a shrinking smooth view does not read the levels"
import sys
pixels = open(sys.argv[1], "rb").read()
assert len(pixels) == 64 * 48 * 3, len(pixels)
assert min(pixels) >= 127 and max(pixels) <= 128, (min(pixels), max(pixels))
PY
"$tourpack" inspect "$work/nearest.exe" | grep -qx "sampling        nearest" || fail "inspect does not show the sampling"

# --max-width: 16384 at most, and a wider limit is refused naming it; new
# says how a picture wider than the default is kept whole, and it is.
status=0
"$tourpack" build "$work/source/smooth.json" -o "$work/too-large.exe" --max-width 16385 >/dev/null 2>"$work/err" || status=$?
[ "$status" = 2 ] && [ ! -e "$work/too-large.exe" ] || fail "build --max-width 16385: exit $status"
grep -q -- "--max-width.*16384" "$work/err" || fail "the limit is not named: $(cat "$work/err")"
mkdir -p "$work/wide" "$work/lang"
cp "$work/source/language.dll" "$work/lang/en.dll"
$convert -size 8200x4100 "xc:#305070" "$work/wide/hall.jpg"
"$tourpack" new "$work/wide" >"$work/new.out" || fail "new of a wide picture: $(cat "$work/new.out")"
grep -qF "build reduces it to 8192 x 4096; --max-width 16384 keeps it whole" "$work/new.out" ||
  fail "new does not say how to keep the picture whole: $(cat "$work/new.out")"
"$tourpack" build "$work/wide/tour.json" -o "$work/wide.exe" --max-width 16384 \
  --player "$work/source/player.exe" --lang-dir "$work/lang" >/dev/null || fail "build of the wide picture"
"$tourpack" extract "$work/wide.exe" -o "$work/wide-out" >/dev/null || fail "extract of the wide tour"
[ "$(identify -format %wx%h "$work/wide-out/scenes/01-image.jpg")" = 8200x4100 ] ||
  fail "--max-width 16384 did not keep the picture whole"

sed -i 's/"scene1.bmp"/"missing.jpg"/' "$manifest"
if "$tourpack" build "$manifest" -o "$work/bad.exe" 2>"$work/err"; then fail "bad manifest accepted"; fi
grep -q "scenes\[1\].image" "$work/err" || fail "message: $(cat "$work/err")"
[ ! -e "$work/bad.exe" ] || fail "a failed build wrote its output"

head -c 5000 /dev/urandom >"$work/random.exe"
if "$tourpack" inspect "$work/random.exe" >"$work/report" 2>"$work/err"; then fail "inspect accepted a non-tour"; fi
grep -q "CAFEBABE" "$work/err" || fail "inspect message on standard error: $(cat "$work/err")"
if "$tourpack" frobnicate 2>/dev/null; then fail "unknown command accepted"; fi

# Usage slips: exit code 2 and a message saying what to type instead.
expect_usage() {  # expect_usage CODE TEXT -- ARGUMENTS...
  local code=$1 text=$2 status=0
  shift 3
  "$tourpack" "$@" >/dev/null 2>"$work/err" || status=$?
  [ "$status" = "$code" ] || fail "tourpack $*: exit $status, expected $code ($(cat "$work/err"))"
  grep -qF -- "$text" "$work/err" || fail "tourpack $*: message: $(cat "$work/err")"
}
expect_usage 2 'did you mean `build`?' -- buidl "$manifest" -o "$work/x.exe"
expect_usage 2 "the commands are build" -- frobnicate
expect_usage 2 "required" -- build "$manifest"
mkdir -p "$work/outdir"
expect_usage 1 "-o names the file to write, e.g. $work/outdir/tour.exe" -- build "$manifest" -o "$work/outdir/"
expect_usage 1 "the folder $work/nosuchdir does not exist" -- build "$manifest" -o "$work/nosuchdir/tour.exe"
expect_usage 1 "did you mean $work/source/tour.json?" -- build "$work/source" -o "$work/x.exe"
expect_usage 1 "make one with tourpack new $work/outdir" -- build "$work/outdir" -o "$work/x.exe"
cp "$manifest" "$work/manifest.copy"
expect_usage 1 "-o would replace the manifest" -- build "$manifest" -o "$manifest"
cmp -s "$manifest" "$work/manifest.copy" || fail "build -o over the manifest changed it"
expect_usage 1 "-o would replace field 'scenes[2].image'" -- build "$manifest" -o "$work/source/../source/scene2.bmp"
expect_usage 1 "would replace the tour $work/tour.exe itself" -- extract "$work/tour.exe" -o "$work/tour.exe"
expect_usage 1 "-o would replace the file being rendered" -- render "$work/tour.exe" -o "$work/tour.exe"
expect_usage 2 '--sampling "bilinear": expected "smooth" or "nearest"' -- render "$work/smooth.exe" --sampling bilinear -o "$work/refused.bmp"
[ ! -e "$work/refused.bmp" ] || fail "a refused render wrote its output"
"$tourpack" inspect "$work/tour.exe" | grep -q "no problems found" || fail "a refused -o damaged the tour"

# new: a folder of pictures and sounds becomes a manifest, and build converts
# what the player cannot show as it is. Small pictures keep this quick; the
# end-to-end run under Wine (tests/shell, case folder) takes full-size ones.
photos=$work/old_harbour
mkdir -p "$photos" "$work/lang"
cp "$work/source/language.dll" "$work/lang/en.dll"
packing=(--player "$work/source/player.exe" --lang-dir "$work/lang")
$convert -size 600x300 gradient:navy-gold -alpha set -channel A -evaluate set 50% +channel "$photos/10-quay.png"
$convert -size 600x300 gradient:green-white -depth 16 "$photos/2_market.png"
$convert -size 600x300 gradient:red-black -depth 16 "$photos/3-lighthouse.tif"
$convert -size 600x300 gradient:gray-white "$photos/4.tga"
$convert -size 1000x500 gradient:white-black "$photos/5-great-hall.jpg"
$convert -size 300x100 xc:orange "$photos/beach.jpg"
$convert -size 90x120 xc:gray -alpha set "$photos/author.png"
sox -n -r 22050 -c 1 "$photos/10-quay.wav" synth 0.3 sine 440
sox -n -r 22050 -c 1 "$photos/ambience.wav" synth 0.3 sine 220
sox -n -r 22050 -c 1 "$work/market.wav" synth 0.3 sine 660
lame --quiet "$work/market.wav" "$photos/2_market.mp3"
echo "shot on a windy day" >"$photos/notes.txt"
"$tourpack" new "$photos" >"$work/new.out" || fail "new: $(cat "$work/new.out")"
python3 - "$photos/tour.json" <<'PY' || fail "the guessed manifest"
import json, sys
tour = json.load(open(sys.argv[1]))
scenes = [(s["name"], s["image"], s["sound"]) for s in tour["scenes"]]
expected = [("2 Market", "2_market.png", "2_market.mp3"), ("3 Lighthouse", "3-lighthouse.tif", None),
            ("4", "4.tga", None), ("5 Great hall", "5-great-hall.jpg", None),
            ("10 Quay", "10-quay.png", "10-quay.wav"), ("Beach", "beach.jpg", None)]
assert scenes == expected, scenes
assert tour["title"] == "Old harbour", tour["title"]
assert all(s["links"] == [] for s in tour["scenes"]), [s.get("links") for s in tour["scenes"]]
assert tour["backgroundSound"] == "ambience.wav" and tour["info"]["picture"] == "author.png"
assert tour["language"] == "en" and "skin" not in tour, tour  # the default skin is implicit
assert list(tour)[0] == "title" and all(list(s)[0] == "name" for s in tour["scenes"]), list(tour)
PY
for guess in 'scene 5               "10 Quay": 10-quay.png (600 x 300), sound 10-quay.wav' \
  'tour sound            ambience.wav' 'left out              notes.txt' \
  'warning: 300 x 100 is not twice as wide as high'; do
  grep -qF "$guess" "$work/new.out" || fail "new does not print: $guess ($(cat "$work/new.out"))"
done
if "$tourpack" new "$photos" 2>"$work/err"; then fail "new replaced a manifest without --force"; fi
grep -q "tour.json: a manifest is already there; use --force" "$work/err" || fail "message: $(cat "$work/err")"
"$tourpack" new --force "$photos" >/dev/null || fail "new --force"
mkdir "$work/Sommer Ferien"
cp "$photos/beach.jpg" "$work/Sommer Ferien/"
"$tourpack" new "$work/Sommer Ferien" >"$work/new.out" || fail "new of a folder with a space"
grep -qF "Next: tourpack build '$work/Sommer Ferien/tour.json' -o" "$work/new.out" ||
  fail "the next step is not quoted: $(cat "$work/new.out")"

"$tourpack" build "$photos/tour.json" -o "$work/photos.exe" --max-width 800 --quality 80 "${packing[@]}" \
  >"$work/out" 2>"$work/err" || fail "build of the guessed manifest: $(cat "$work/err")"
for notice in "scenes\[1\].image: 2_market.png, a PNG picture of 600 x 300, stored as JPEG (quality 80)" \
  "scenes\[2\].image: 3-lighthouse.tif, a TIFF picture" "scenes\[3\].image: 4.tga, a TGA picture" \
  "scenes\[4\].image: 5-great-hall.jpg, a JPEG picture of 1000 x 500, reduced to 800 x 400 (Mitchell filter) and stored as JPEG (quality 80); --max-width 16384 keeps it whole" \
  "scenes\[5\].image: 10-quay.png" "info.picture: author.png"; do
  grep -q "$notice" "$work/out" || fail "build does not say: $notice ($(cat "$work/out"))"
done
grep -q "scenes\[6\].image': beach.jpg: 300 x 100 is not twice as wide" "$work/err" || fail "no 3:1 warning: $(cat "$work/err")"
"$tourpack" inspect "$work/photos.exe" | grep -q "no problems found" || fail "inspect of the converted tour"
"$tourpack" extract "$work/photos.exe" -o "$work/photos" >/dev/null || fail "extract"
for n in 01 02 03 04 05 06; do
  [ -f "$work/photos/scenes/$n-image.jpg" ] || fail "scene $n is not stored as JPEG: $(ls "$work/photos/scenes")"
done
[ "$(identify -format %wx%h "$work/photos/scenes/04-image.jpg")" = 800x400 ] || fail "the wide picture is not 800 x 400"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left after build: $(ls "$TMPDIR")"

# render reads what build reads (a TIFF gives the pixels of the same picture
# as PNG) and writes the format -o's extension names; PNG, TIFF and BMP hold
# the same pixels; an extension it cannot write is refused before anything.
$convert -size 200x100 gradient:red-blue -depth 8 "$work/pano.png"
$convert "$work/pano.png" -depth 8 -compress lzw "$work/pano.tif"
"$tourpack" render "$work/pano.png" --size 64x48 --pan 40 -o "$work/from-png.bmp" || fail "render of a PNG"
"$tourpack" render "$work/pano.tif" --size 64x48 --pan 40 -o "$work/from-tif.bmp" || fail "render of a TIFF"
cmp -s "$work/from-png.bmp" "$work/from-tif.bmp" || fail "a TIFF renders other pixels than its PNG"
for format in png tif tiff jpg jpeg bmp; do
  "$tourpack" render "$work/photos.exe" --scene 3 -o "$work/view.$format" || fail "render -o view.$format"
done
for pair in png:PNG tif:TIFF tiff:TIFF jpg:JPEG jpeg:JPEG bmp:BMP; do
  found=$(identify -format %m:%wx%h "$work/view.${pair%%:*}")
  [ "${found/BMP3/BMP}" = "${pair#*:}:480x360" ] || fail "view.${pair%%:*} is $found"
done
bmp_pixels=$($convert "$work/view.bmp" rgb:- | md5sum)
for format in png tif; do
  [ "$($convert "$work/view.$format" rgb:- | md5sum)" = "$bmp_pixels" ] || fail "view.$format differs from view.bmp"
done
if "$tourpack" render "$work/photos.exe" -o "$work/view.gif" 2>"$work/err"; then fail "render -o view.gif"; fi
grep -qF "view.gif: the extension .gif names no format tourpack writes; use .png, .jpg, .jpeg, .bmp, .tif, .tiff" \
  "$work/err" || fail "message: $(cat "$work/err")"
[ ! -e "$work/view.gif" ] || fail "a refused render wrote its output"

# Progress: a line a picture as it is done, flushed at once (here into a
# file), and no percentage outside a terminal. Ctrl-C once the first line is
# there: the build stops and leaves neither its .part file nor its folder of
# converted pictures.
big=$work/big
mkdir "$big"
# The manifest is made from small pictures of the same names, which the
# large ones then replace: new reads every picture through, and only the
# build is to be interrupted.
for n in 1 2 3; do $convert -size 64x32 gradient:blue-yellow "$big/$n.png"; done
"$tourpack" new "$big" >/dev/null || fail "new of the pictures"
$convert -size 6000x3000 gradient:blue-yellow "$big/1.png"
for n in 2 3; do cp "$big/1.png" "$big/$n.png"; done
"$tourpack" build "$big/tour.json" -o "$work/big.exe" "${packing[@]}" >"$work/big.out" 2>"$work/big.err" &
building=$!
until grep -q "image: 1.png" "$work/big.out"; do
  kill -0 "$building" 2>/dev/null || fail "the build ended before its first progress line: $(cat "$work/big.err")"
  sleep 0.05
done
kill -INT "$building"
status=0
wait "$building" || status=$?
[ "$status" = 130 ] || fail "an interrupted build exits with $status ($(cat "$work/big.err"))"
grep -q "interrupted" "$work/big.err" || fail "the interruption is not named: $(cat "$work/big.err")"
! grep -q "%" "$work/big.err" || fail "a percentage in a log file"
[ ! -e "$work/big.exe" ] && [ ! -e "$work/big.exe.part" ] || fail "an interrupted build left $(ls "$work" | grep big.exe)"
[ -z "$(ls -A "$TMPDIR")" ] || fail "an interrupted build left $(ls "$TMPDIR")"

# Bad input: a clear message naming the folder or the file, and nothing written.
mkdir "$work/empty" "$work/sounds-only"
if "$tourpack" new "$work/empty" 2>"$work/err"; then fail "new accepted an empty folder"; fi
grep -q "empty: the folder is empty" "$work/err" || fail "message: $(cat "$work/err")"
cp "$photos/ambience.wav" "$photos/notes.txt" "$work/sounds-only/"
if "$tourpack" new "$work/sounds-only" 2>"$work/err"; then fail "new accepted a folder without pictures"; fi
grep -q "sounds-only: no picture for a scene" "$work/err" || fail "message: $(cat "$work/err")"
[ -z "$(ls "$work"/empty "$work"/sounds-only | grep json)" ] || fail "a manifest was written"
mkdir -p "$work/DCIM/100GOPRO" "$work/DCIM/101GOPRO"
if "$tourpack" new "$work/DCIM" 2>"$work/err"; then fail "new accepted a folder of folders"; fi
grep -qF "holds only folders (100GOPRO, 101GOPRO)" "$work/err" || fail "message: $(cat "$work/err")"

# Pictures new cannot read are left out, each with its reason, and the
# manifest holds the rest.
mixed=$work/mixed
mkdir "$mixed"
head -c 10 "$photos/2_market.png" >"$mixed/broken.png"
$convert -size 64x32 gradient:red-blue "$work/plain.ppm"
cjpeg -arithmetic "$work/plain.ppm" >"$mixed/arithmetic.jpg"
$convert -size 80x40 gradient:white-black -type TrueColor -sampling-factor 2x2 "$work/landscape.jpg"
# A camera's portrait: the pixels as the sensor lay, and an EXIF orientation
# tag 6 (turn 90 degrees clockwise to show it upright). Its MCUs are 16 x 16,
# so the last 8 of its 40 rows, which turn to the left, are a partial MCU.
python3 - "$work/landscape.jpg" "$mixed/portrait.jpg" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
tiff = b"MM\0\x2a" + struct.pack(">I", 8) + struct.pack(">H", 1) + \
    struct.pack(">HHIHH", 0x0112, 3, 1, 6, 0) + struct.pack(">I", 0)
exif = b"Exif\0\0" + tiff
open(sys.argv[2], "wb").write(data[:2] + b"\xFF\xE1" + struct.pack(">H", len(exif) + 2) + exif + data[2:])
PY
$convert -size 80x40 gradient:white-black "$mixed/phone.webp"
$convert -size 80x40 gradient:white-black "$mixed/renamed.jpg.webp"
mv "$mixed/renamed.jpg.webp" "$mixed/renamed.jpg"
printf '\xFF\xD8\xFF\xC1\x00\x0B\x0C\x00\x10\x00\x20\x01\x01\x11\x00' >"$mixed/deep.jpg"
# Its header whole, its pixels missing: build would refuse it.
head -c 33 "$photos/2_market.png" >"$mixed/header-only.png"
"$tourpack" new "$mixed" >"$work/new.out" 2>&1 || fail "new over unreadable pictures: $(cat "$work/new.out")"
for left in "broken.png: is not a picture that can be read" \
  "phone.webp: a format tourpack does not read; convert it to JPEG" \
  "renamed.jpg: a WebP picture, a format tourpack does not read; convert it to JPEG" \
  "deep.jpg: is a 12-bit JPEG, which tourpack does not read" \
  "header-only.png: is truncated or corrupt" \
  '"Portrait": portrait.jpg (32 x 80)'; do
  grep -qF "$left" "$work/new.out" || fail "new does not leave out $left ($(cat "$work/new.out"))"
done
python3 - "$mixed/tour.json" <<'PY' || fail "the manifest of the readable pictures"
import json, sys
images = [s["image"] for s in json.load(open(sys.argv[1]))["scenes"]]
assert images == ["arithmetic.jpg", "portrait.jpg"], images
PY
"$tourpack" build "$mixed/tour.json" -o "$work/mixed.exe" "${packing[@]}" >"$work/out" 2>&1 ||
  fail "build of the arithmetic and the portrait JPEG: $(cat "$work/out")"
for notice in "arithmetic.jpg, an arithmetic-coded JPEG picture of 64 x 32, stored as baseline JPEG (losslessly)" \
  "portrait.jpg, a JPEG picture of 40 x 80, turned upright losslessly (its orientation tag: rotated 90 degrees clockwise), 8 pixels trimmed from the left (now 32 x 80), stored as baseline JPEG"; do
  grep -qF "$notice" "$work/out" || fail "build does not say: $notice ($(cat "$work/out"))"
done
"$tourpack" extract "$work/mixed.exe" -o "$work/mixed-out" >/dev/null || fail "extract of the mixed tour"
stored=$work/mixed-out/scenes/02-image.jpg
[ "$(identify -format %wx%h "$stored")" = 32x80 ] || fail "the portrait picture is not stored upright"
[ "$(identify -format '%[EXIF:Orientation]' "$stored")" = 1 ] || fail "the stored portrait keeps a turning tag"
# Turned, not encoded anew: decoded block by block (no smoothing across
# blocks, the float inverse DCT), the stored picture is the camera's kept 32
# rows turned clockwise, sample for sample; its top row (white) is now its
# right column.
djpeg -nosmooth -dct float "$mixed/portrait.jpg" >"$work/portrait.ppm"
djpeg -nosmooth -dct float "$stored" >"$work/stored.ppm"
python3 - "$work/portrait.ppm" "$work/stored.ppm" <<'PY' || fail "the portrait is not turned losslessly"
import re, sys
def ppm(name):
    data = open(name, "rb").read()
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    width, height = int(header[1]), int(header[2])
    pixels = data[header.end():]
    return width, height, [[pixels[3 * (y * width + x):3 * (y * width + x) + 3] for x in range(width)] for y in range(height)]
w, h, camera = ppm(sys.argv[1])
sw, sh, stored = ppm(sys.argv[2])
assert (w, h, sw, sh) == (80, 40, 32, 80), (w, h, sw, sh)
for y in range(sh):
    for x in range(sw):
        assert stored[y][x] == camera[31 - x][y], (x, y)
assert stored[0][31][0] > 200 and stored[0][0][0] < 100
PY
head -c $(($(stat -c %s "$photos/2_market.png") / 2)) "$photos/2_market.png" >"$work/cut.png"
mv "$work/cut.png" "$photos/2_market.png"
if "$tourpack" build "$photos/tour.json" -o "$work/cut.exe" "${packing[@]}" 2>"$work/err"; then
  fail "build accepted a truncated picture"
fi
grep -q "field 'scenes\[1\].image': .*2_market.png: is truncated or corrupt" "$work/err" || fail "message: $(cat "$work/err")"
[ ! -e "$work/cut.exe" ] && [ -z "$(ls -A "$TMPDIR")" ] || fail "a failed build left files behind"
echo "tourpack command line: all checks passed"
