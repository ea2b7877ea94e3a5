#!/usr/bin/env bash
# Builds and runs every test suite:
#   - unit and integration tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   - the tests of threaded code under ThreadSanitizer
#   - the browser tests (e2e), when there are any
# Installs what it needs first. Ends with one line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/install-deps.sh || exit 1

JOBS=${KOR_JOBS:-$(nproc)}
total_pass=0
total_fail=0
status=0

run_ctest() {
  local dir=$1; shift
  local log
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local failed total
    failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    total_pass=$((total_pass + total - failed))
    total_fail=$((total_fail + failed))
  elif ! grep -q 'No tests were found' "$log"; then
    total_fail=$((total_fail + 1))
  fi
  [ "$rc" -eq 0 ] || status=1
  rm -f "$log"
}

build() {
  local preset=$1
  cmake --preset "$preset" >/dev/null || { echo "configure of $preset failed"; return 1; }
  cmake --build --preset "$preset" -j "$JOBS" || { echo "build of $preset failed"; return 1; }
}

echo "=== ASan+UBSan build: unit and integration tests"
if build asan; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest build/asan -L 'unit|integration'
else
  status=1; total_fail=$((total_fail + 1))
fi

echo "=== TSan build: threaded tests"
if build tsan; then
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest build/tsan -L threaded
else
  status=1; total_fail=$((total_fail + 1))
fi

if [ -x tests/e2e/run.sh ]; then
  echo "=== Browser tests"
  # Each browser test counts on its own: run.sh ends with "e2e: N passed, N failed".
  log=$(mktemp)
  tests/e2e/run.sh build/asan 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
  if [ -n "$line" ]; then
    total_pass=$((total_pass + $(sed -E 's/^e2e: ([0-9]+) passed.*/\1/' <<<"$line")))
    total_fail=$((total_fail + $(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$line")))
  else
    total_fail=$((total_fail + 1))
  fi
  [ "$rc" -eq 0 ] || status=1
  rm -f "$log"
fi

echo "${total_pass} passed, ${total_fail} failed"
exit $status
