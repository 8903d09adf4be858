#!/usr/bin/env bash
# Runs every benchmark of a build (default build/release) and prints their tables.
set -euo pipefail
build=${1:-build/release}
for b in dispatch_bench grid_refresh_bench poll_roundtrip_bench media_bench; do
  echo "== $b"
  QT_QPA_PLATFORM=offscreen "$build/bench/$b" --benchmark_counters_tabular=true
done
