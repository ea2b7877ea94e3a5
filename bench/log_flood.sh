#!/usr/bin/env bash
# A flood of refused credentials against a running KORAgent, as an
# anonymous party on the management network can send it: REQUESTS requests
# (default 24,000) for /KOR/metrics with a wrong bearer token or a malformed
# basic header by turns, over 4 kept-alive connections
# (tests/integration/zepa/hostile_client.py). The event-log file starts with
# five status changes logged before the flood. Prints the requests per
# second, how much the event-log files grew (the ratio judged: under 10 KB),
# and what events.json?kind=status answers after the flood (judged: all five
# earlier status changes, "complete": true).
#
#   bench/log_flood.sh [REQUESTS]
#
# KORAGENT names the agent program to measure (default: build/asan/KORAgent
# of this tree, built here when missing), so a build of an older version can
# be measured the same way.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
REQUESTS=${1:-24000}
AGENT=${KORAGENT:-$ROOT/build/asan/agent/service/KORAgent}
if [ ! -x "$AGENT" ]; then
  cmake --build build/asan --target KORAgent -j 2 >/dev/null
fi
. bench/agent_process.sh

WORK=$(mktemp -d /tmp/kor-log-flood.XXXXXX)
trap 'stop_agent; rm -rf "$WORK"' EXIT
LOG=$WORK/events.jsonl
for i in 0 1 2 3 4; do
  printf '{"time":"2026-01-01T10:00:0%d.000Z","source":"KORAgent","event_type":2,"category":1,"event_id":2147483653,"text":"WARNING: tc0%d (10.0.0.%d): OK \u2192 Failed","data":""}\n' "$i" "$i" "$i" >>"$LOG"
done

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "agent: $AGENT"
start_agent "$WORK" "$AGENT" KORAGENT_EVENT_LOG="$LOG"
PORT=${URL##*:}

log_bytes() { cat "$LOG"* 2>/dev/null | wc -c; }
before=$(log_bytes)
python3 tests/integration/zepa/hostile_client.py refused 127.0.0.1 "$PORT" 127.0.0.3 "$REQUESTS" 4 /KOR/metrics
after=$(log_bytes)
growth=$((after - before))
echo "event log grew by $growth bytes for $REQUESTS refused requests ($(awk "BEGIN {printf \"%.1f\", $growth / $REQUESTS}") bytes a request; goal: under 10240 in all)"

JAR=$WORK/jar
sign_in "$JAR"
answer=$(curl -sk -b "$JAR" "$URL/KOR/events.json?kind=status")
python3 - "$answer" <<'EOF'
import json, sys
answer = json.loads(sys.argv[1])
earlier = [e for e in answer["events"] if e["text"].endswith("OK \u2192 Failed") and e["element"].startswith("tc0")]
print("events.json?kind=status after the flood: total=%d complete=%s earlier status changes listed=%d of 5"
      % (answer["total"], str(answer["complete"]).lower(), len(earlier)))
EOF
