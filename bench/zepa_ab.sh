#!/usr/bin/env bash
# Interleaved comparison of two builds of zepa-test-server (e.g. before and
# after a change to the web server library): both run side by side on the
# loopback address, and short wrk runs alternate between them, so that both
# meet the same load from the rest of a shared machine. Prints the requests
# per second and errors of each run for the extension page and the 2 KB file
# at 64 and 256 connections. Run it in a private network namespace
# (ports 14960 and 14961). Both builds must take the endpoint on their
# command line (--port, --address), as zepa-test-server does.
#
#   bench/zepa_ab.sh OLD-ZEPA-TEST-SERVER NEW-ZEPA-TEST-SERVER [SECONDS] [REPEATS]
set -u
OLD=${1:?usage: zepa_ab.sh OLD-ZEPA-TEST-SERVER NEW-ZEPA-TEST-SERVER [SECONDS] [REPEATS]}
NEW=${2:?usage: zepa_ab.sh OLD-ZEPA-TEST-SERVER NEW-ZEPA-TEST-SERVER [SECONDS] [REPEATS]}
W=$(mktemp -d /tmp/zepa-ab.XXXXXX)
trap 'kill $P1 $P2 2>/dev/null; rm -rf "$W"' EXIT
P1=""; P2=""
for s in old new; do
  mkdir -p $W/$s/KORZEPA $W/$s/agent
  printf '<HTML><BODY>KOR root page</BODY></HTML>' >$W/$s/KORZEPA/default.htm
  head -c 2048 /dev/zero | tr '\0' 'x' >$W/$s/KORZEPA/style.css
done
$OLD --port 14960 --address 127.0.0.1 --event-log $W/old.jsonl $W/old/KORZEPD $W/old/KORZEPA $W/old/agent >/dev/null 2>&1 &
P1=$!
$NEW --port 14961 --address 127.0.0.1 --event-log $W/new.jsonl --max-connections 2048 --max-per-address 2048 $W/new/KORZEPD $W/new/KORZEPA $W/new/agent >/dev/null 2>&1 &
P2=$!
sleep 2
SECS=${3:-5}; REPS=${4:-3}
printf '%-6s %-5s %-16s %s\n' server conns page "req/s (each run) errors"
for conns in 64 256; do
  for path in /KOR/rights /KOR/style.css; do
    for s in old new; do eval "R_$s=''"; done
    for rep in $(seq 1 $REPS); do
      for s in old new; do
        port=14960; [ $s = new ] && port=14961
        out=$(wrk -t 2 -c $conns -d ${SECS}s --timeout 10s https://127.0.0.1:$port$path 2>&1)
        rps=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
        err=$(awk '/Non-2xx/ {n+=$5} /Socket errors/ {gsub(",",""); n+=$4+$6+$8+$10} END {print n+0}' <<<"$out")
        eval "R_$s=\"\$R_$s $rps/$err\""
      done
    done
    for s in old new; do eval "printf '%-6s %-5s %-16s %s\n' $s $conns $path \"\$R_$s\""; done
  done
done
echo "load: $(cat /proc/loadavg)"
