#!/usr/bin/env bash
# The alert latency benchmark: Debian's prometheus-alertmanager on a free
# loopback port (no receiver; the figure ends where Alertmanager holds the
# alert, before its group wait), and bench/alert_latency_bench.cpp pushing
# SAMPLES new alarms to it (default 200), each told as a status change.
# Prints p50, p99 and max of the latency and the ratio it is judged by (p99
# against the 1 s goal, <= 1). MODE "periodic" measures without the poke
# (the alarm waits for the pusher's next look); MODE "silent" lists a
# second Alertmanager first that takes connections and never answers.
#
#   bench/alert_latency.sh [SAMPLES] [MODE]
#
# BUILD names the build folder (default build/bench, configured here;
# BENCH_NO_BUILD=1 takes it as it is).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${BUILD:-build/bench}
SAMPLES=${1:-200}
MODE=${2:-}

if [ -z "${BENCH_NO_BUILD:-}" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_BUILD_TESTS=OFF \
    -DKOR_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$BUILD" --target kor_alert_latency_bench -j 2 >/dev/null
fi
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac

WORK=$(mktemp -d /tmp/kor-alert-latency.XXXXXX)
AM_PID=
SILENT_PID=
cleanup() {
  for pid in $AM_PID $SILENT_PID; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$WORK/alertmanager.yml" <<'YAML'
route:
  receiver: none
receivers:
  - name: none
YAML
prometheus-alertmanager --config.file="$WORK/alertmanager.yml" --storage.path="$WORK/data" \
  --web.listen-address="127.0.0.1:$PORT" --cluster.listen-address= >"$WORK/alertmanager.log" 2>&1 &
AM_PID=$!
for _ in $(seq 300); do
  curl -sf "http://127.0.0.1:$PORT/-/ready" >/dev/null && break
  sleep 0.1
done
SILENT=()
if [ "$MODE" = silent ]; then
  # A port that takes connections into its backlog and never answers.
  python3 -c 'import socket, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(64)
print(s.getsockname()[1], flush=True); time.sleep(86400)' >"$WORK/silent.port" &
  SILENT_PID=$!
  until [ -s "$WORK/silent.port" ]; do sleep 0.1; done
  SILENT=("http://127.0.0.1:$(cat "$WORK/silent.port")")
fi
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $(prometheus-alertmanager --version 2>&1 | head -1)"
"$BUILD/bench/kor_alert_latency_bench" "http://127.0.0.1:$PORT" "$SAMPLES" $MODE "${SILENT[@]}"
