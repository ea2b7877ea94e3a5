#!/usr/bin/env bash
# Runs every libFuzzer target (the fuzz preset: clang 14, ASan + UBSan) for a
# given number of executions, one target after another, and prints per
# target: executions, coverage (edges and features), crashes, seconds and
# executions per second. Exits 1 when any target crashed or did not run.
#
#   bench/fuzz.sh [RUNS] [TARGET...]       RUNS default 10000000
#   bench/fuzz.sh --seconds N [TARGET...]  each target N seconds instead
#
# Each target starts from its committed seed corpus (fuzz/corpus/<target>)
# copied to a scratch folder, so the committed corpora stay small; a crash
# leaves its input in build/fuzz/crashes/. The targets run one at a time, so
# the figures of one are not slowed by another.
set -uo pipefail
cd "$(dirname "$0")/.."

LIMIT=(-runs=10000000)
RUNS_TEXT=10000000
if [ "${1:-}" = "--seconds" ]; then
  LIMIT=(-max_total_time="${2:?seconds}")
  RUNS_TEXT="${2}s"
  shift 2
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  LIMIT=(-runs="$1")
  RUNS_TEXT=$1
  shift
fi

cmake --preset fuzz >/dev/null || { echo "configure of the fuzz preset failed"; exit 1; }
cmake --build --preset fuzz -j "${KOR_JOBS:-2}" >/dev/null || { echo "build of the fuzz targets failed"; exit 1; }

BUILD=build/fuzz/fuzz
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  for f in "$BUILD"/*_fuzzer; do TARGETS+=("$(basename "${f%_fuzzer}")"); done
fi

mkdir -p build/fuzz/crashes
SCRATCH=$(mktemp -d /tmp/kor-fuzz-run.XXXXXX)
trap 'rm -rf "$SCRATCH"' EXIT

# The file-reading targets write every input to a file: on tmpfs that costs
# no disk I/O.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# ASan's leak check runs at the end; UBSan findings are crashes.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
printf '%-16s %12s %8s %8s %8s %9s %10s\n' target executions edges features crashes seconds execs/s
for t in "${TARGETS[@]}"; do
  bin="$BUILD/${t}_fuzzer"
  if [ ! -x "$bin" ]; then
    printf '%-16s not built\n' "$t"; status=1; continue
  fi
  corpus="$SCRATCH/$t"
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/"
  log="$SCRATCH/$t.log"
  start=$(date +%s.%N)
  "$bin" "${LIMIT[@]}" -print_final_stats=1 -artifact_prefix="$SCRATCH/$t-" -report_slow_units=600 \
    -close_fd_mask=3 "$corpus" >"$log" 2>&1
  rc=$?
  end=$(date +%s.%N)
  execs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+')
  ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+')
  # Crashes, leaks, time-outs and out-of-memory inputs; a slow input on a
  # busy machine is not a finding.
  found=$(ls "$SCRATCH/$t"-crash-* "$SCRATCH/$t"-leak-* "$SCRATCH/$t"-timeout-* "$SCRATCH/$t"-oom-* 2>/dev/null)
  crashes=$(printf '%s' "$found" | grep -c . || true)
  [ "$crashes" -gt 0 ] && cp $found build/fuzz/crashes/
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.1f", b-a}')
  rate=$(awk -v n="${execs:-0}" -v s="$secs" 'BEGIN{ if (s > 0) printf "%.0f", n/s; else print 0 }')
  if [ "$rc" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  printf '%-16s %12s %8s %8s %8s %9s %10s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$crashes" "$secs" "$rate"
  if [ "$rc" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    status=1
    grep -m 5 -E 'ERROR|runtime error|SUMMARY' "$log" | sed 's/^/    /'
  fi
done
echo "runs per target: $RUNS_TEXT"
exit $status
