#!/usr/bin/env bash
# Memory of the events console's CSV export: a running KORAgent whose
# event-log file holds MEGABYTES (default 4) of entries older than its ring,
# and CONCURRENT (default 32) signed-in exports of every event at once
# (/KOR/events.csv). Prints the rows and bytes of one export, the agent's
# resident memory before, and its peak (VmHWM) during the exports: the
# ratio judged is the peak growth per concurrent export, which must not
# follow the export's size.
#
#   bench/csv_export.sh [CONCURRENT] [MEGABYTES]
#
# KORAGENT names the agent program to measure (default: build/asan's of this
# tree, built here when missing), so a build of an older version can be
# measured the same way. The entries are written by kor-log-writer of this
# tree (the agent's own event log code).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
CONCURRENT=${1:-32}
MEGABYTES=${2:-4}
AGENT=${KORAGENT:-$ROOT/build/asan/agent/service/KORAgent}
WRITER=$ROOT/build/asan/tests/integration/web/kor-log-writer
if [ ! -x "$AGENT" ] || [ ! -x "$WRITER" ]; then
  cmake --build build/asan --target KORAgent kor-log-writer -j 2 >/dev/null
fi
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

WORK=$(mktemp -d /tmp/kor-csv.XXXXXX)
AGENT_PID=""
cleanup() {
  if [ -n "$AGENT_PID" ]; then kill "$AGENT_PID" 2>/dev/null || true; wait "$AGENT_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/KOR"
ln -s "$AGENT" "$WORK/KORAgent"
printf 'ORLA KOR Agent\n%s\nKORAgent\nBench\n.1.3.6.1.4.1.4413\n' "$WORK/KOR" >"$WORK/KORAgent.cfg"
echo 300 >"$WORK/KOR/storage.ini"
LOG=$WORK/events.jsonl
# Entries from before this start, in one file (a bound large enough for no rotation).
KORAGENT_EVENT_LOG=$LOG KORAGENT_EVENT_LOG_MAX_SIZE=1G "$WRITER" 0 1 >/dev/null &
writer=$!
while [ "$(stat -c %s "$LOG" 2>/dev/null || echo 0)" -lt $((MEGABYTES << 20)) ]; do sleep 0.05; done
kill "$writer"; wait "$writer" 2>/dev/null || true

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "agent: $AGENT"
(cd / && KORAGENT_HTTPS_PORT=$PORT KORAGENT_HTTPS_ADDRESS=127.0.0.1 KORAGENT_TRAP_LISTEN=udp:127.0.0.1:0 \
  KORAGENT_EVENT_LOG=$LOG KORAGENT_EVENT_LOG_MAX_SIZE=1G exec "$WORK/KORAgent" >"$WORK/agent.out" 2>&1) &
AGENT_PID=$!
URL=https://127.0.0.1:$PORT
for _ in $(seq 1 300); do
  if curl -sk -o /dev/null "$URL/KOR/about.htm" 2>/dev/null; then break; fi
  sleep 0.1
done
JAR=$WORK/jar
curl -sk -o /dev/null -c "$JAR" -H "Origin: $URL" --data-urlencode user=administrator \
  --data-urlencode "password=$(head -n1 "$WORK/KORZEPD/administrator-password.txt")" --data-urlencode return=/KOR/ \
  "$URL/zepa/login"
curl -sk -b "$JAR" -o "$WORK/one.csv" "$URL/KOR/events.csv"
echo "log: $(stat -c %s "$LOG") bytes; one export: $(($(wc -l <"$WORK/one.csv") - 1)) rows, $(stat -c %s "$WORK/one.csv") bytes"
rss() { awk "/^$1:/ {print \$2}" "/proc/$AGENT_PID/status"; }
before=$(rss VmRSS)
for i in $(seq 1 "$CONCURRENT"); do
  curl -sk -b "$JAR" -o "$WORK/export-$i.csv" "$URL/KOR/events.csv" &
done
wait $(jobs -p | grep -v "^$AGENT_PID$") 2>/dev/null || true
peak=$(rss VmHWM)
same=$(for i in $(seq 1 "$CONCURRENT"); do cmp -s "$WORK/one.csv" "$WORK/export-$i.csv" && echo ok; done | wc -l)
echo "$CONCURRENT exports at once: resident $((before / 1024)) MiB before, peak $((peak / 1024)) MiB;" \
  "growth $(((peak - before) / CONCURRENT)) KiB per export; $same of $CONCURRENT exports complete and alike"
