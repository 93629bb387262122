#!/usr/bin/env bash
# Builds and runs the benchmarks and ends with one summary table:
#   bench.sh [BENCHMARK ARGUMENTS...]     passed to the engine benchmarks
# 1. The panorama engine (native release build), pinned to one core: the
#    rebuild and the pan shift on one thread against the scalar reference, a
#    warp with per-pixel trigonometry, a plain copy through the maps and
#    OpenCV's cv::remap (the baseline; installed first).
# 2. The same engine unpinned: the rebuild and the pan shift on one thread
#    against all the engine's threads, timed by the clock.
# 3. Scene changes under Wine (win build): JPEG panoramas of 2000x1000,
#    4000x2000 and 8000x4000 made with ImageMagick, shown phase by phase as
#    the player shows them.
# 4. JPEG decoding under Wine (win build): the 4000x2000 and 8000x4000
#    pictures with restart markers every 3 MCU rows (jpegtran; tourpack
#    stores its JPEGs alike), the platform's picture service against the
#    player's own decoder on one thread and on every core, at full size and
#    at an eighth.
# 5. The real player under Wine with a tour of those panoramas, watched from
#    another process (bench/scene_change_probe.cpp): how long a scene change
#    takes until the view shows the new scene and settles, against the
#    platform picture service alone on the same file; how soon a scene
#    decoded ahead shows; the longest time the window leaves WM_NULL, sent
#    every 10 ms, unanswered during a scene change; the peak working set
#    after stepping through a tour of 8000x4000 scenes.
# Every figure is the median of 5 repetitions. LUMIVUE_BENCH_BUILD and
# LUMIVUE_BENCH_WIN_BUILD name other build folders than build/native and
# build/win; LUMIVUE_BENCH_SCENES=0 leaves out the scene changes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${LUMIVUE_BENCH_BUILD:-$root/build/native}
winbuild=${LUMIVUE_BENCH_WIN_BUILD:-$root/build/win}
scenes=${LUMIVUE_BENCH_SCENES:-1}
repetitions=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)

"$here/setup.sh" --with bench
cmake --preset native -S "$root" -B "$build" -DLUMIVUE_TESTS=OFF >/dev/null
cmake --build "$build" --target engine_bench smooth_bench -j2
if [ "$scenes" != 0 ]; then
  cmake --preset win -S "$root" -B "$winbuild" >/dev/null
  cmake --build "$winbuild" --target scene_change_bench jpeg_decode_bench scene_change_probe player \
    tourpack lumivue_lang_en -j2
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT

pin=()
if command -v taskset >/dev/null 2>&1; then
  pin=(taskset -c 0)
fi
echo "== One core: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"${pin[@]}" "$build/bin/engine_bench" --benchmark_filter='-threads/' "${repetitions[@]}" "$@" |
  tee -a "$log"
echo "== Every core: load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bin/engine_bench" --benchmark_filter='threads/' --benchmark_enable_random_interleaving=true \
  "${repetitions[@]}" "$@" | tee -a "$log"

echo "== Smooth sampling against nearest, every core: load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bin/smooth_bench" --benchmark_enable_random_interleaving=true "${repetitions[@]}" | tee -a "$log"

if [ "$scenes" != 0 ]; then
  pictures=$winbuild/bench-pictures
  mkdir -p "$pictures"
  files=()
  marked=()
  for size in 2000x1000 4000x2000 8000x4000; do
    file=$pictures/$size.jpg
    # Smooth noise compresses about as a photograph does (near 3 bits a pixel).
    if [ ! -f "$file" ]; then
      width=${size%x*}
      height=${size#*x}
      /usr/bin/convert -size $((width / 10))x$((height / 10)) xc: +noise Random -resize "$size!" \
        -quality 90 "$file"
    fi
    # Wine reads Linux paths through its Z: drive.
    files+=("Z:${file//\//\\}")
    [ "$size" = 2000x1000 ] && continue
    file=$pictures/$size-restart.jpg
    [ -f "$file" ] || jpegtran -optimize -restart 3 "$pictures/$size.jpg" >"$file"
    marked+=("Z:${file//\//\\}")
  done
  # The marked pictures decode in bands on every core, as the tours' do: their
  # phases are a scene change's floor.
  echo "== Scene changes under Wine: load average $(cut -d' ' -f1-3 /proc/loadavg)"
  "$here/wine-run.sh" --prefix "$winbuild/wineprefix" "$winbuild/bin/scene_change_bench.exe" \
    --repetitions 5 "${files[@]}" "${marked[@]}" | tr -d '\r' | tee -a "$log"

  echo "== JPEG decoding under Wine: load average $(cut -d' ' -f1-3 /proc/loadavg)"
  "$here/wine-run.sh" --prefix "$winbuild/wineprefix" "$winbuild/bin/jpeg_decode_bench.exe" \
    --repetitions 5 "${marked[@]}" | tr -d '\r' | tee -a "$log"
fi

if [ "$scenes" != 0 ]; then
  source "$here/bench-player.sh"
  echo "== The player's scene changes under Wine: load average $(cut -d' ' -f1-3 /proc/loadavg)"
  phases_log=$log bench_player_scene_changes | tee -a "$log"
fi

echo
echo "== Summary (medians of 5; load average $(cut -d' ' -f1-3 /proc/loadavg))"
for goal in rebuild pan view pyramid scene jpeg next window walk fade; do
  sed -n "s/^summary: \($goal .*\)/\1/p" "$log"
done
