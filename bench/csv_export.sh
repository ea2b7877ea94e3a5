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
# measured the same way; it also times one "Older" page past the ring, which
# reads every file. The entries are written by kor-log-writer of this
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
. bench/agent_process.sh

WORK=$(mktemp -d /tmp/kor-csv.XXXXXX)
trap 'stop_agent; rm -rf "$WORK"' EXIT
LOG=$WORK/events.jsonl
# Entries from before this start, in one file (a bound large enough for no rotation).
KORAGENT_EVENT_LOG=$LOG KORAGENT_EVENT_LOG_MAX_SIZE=1G "$WRITER" 0 1 >/dev/null &
writer=$!
while [ "$(stat -c %s "$LOG" 2>/dev/null || echo 0)" -lt $((MEGABYTES << 20)) ]; do sleep 0.05; done
kill "$writer"; wait "$writer" 2>/dev/null || true

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "agent: $AGENT"
start_agent "$WORK" "$AGENT" KORAGENT_EVENT_LOG="$LOG" KORAGENT_EVENT_LOG_MAX_SIZE=1G
JAR=$WORK/jar
sign_in "$JAR"
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
# What an "Older" page past the ring costs: every file read from its end.
older=$(curl -sk -b "$JAR" -o /dev/null -w '%{time_total}' "$URL/KOR/events.json?offset=50&limit=50")
echo "events.json past the ring (the \"Older\" page, the whole log read): $older s"
