#!/usr/bin/env bash
# Stops the simulator started by start.sh with the same --run-dir.
#   simulator/stop.sh [--run-dir DIR]
set -uo pipefail
RUN_DIR=/tmp/kor-simulator
while [ $# -gt 0 ]; do
  case "$1" in
    --run-dir) RUN_DIR=$2; shift 2 ;;
    *) echo "stop.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
pidfile="$RUN_DIR/snmpsimd.pid"
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
# Only the simulator this run directory started: the pid must still be snmpsimd.
if kill -0 "$pid" 2>/dev/null && tr '\0' ' ' < "/proc/$pid/cmdline" | grep -q snmpsimd; then
  kill "$pid"
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
fi
rm -f "$pidfile"
exit 0
