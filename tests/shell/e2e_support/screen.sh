# The screen: shots, comparisons of areas, and waits for an area to change
# or to stand. Sourced by e2e_common.sh.

# Screenshots are PNG at zlib's fastest level: as exact as any other, and a
# quarter of the processor time of the default level, which the player being
# checked and the other tests beside it need more.
png_out=(-define png:compression-level=1)
shot() { xwd -root -silent | convert xwd:- "${png_out[@]}" "$art/$1.png"; }
# As Windows draws the desktop: X reads frameless popups back black.
gdi_shot() { probe shot "Z:$work/shot.bmp" && convert "$work/shot.bmp" "${png_out[@]}" "$art/$1.png"; }
shows() { shot "$1" && "${@:2}" "$art/$1.png"; } # shows NAME TEST...: TEST of the shot NAME
# geometry X Y W H: the area as ImageMagick writes it (WxH+X+Y); a picture
# named FILE[WxH+X+Y] is read as that part of FILE, in the same process.
geometry() { echo "$3x$4+$1+$2"; }
# ae PICTURE_A PICTURE_B: how many pixels differ.
ae() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1 || true; }
# differing PICTURE_A PICTURE_B X Y W H: how many pixels of the area differ.
differing() { ae "$1[$5x$6+$3+$4]" "$2[$5x$6+$3+$4]"; }
# spread PICTURE X Y W H: standard deviation of the area (0: one flat colour).
spread() { convert "$1[$4x$5+$2+$3]" -format "%[fx:standard_deviation*1000]" info: | cut -d. -f1; }
# area_is changed|same PICTURE_A PICTURE_B X Y W H: whether the area differs
# in more than MIN_CHANGE pixels (20), or in at most MAX_SAME (10).
area_is() { area_count_is "$1" "$(differing "$2" "$3" "${@:4}")"; }
changed() { area_is changed "$art/$1.png" "$art/$2.png" "${@:3}"; }
same() { area_is same "$art/$1.png" "$art/$2.png" "${@:3}"; }
dump() { xwd -root -silent >"$1"; }
keep() { convert "xwd:$1" "${png_out[@]}" "$art/$2.png"; } # keep DUMP NAME
# grab FILE X Y W H: that area of the screen, and no more, as a PPM picture
# (a poll of a small area on a 2560 x 2000 screen then reads kilobytes, not
# the whole screen).
grab() { python3 "$source/tests/shell/grab_area.py" "$@"; }
# shot_when changed|same REFERENCE NAME X Y W H: shoots NAME once the area
# compares with REFERENCE as asked, or after WAIT seconds (20) as it is then
# (a scene's picture takes a loaded machine seconds to extract and decode).
# Each poll reads the area alone; NAME is the whole screen once it has.
shot_when() {
  local compare=$1 reference=$2 name=$3 poll=$work/poll.ppm was=$work/reference.ppm
  local started=$SECONDS count
  shift 3
  convert "$art/$reference.png[$(geometry "$@")]" +repage "$was"
  until grab "$poll" "$@" && count=$(ae "$was" "$poll") && area_count_is "$compare" "$count"; do
    [ $((SECONDS - started)) -lt "${WAIT:-20}" ] || { shot "$name"; return 1; }
    sleep 0.3
  done
  shot "$name"
  echo "($name $compare after $((SECONDS - started)) s)"
}
area_count_is() { if [ "$1" = changed ]; then [ "$2" -gt "${MIN_CHANGE:-20}" ]; else [ "$2" -le "${MAX_SAME:-10}" ]; fi; }
# settle NAME X Y W H: shoots NAME once the area has stopped changing.
settle() {
  local name=$1
  shift
  local deadline=$((SECONDS + ${WAIT:-20})) earlier=$work/earlier.ppm later=$work/later.ppm
  grab "$later" "$@"
  while [ $SECONDS -lt $deadline ]; do
    sleep 0.4
    mv "$later" "$earlier"
    grab "$later" "$@"
    [ "$(ae "$earlier" "$later")" = 0 ] && break
  done
  shot "$name"
}
