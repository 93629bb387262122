#!/usr/bin/env bash
# Builds and runs the panorama engine's benchmarks (native release build):
#   bench.sh [BENCHMARK ARGUMENTS...]     for example --benchmark_filter=1920x1080
# Installs the benchmark packages first (OpenCV, the cv::remap baseline), then
# configures and builds the "native" preset and runs the benchmarks pinned to
# one core. LUMIVUE_BENCH_BUILD names another build folder than build/native.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${LUMIVUE_BENCH_BUILD:-$root/build/native}

"$here/setup.sh" --with bench
cmake --preset native -S "$root" -B "$build" -DLUMIVUE_TESTS=OFF >/dev/null
cmake --build "$build" --target engine_bench -j2

pin=()
if command -v taskset >/dev/null 2>&1; then
  pin=(taskset -c 0)
fi
exec "${pin[@]}" "$build/bin/engine_bench" "$@"
