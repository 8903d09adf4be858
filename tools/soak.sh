#!/usr/bin/env bash
# Long soak and hangup runs of the real window against the virtual panel (tests/soak).
#
#   tools/soak.sh                       # soak for an hour, then 1000 hangup cycles
#   tools/soak.sh --seconds 600         # soak only, ten minutes
#   tools/soak.sh --hangups 1000        # hangup cycles only
#   tools/soak.sh --preset tsan --seconds 600 --seed 42
#
# Builds the test if needed (preset debug into build/debug unless --build-dir says otherwise)
# and prints the figures the runs measure. Sanitizer presets get the environment their test
# presets set.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=debug
build_dir=""
seconds=""
hangups=""
seed=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --hangups) hangups="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    --preset) preset="$2"; shift 2 ;;
    --build-dir) build_dir="$2"; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
if [ -z "$seconds" ] && [ -z "$hangups" ]; then
  seconds=3600
  hangups=1000
fi
build_dir="${build_dir:-build/$preset}"

[ -f "$build_dir/build.ninja" ] || cmake --preset "$preset" -B "$build_dir"
cmake --build "$build_dir" -j2 --target soak_test

case "$preset" in
  asan)
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
  tsan)
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp" ;;
esac

filters=()
[ -n "$seconds" ] && filters+=("Soak.MixedTrafficWithReloadsAndPortReopens")
[ -n "$hangups" ] && filters+=("Soak.HangupInAHandshakeThenReopen")
export GTEST_FILTER
GTEST_FILTER=$(IFS=:; echo "${filters[*]}")
export TARNWELL_SOAK_SECONDS="${seconds:-15}"
export TARNWELL_SOAK_HANGUPS="${hangups:-5}"
[ -n "$seed" ] && export TARNWELL_SOAK_SEED="$seed"

# ctest lays out the work directory (Data/, examples/) and runs the test there; its own time
# limit is lifted to cover the run plus the watchdog's margin.
limit=$(( ${seconds:-0} + ${hangups:-0} * 10 + 600 ))
log="$build_dir/soak.log"
status=0
ctest --test-dir "$build_dir" -R '^(prepare_workdirs|soak_test)$' -V --timeout "$limit" \
  > "$log" 2>&1 || status=$?
# The figures, without the audio libraries' complaints about a machine without a sound card.
grep -E '^[0-9]+: (seed|after|soak:|missing|at the end|hangups:|dead port| *[0-9]+ s:|WATCHDOG|.*Failure|\[ +(OK|FAILED|PASSED) +\])' \
  "$log" | sed -E 's/^[0-9]+: //' || true
echo "full log: $log"
exit "$status"
