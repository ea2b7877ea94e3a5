#!/usr/bin/env bash
# Builds and runs every test suite:
#   - unit and integration tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   - the tests of threaded code under ThreadSanitizer
#   - every fuzz target for a few seconds (clang 14, libFuzzer, ASan + UBSan)
#   - the browser tests (e2e), when there are any
# and builds the release Debian package that the package test examines.
# Installs what it needs first. Ends with one line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/install-deps.sh || exit 1

JOBS=${KOR_JOBS:-$(nproc)}

# Compiles through ccache: a later run of this command, from this tree or
# another clone on the machine, compiles only what changed. Paths are taken
# relative to the tree, so clones in other folders share the cache.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT}
  export CCACHE_NOHASHDIR=1
fi
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

echo "=== Release build and its Debian package (read by the package test)"
if build release && (cd build/release && rm -f koragent_*.deb && cpack -G DEB >/dev/null); then
  KOR_DEB=$(ls "$ROOT"/build/release/koragent_*.deb)
  export KOR_DEB
  echo "package: $KOR_DEB"
else
  echo "release package failed"; status=1; total_fail=$((total_fail + 1))
fi

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

echo "=== Fuzz targets: a few seconds each over its seed corpus"
if build fuzz; then
  fuzz_scratch=$(mktemp -d /tmp/kor-fuzz-test.XXXXXX)
  for bin in build/fuzz/fuzz/*_fuzzer; do
    name=$(basename "${bin%_fuzzer}")
    mkdir -p "$fuzz_scratch/$name"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$fuzz_scratch/$name/"
    if TMPDIR=/dev/shm ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$bin" -max_total_time="${KOR_FUZZ_SECONDS:-3}" -close_fd_mask=3 \
        -artifact_prefix="$fuzz_scratch/$name-" -report_slow_units=600 "$fuzz_scratch/$name" >"$fuzz_scratch/$name.log" 2>&1; then
      echo "fuzz $name: passed ($(grep -oE '#[0-9]+' "$fuzz_scratch/$name.log" | tail -1 | tr -d '#') executions)"
      total_pass=$((total_pass + 1))
    else
      echo "fuzz $name: FAILED"
      grep -m 10 -E 'ERROR|runtime error|SUMMARY|Test unit written' "$fuzz_scratch/$name.log"
      total_fail=$((total_fail + 1)); status=1
    fi
  done
  rm -rf "$fuzz_scratch"
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
