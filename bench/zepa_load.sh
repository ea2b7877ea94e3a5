#!/usr/bin/env bash
# Load check of the embedded HTTPS web server library: wrk sends many
# concurrent HTTPS requests on the loopback address to the test extension
# (pages, files, the library's home page, and pages answered through client
# requests to the same server), and the server's resident memory is sampled
# after each round. Prints one line per round and a summary; exits 1 when a
# request failed or memory kept growing.
#
#   bench/zepa_load.sh [SECONDS-PER-ROUND] [CONNECTIONS] [ROUNDS]
#
# Everything is bounded: each wrk run lasts SECONDS-PER-ROUND (default 10),
# the memory rounds are ROUNDS (default 6), and the server is stopped on exit.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SECONDS_PER_ROUND=${1:-10}
CONNECTIONS=${2:-64}
ROUNDS=${3:-6}
PORT=${ZEPA_BENCH_PORT:-14950}
BUILD=build/bench

scripts/install-deps.sh >/dev/null
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD" --target zepa-test-server -j 2 >/dev/null

WORK=$(mktemp -d /tmp/zepa-bench.XXXXXX)
SERVER_PID=""
cleanup() {
  if [ -n "$SERVER_PID" ]; then kill "$SERVER_PID" 2>/dev/null || true; wait "$SERVER_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/KORZEPA" "$WORK/agent"
printf '<HTML><BODY>KOR root page</BODY></HTML>' >"$WORK/KORZEPA/default.htm"
head -c 2048 /dev/zero | tr '\0' 'x' >"$WORK/KORZEPA/style.css"
head -c 65536 /dev/urandom >"$WORK/KORZEPA/picture.gif"

"$BUILD/tests/integration/zepa/zepa-test-server" --port "$PORT" --address 127.0.0.1 \
  --event-log "$WORK/events.jsonl" --max-connections 2048 --max-per-address 2048 \
  "$WORK/KORZEPD" "$WORK/KORZEPA" "$WORK/agent" >"$WORK/server.out" 2>&1 &
SERVER_PID=$!
for _ in $(seq 1 100); do
  curl -sk -o /dev/null "https://127.0.0.1:$PORT/" && break
  sleep 0.1
done
curl -sk -o /dev/null "https://127.0.0.1:$PORT/" || { echo "the server did not start"; cat "$WORK/server.out"; exit 1; }

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$SERVER_PID/status"; }
threads() { awk '/^Threads:/ {print $2}' "/proc/$SERVER_PID/status"; }

failures=0
# One wrk run; prints "requests/s total errors latency-p99".
run_wrk() {
  local url=$1 conns=$2 secs=$3 out
  out=$(wrk -t 2 -c "$conns" -d "${secs}s" --timeout 10s --latency "$url" 2>&1)
  local rps total non2xx sockerr p99
  rps=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
  total=$(awk '/requests in/ {print $1}' <<<"$out")
  non2xx=$(awk '/Non-2xx or 3xx responses:/ {print $5}' <<<"$out")
  sockerr=$(awk '/Socket errors:/ {gsub(",", ""); print $4 + $6 + $8 + $10}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  local errors=$(( ${non2xx:-0} + ${sockerr:-0} ))
  if [ "$errors" -ne 0 ] || [ -z "$total" ] || [ "$total" -eq 0 ]; then failures=$((failures + 1)); fi
  echo "$rps $total $errors $p99"
}

BASE="https://127.0.0.1:$PORT"
echo "wrk: 2 threads, $CONNECTIONS connections, ${SECONDS_PER_ROUND}s per run, server on 127.0.0.1:$PORT"
echo "start: RSS $(rss_kib) KiB, $(threads) threads"
printf '%-32s %10s %10s %7s %9s %10s\n' "page" "req/s" "requests" "errors" "p99" "RSS KiB"
for path in /KOR/rights /KOR/style.css /KOR/picture.gif / "/KOR/fetch/status.html?device=tc01&addr=10.1.2.3"; do
  conns=$CONNECTIONS
  # A page answered through a client request holds two connections' worth
  # of workers; half the connections keep the test about the server.
  case $path in /KOR/fetch*) conns=$((CONNECTIONS / 2)) ;; esac
  read -r rps total errors p99 < <(run_wrk "$BASE$path" "$conns" "$SECONDS_PER_ROUND")
  printf '%-32s %10s %10s %7s %9s %10s\n' "${path:0:32}" "$rps" "$total" "$errors" "$p99" "$(rss_kib)"
done

echo "memory rounds on /KOR/rights and /KOR/picture.gif:"
declare -a samples
for round in $(seq 1 "$ROUNDS"); do
  run_wrk "$BASE/KOR/rights" "$CONNECTIONS" "$SECONDS_PER_ROUND" >/dev/null
  run_wrk "$BASE/KOR/picture.gif" "$CONNECTIONS" "$SECONDS_PER_ROUND" >/dev/null
  samples[$round]=$(rss_kib)
  echo "  round $round: RSS ${samples[$round]} KiB, $(threads) threads"
done

# Flat memory: after the first round (pools and caches warmed up) the
# resident size grows by less than 10 % over the remaining rounds.
first=${samples[1]}
last=${samples[$ROUNDS]}
growth=$(( (last - first) * 100 / first ))
echo "RSS after round 1: $first KiB, after round $ROUNDS: $last KiB (growth ${growth} %)"
ok=1
if [ "$failures" -ne 0 ]; then echo "FAILED: $failures run(s) had errors"; ok=0; fi
if [ "$growth" -ge 10 ]; then echo "FAILED: memory kept growing"; ok=0; fi
[ "$ok" -eq 1 ] && echo "all requests answered, memory flat"
[ "$ok" -eq 1 ]
