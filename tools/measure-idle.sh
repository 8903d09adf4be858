#!/usr/bin/env bash
# The idle program: the real tarnwell binary on the offscreen platform with the embedded
# simulator and its port open on a virtual panel that sends nothing. After the port is open and
# a settling pause, samples /proc over SECONDS (default 60): the CPU time used (user + system,
# all threads) as a share of one core, and the resident memory (VmRSS, sampled every second;
# the last and the highest sample). Also lists the threads that used CPU meanwhile.
#
#   tools/measure-idle.sh [BUILD_DIR] [SECONDS]
#
# Prints "key=value" lines (idle_cpu_percent, rss_mb, peak_rss_mb, threads) for the runner,
# then the threads by CPU time.
set -euo pipefail
build=${1:-build/release}
seconds=${2:-60}
settle=5
src=$(cd "$(dirname "$0")/.." && pwd)
tarnwell=$(realpath "$build/tarnwell")
panel=$(realpath "$build/tools/virtual-panel/virtual-panel")

work=$(mktemp -d /tmp/tarnwell-idle.XXXXXX)
panel_pid="" app_pid=""
cleanup() {
  for p in $app_pid $panel_pid; do
    if kill "$p" 2>/dev/null; then wait "$p" 2>/dev/null || true; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The panel waits for the program and then stays silent for the whole measure.
"$panel" --name panel "wait-open 30000" "sleep $(((seconds + settle + 60) * 1000))" \
  >"$work/panel.out" 2>&1 &
panel_pid=$!
for _ in $(seq 100); do
  grep -q '^virtual port' "$work/panel.out" 2>/dev/null && break
  sleep 0.05
done
device=$(sed -n 's/^virtual port .* -> //p' "$work/panel.out")
[ -n "$device" ] || { echo "measure-idle: the virtual panel did not start" >&2; exit 1; }

# Started from the source tree as a user would (Data/ beside it), no simulator settings file:
# the embedded simulator.
(cd "$src" && exec env QT_QPA_PLATFORM=offscreen "$tarnwell" >"$work/app.out" 2>&1) &
app_pid=$!
has_open() {
  local fd
  for fd in "/proc/$app_pid/fd/"*; do
    case $(readlink "$fd" 2>/dev/null) in "$device" | "$device (deleted)") return 0 ;; esac
  done
  return 1
}
opened=0
for _ in $(seq 300); do
  if has_open; then
    opened=1
    break
  fi
  sleep 0.1
done
[ "$opened" = 1 ] || { echo "measure-idle: tarnwell did not open $device" >&2; exit 1; }
sleep "$settle"

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$app_pid/stat"; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$app_pid/status"; }
thread_ticks() {
  for t in /proc/"$app_pid"/task/*; do
    awk -v tid="${t##*/}" '{ n = $0; sub(/^[^(]*\(/, "", n); sub(/\).*$/, "", n);
      sub(/^.*\) /, ""); print tid, $12 + $13, n }' "$t/stat" 2>/dev/null || true
  done
}

thread_ticks >"$work/threads.before"
c0=$(cpu_ticks)
t0=$(date +%s.%N)
peak=0 rss=0
for _ in $(seq "$seconds"); do
  sleep 1
  rss=$(rss_kb)
  [ "$rss" -gt "$peak" ] && peak=$rss
done
c1=$(cpu_ticks)
t1=$(date +%s.%N)
thread_ticks >"$work/threads.after"
tasks=("/proc/$app_pid/task/"*)
nthreads=${#tasks[@]}

awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" -v rss="$rss" \
  -v peak="$peak" -v n="$nthreads" 'BEGIN {
    printf "idle_cpu_percent=%.3f\n", 100 * (c1 - c0) / hz / (t1 - t0)
    printf "rss_mb=%.1f\npeak_rss_mb=%.1f\nthreads=%d\nseconds=%.1f\n", rss / 1024, peak / 1024, n, t1 - t0
  }'
echo "threads by CPU time over the measure (ms):"
awk -v hz="$ticks" 'NR == FNR { before[$1] = $2; next }
  { d = $2 - before[$1]; if (d > 0) printf "  %8.0f  thread %s (%s)\n", 1000 * d / hz, $1, substr($0, index($0, $3)) }' \
  "$work/threads.before" "$work/threads.after" | sort -rn
