# Sourced by scripts/bench.sh: the real player's scene changes under Wine,
# watched from another process by bench/scene_change_probe.exe, against the
# platform picture service alone on the same files in the same run.
# Needs $winbuild (a built win tree) and $pictures (the bench's panoramas);
# prints the summary rows "scene change WxH: ...", "next scene prefetched
# ...", "window unanswered ..." and the peak working set after stepping
# through a tour of 8000x4000 scenes. A scene change's floor comes from the
# "scene phases WxH-restart" rows of scene_change_bench in $phases_log.
# LUMIVUE_BENCH_PLAYER names another player image to pack the tours with (an
# older build, for comparison).

bench_player_scene_changes() {
  local root work prefix tours player probe_exe
  root=$(cd "$here/.." && pwd)
  work=$(mktemp -d "${TMPDIR:-/tmp}/lumivue-bench-player.XXXXXX")
  prefix=$winbuild/wineprefix
  player=${LUMIVUE_BENCH_PLAYER:-$winbuild/bin/player.exe}
  probe_exe=$winbuild/bin/scene_change_probe.exe
  local xvfb_started=""
  if [ -z "${DISPLAY:-}" ]; then
    source "$here/xvfb-display.sh"
    start_xvfb 1280x1024
    xvfb_started=1
  fi
  # Second panoramas of the same sizes, of other noise, and the largest the
  # player takes.
  local size
  for size in 4000x2000 8000x4000; do
    [ -f "$pictures/$size-b.jpg" ] ||
      /usr/bin/convert -seed 7 -size $((${size%x*} / 10))x$((${size#*x} / 10)) xc: +noise Random \
        -resize "$size!" -quality 90 "$pictures/$size-b.jpg"
  done
  # ImageMagick refuses pictures over 16000 wide here: the noise is drawn at
  # a tenth of the size and each pixel taken ten times across and down.
  if [ ! -f "$pictures/16384x8192.jpg" ]; then
    /usr/bin/convert -seed 9 -size 1639x820 xc: +noise Random -depth 8 -compress none ppm:"$work/noise.ppm"
    python3 - "$work/noise.ppm" <<'PY' | cjpeg -quality 90 -restart 8B >"$pictures/16384x8192.jpg"
import sys
words = open(sys.argv[1]).read().split()
width, height = int(words[1]), int(words[2])
values = bytes(int(v) for v in words[4:])
out = sys.stdout.buffer
out.write(b"P6 16384 8192 255\n")
for y in range(0, 8192, 10):
    row = values[(y // 10) * width * 3:][: width * 3]
    wide = b"".join(row[3 * x:3 * x + 3] * 10 for x in range(width))[: 16384 * 3]
    out.write(wide * min(10, 8192 - y))
PY
    [ -s "$pictures/16384x8192.jpg" ] || { rm -f "$pictures/16384x8192.jpg"; return 1; }
  fi
  cp "$root/samples/demo/sound/ambience.wav" "$work/ambience.wav"

  # tour NAME PICTURE...: a tour of one scene per picture, without sounds,
  # shown smoothly (SAMPLING=nearest: as the exact warp) at a field of view
  # of 100 degrees (FOV), pictures up to 16384 wide kept whole. Its scenes
  # cut in (TRANSITION=walk: the first scene has a link at pan 30 to the
  # second, which it walks through, and other changes fade).
  tour() {
    local name=$1
    shift
    python3 - "$work/$name.json" "$root/skin" "$work/ambience.wav" "${SAMPLING:-smooth}" \
      "${FOV:-100}" "${TRANSITION:-none}" "$@" <<'PY'
import json, sys
out, skin, sound, sampling, fov, transition, *pictures = sys.argv[1:]
scenes = [{"name": "Scene %d" % (k + 1), "pan": 0, "tilt": 0, "fieldOfView": float(fov),
           "image": picture} for k, picture in enumerate(pictures)]
scenes[0]["links"] = [{"to": "Scene 2", "pan": 30, "tilt": 0}]
json.dump({"title": "Bench", "viewSize": 3, "rotationSpeed": 2, "soundOn": False,
           "autoPlay": False, "fullScreenMode": 0, "backgroundSound": sound, "sampling": sampling,
           "transition": transition, "scenes": scenes, "skin": skin, "language": "en"},
          open(out, "w"), indent=1)
PY
    (cd "$winbuild" && "$here/wine-run.sh" --prefix "$prefix" bin/tourpack.exe build \
      "Z:${work//\//\\}\\$name.json" -o "Z:${work//\//\\}\\$name.exe" \
      --player "Z:${player//\//\\}" --lang-dir bin/lang --max-width 16384 >/dev/null)
  }
  probe() { "$here/wine-run.sh" --prefix "$prefix" "$probe_exe" "$@" | tr -d '\r'; }
  win() { echo "Z:${1//\//\\}"; }
  start_tour() {
    "$here/wine-run.sh" --prefix "$prefix" "$work/$1.exe" >/dev/null 2>&1 &
    tour_pid=$!
    local _
    for _ in $(seq 60); do probe peak >/dev/null 2>&1 && break; sleep 0.5; done
    sleep 6  # the first scene, and the next one decoded ahead
  }
  close_tour() {
    probe close >/dev/null 2>&1 || true
    local _
    for _ in $(seq 40); do kill -0 "$tour_pid" 2>/dev/null || break; sleep 0.5; done
    kill "$tour_pid" 2>/dev/null || true
    wait "$tour_pid" 2>/dev/null || true
  }

  local small=$pictures/2000x1000.jpg big=$pictures/8000x4000.jpg big2=$pictures/8000x4000-b.jpg
  local mid=$pictures/4000x2000.jpg mid2=$pictures/4000x2000-b.jpg
  # The scene changes are watched until the view stops changing. The first
  # change is the first look (the stored preview), the last the full
  # picture; at 20 degrees the view enlarges every panorama, so the pyramid
  # that follows changes no pixel. The largest panorama is shrunk at any
  # field of view: its tour is shown as the exact warp, which has no pyramid.
  FOV=20 tour changes "$(win "$small")" "$(win "$big")" "$(win "$big2")" "$(win "$small")" \
    "$(win "$mid")" "$(win "$mid2")"
  tour through "$(win "$big")" "$(win "$big2")" "$(win "$big")" "$(win "$big2")"
  SAMPLING=nearest tour through-nearest "$(win "$big")" "$(win "$big2")" "$(win "$big")" \
    "$(win "$big2")"
  SAMPLING=nearest tour huge "$(win "$small")" "$(win "$small")" "$(win "$pictures/16384x8192.jpg")"
  TRANSITION=walk tour walk "$(win "$big")" "$(win "$big2")"

  local line shown settled unanswered longest=0 prefetched
  local -a mids bigs midLooks bigLooks
  start_tour changes
  # Scene 2 was decoded ahead while scene 1 showed.
  line=$(probe change next)
  echo "  next scene (decoded ahead, 8000x4000): $line"
  read -r _ prefetched _ settled _ unanswered _ <<<"$line"
  longest=$unanswered
  sleep 4
  # Scenes 5 and 3 from the scene menu: neither is the one decoded ahead.
  local round
  for round in 1 2 3; do
    line=$(probe change 5)
    echo "  to scene 5 (4000x2000): $line"
    read -r _ shown _ settled _ unanswered _ <<<"$line"
    mids+=("$settled")
    midLooks+=("$shown")
    sleep 4
    line=$(probe change 3)
    echo "  to scene 3 (8000x4000): $line"
    read -r _ shown _ settled _ unanswered _ <<<"$line"
    bigs+=("$settled")
    bigLooks+=("$shown")
    [ "$unanswered" -le "$longest" ] || longest=$unanswered
    sleep 5
  done
  close_tour

  median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  local platformBig platformMid
  platformBig=$(probe platform "$(win "$big2")" 3 | awk '{ print $2 }')
  platformMid=$(probe platform "$(win "$mid")" 3 | awk '{ print $2 }')
  echo "  the platform picture service alone: 8000x4000 $platformBig ms, 4000x2000 $platformMid ms"

  # Stepping through a tour of 8000x4000 scenes, each on screen for 5 s,
  # smoothly (with each scene's pyramid) and as the exact warp (none).
  local step peak peakNearest
  for sampling in through-nearest through; do
    start_tour "$sampling"
    for step in 1 2 3 4; do
      probe change next >/dev/null || true
      sleep 5
    done
    peak=$(probe peak)
    close_tour
    [ "$sampling" = through ] || peakNearest=$peak
  done
  echo "  peak working set stepping through four 8000x4000 scenes: smooth $((peak / 1048576)) MB, nearest $((peakNearest / 1048576)) MB, a third of two decoded scenes $((2 * 8000 * 4000 * 3 / 3 / 1048576)) MB ($(basename "$player"))"

  # The largest panorama from the scene menu, not the scene decoded ahead.
  local huge hugeLook
  start_tour huge
  line=$(probe change 3)
  echo "  to scene 3 (16384x8192): $line"
  read -r _ hugeLook _ huge _ unanswered _ <<<"$line"
  close_tour

  # Walking through the link to the scene decoded ahead, then back to the
  # first scene (in the cache) from the scene menu, which fades.
  local walk fade
  start_tour walk
  walk=$(probe change link)
  echo "  through the link (8000x4000, decoded ahead): $walk"
  sleep 2
  fade=$(probe change 1)
  echo "  back from the scene menu (8000x4000, cached): $fade"
  close_tour
  local walkLast walkFrames walkGap walkUnanswered fadeLast fadeFrames
  read -r _ _ _ walkLast _ walkUnanswered _ walkFrames _ walkGap <<<"$walk"
  read -r _ _ _ fadeLast _ _ _ fadeFrames _ <<<"$fade"

  ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
  # scene_change_row SIZE FIRST-LOOKS... -- FULL-PICTURES...
  scene_change_row() {
    local size=$1 phases extraction decode threads frame floor look full
    shift
    local -a looks=() fulls=()
    while [ "$1" != -- ]; do looks+=("$1"); shift; done
    shift
    fulls=("$@")
    look=$(median "${looks[@]}")
    full=$(median "${fulls[@]}")
    phases=$(sed -n "s/^summary: scene phases $size-restart: //p" "$phases_log" | tail -1)
    read -r _ extraction _ _ decode _ _ threads _ _ _ frame _ <<<"$phases"
    floor=$((extraction + decode + frame))
    echo "summary: scene change $size: first look $look ms, full picture $full ms, floor $floor ms (extraction $extraction, decode $decode on $threads threads, first frame $frame), ratio Y/Z $(ratio "$full" "$floor")"
  }
  scene_change_row 8000x4000 "${bigLooks[@]}" -- "${bigs[@]}"
  scene_change_row 4000x2000 "${midLooks[@]}" -- "${mids[@]}"
  echo "summary: next scene prefetched 8000x4000: shown after $prefetched ms"
  echo "summary: window unanswered during a scene change 8000x4000: longest $longest ms"
  echo "summary: scene change 16384x8192: first look $hugeLook ms, full picture $huge ms"
  echo "summary: scene change 16384x8192: player $huge ms (window unanswered at most $unanswered ms)"
  echo "summary: walk through a link 8000x4000: click to last frame $walkLast ms, frames $walkFrames, longest frame gap $walkGap ms"
  echo "summary: window unanswered during a walk 8000x4000: longest $walkUnanswered ms"
  echo "summary: fade 8000x4000: $fadeLast ms, frames $fadeFrames"
  rm -rf "$work"
  [ -z "$xvfb_started" ] || stop_xvfb
}
