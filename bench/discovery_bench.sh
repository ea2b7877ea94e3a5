#!/usr/bin/env bash
# The discovery benchmark: a /24 (127.0.8.0/24) of simulated devices
# (simulator/start.sh --range), DEVICES of them answering (default 20) and
# the rest silent, swept once as a discovery run sweeps it
# (bench/discovery_bench.cpp). Prints Google Benchmark's figures, then the
# ratio it is judged by (the run's time against one silent device's
# time-out, goal <= 1.5) and the most requests in one second against
# KORAGENT_DISCOVERY_RATE (RATE, default 50).
#
#   bench/discovery_bench.sh [DEVICES] [RATE]
#
# It binds UDP port 11171 on the range's addresses: run it where nothing else
# uses them (a network namespace of its own). BUILD names the build folder
# (default build/bench, configured here; BENCH_NO_BUILD=1 takes it as it is).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${BUILD:-build/bench}
DEVICES=${1:-20}
RATE=${2:-50}
RANGE=127.0.8.0/24
PORT=11171

if [ -z "${BENCH_NO_BUILD:-}" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_BUILD_TESTS=OFF \
    -DKOR_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$BUILD" --target kor_discovery_bench famib smlib -j 2 >/dev/null
fi
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac

WORK=$(mktemp -d /tmp/kor-discovery-bench.XXXXXX)
chmod 0755 "$WORK"
cleanup() {
  "$ROOT/simulator/stop.sh" --run-dir "$WORK/sim" >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/program/devices"
for file in famib.so famib.cfg smlib.so smlib.cfg supported.txt; do
  cp "$BUILD/devices/$file" "$WORK/program/devices/"
done
"$ROOT/simulator/start.sh" --run-dir "$WORK/sim" --port "$PORT" --range "$RANGE" --devices "$DEVICES" >/dev/null
echo "machine: $(nproc) cores, $(uname -sr); $DEVICES devices answering in $RANGE, the rest silent"
cd "$WORK/program"
KORAGENT_SNMP_PORT=$PORT KORAGENT_DISCOVERY_RATE=$RATE "$BUILD/bench/kor_discovery_bench" "$RANGE"
