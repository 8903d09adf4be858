#!/usr/bin/env bash
# Runs every benchmark of a build (default build/release) and the idle measure, then prints
# one table: benchmark, figure, target, met? The raw results (Google Benchmark JSON and text,
# the idle measure's output) stay in BUILD/bench-results. Exits non-zero when a target is missed
# or a benchmark fails.
#
#   tools/run-benchmarks.sh [BUILD_DIR]      IDLE_SECONDS=60 by default
#
# The poll benchmarks compare the program with the floor in the same run; their absolute
# figures, and the p99s above all, follow the machine's load.
set -euo pipefail
build=${1:-build/release}
src=$(cd "$(dirname "$0")/.." && pwd)
out=$build/bench-results
rm -rf "$out"
mkdir -p "$out"
export TARNWELL_SOURCE_DIR=$src QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

benches=(dispatch_bench grid_refresh_bench poll_roundtrip_bench sim_to_panel_bench
  list_load_bench startup_bench media_bench)
for b in "${benches[@]}"; do
  echo "running $b" >&2
  "$build/bench/$b" --benchmark_counters_tabular=true --benchmark_out="$out/$b.json" \
    --benchmark_out_format=json >"$out/$b.txt" 2>&1 || echo "  $b failed (see $out/$b.txt)" >&2
done
echo "running tools/measure-idle.sh (${IDLE_SECONDS:-60} s)" >&2
"$src/tools/measure-idle.sh" "$build" "${IDLE_SECONDS:-60}" >"$out/idle.txt" 2>&1 ||
  echo "  measure-idle failed (see $out/idle.txt)" >&2

echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1);" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$src/tools/bench-table.py" "$out"
