#!/usr/bin/env bash
# Benchmarks of the agent's status passes, trap ingest and scale, in one
# process (bench/agent_bench.cpp) against simulated controllers served by
# snmpsimd on loopback addresses. Each prints its figures and the ratio it is
# judged by.
#
#   bench/agent_bench.sh pass  [SILENT...]   20 controllers, of which 0, 1 and 5
#                                            (or the counts given) fall silent:
#                                            pass time / slowest single poll
#   bench/agent_bench.sh traps               10 elements (1 silent): zero-loss
#                                            rate of snmptrapd and the agent,
#                                            bursts at 2x and 10x
#   bench/agent_bench.sh scale [COUNT]       1000 elements (or COUNT): load,
#                                            memory, idle CPU, pass
#
# It binds fixed loopback ports (11161-11163) and addresses 127.0.40.0/22:
# run it where nothing else uses them (a network namespace of its own).
# BUILD names the build folder (default build/bench, configured here from
# SOURCE, default this checkout: another tree's agent can be measured the
# same way).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${BUILD:-build/bench}
SOURCE=${SOURCE:-$ROOT}
SNMP_PORT=11161
TRAP_PORT=11162
TRAPD_PORT=11163

if [ ! -x "$BUILD/bench/kor_bench" ] || [ -z "${BENCH_NO_BUILD:-}" ]; then
  cmake -S "$SOURCE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_BUILD_TESTS=OFF \
    -DKOR_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$BUILD" --target kor_bench famib -j 2 >/dev/null
fi
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
BENCH=$BUILD/bench/kor_bench
PLUGIN=$(find "$BUILD" -name famib.so -print -quit)

WORK=$(mktemp -d /tmp/kor-bench.XXXXXX)
chmod 0755 "$WORK"
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

# address N: the N-th address of 127.0.40.0/22, from 1.
address() { echo "127.0.$((40 + $1 / 250)).$(($1 % 250 + 1))"; }

# start_sim NAME FIRST COUNT: one snmpsimd serving COUNT controllers (tc01's
# recording) from address FIRST on; its pid in SIM_PID.
start_sim() {
  local dir=$WORK/sim-$1 first=$2 count=$3 endpoints=() i
  rm -rf "$dir"
  mkdir -p "$dir/data/public" "$dir/data/private" "$dir/variation" "$dir/state" "$dir/cache"
  cp "$ROOT/simulator/recordings/tc01.snmprec" "$dir/"
  cp "$ROOT/simulator/variation/korsim.py" "$dir/variation/"
  for ((i = 0; i < count; i++)); do
    ln -s ../../tc01.snmprec "$dir/data/public/1.3.6.1.6.1.1.$i.snmprec"
    ln -s ../../tc01.snmprec "$dir/data/private/1.3.6.1.6.1.1.$i.snmprec"
    endpoints+=("--agent-udpv4-endpoint=$(address $((first + i))):$SNMP_PORT")
  done
  local privileges=()
  if [ "$(id -u)" -eq 0 ]; then
    privileges=(--process-user=nobody --process-group=nogroup)
    chown -R nobody:nogroup "$dir/state" "$dir/cache"
    chmod -R a+rX "$dir"
  fi
  snmpsimd --v2c-arch --data-dir="$dir/data" --cache-dir="$dir/cache" \
    --variation-modules-dir="$dir/variation" --variation-module-options="korsim:$dir/state" \
    --logging-method=null "${privileges[@]}" "${endpoints[@]}" >"$dir/out" 2>&1 </dev/null &
  SIM_PID=$!
  PIDS+=("$SIM_PID")
  for i in 0 $((count - 1)); do
    local deadline=$((SECONDS + 120))
    until snmpget -v1 -c public -t 1 -r 0 "$(address $((first + i))):$SNMP_PORT" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; do
      [ $SECONDS -lt $deadline ] || { echo "snmpsimd did not start"; cat "$dir/out"; exit 1; }
      sleep 0.3
    done
  done
}

# program_dir COUNT: the plug-in and an element file of COUNT controllers.
program_dir() {
  rm -rf "$WORK/agent"
  mkdir -p "$WORK/agent/devices" "$WORK/agent/KOR"
  echo famib >"$WORK/agent/devices/supported.txt"
  cp "$ROOT/plugins/famib/famib.cfg" "$WORK/agent/devices/"
  ln -s "$PLUGIN" "$WORK/agent/devices/famib.so"
  : >"$WORK/agent/KOR/client.ini"
  local i
  for ((i = 0; i < $1; i++)); do printf 'tc%d|%s\n' "$i" "$(address "$i")"; done >"$WORK/agent/KOR/KORAgent.db"
}

export KORAGENT_SNMP_PORT=$SNMP_PORT KORAGENT_TRAP_LISTEN=udp:127.0.0.1:$TRAP_PORT
export KORAGENT_EVENT_LOG=$WORK/events.jsonl

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg)"
case "${1:-}" in
  pass)
    shift
    for silent in "${@:-0 1 5}"; do
      for s in $silent; do
        program_dir 20
        start_sim ok 0 $((20 - s))
        silent_pid=0 addresses=""
        if [ "$s" -gt 0 ]; then
          start_sim silent $((20 - s)) "$s"
          silent_pid=$SIM_PID
          for ((i = 20 - s; i < 20; i++)); do addresses+="$(address "$i"),"; done
        fi
        "$BENCH" pass "$WORK/agent" "$silent_pid" "${addresses:-,}"
        for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
        PIDS=()
      done
    done
    ;;
  traps)
    program_dir 10
    start_sim ok 0 9
    start_sim silent 9 1
    silent_pid=$SIM_PID
    printf 'disableAuthorization yes\nformat1 TRAP %%q\\n\nformat2 TRAP %%q\\n\n' >"$WORK/snmptrapd.conf"
    snmptrapd -f -n -C -c "$WORK/snmptrapd.conf" -On -m "" -M "$WORK" -Lf "$WORK/snmptrapd.log" \
      "udp:127.0.0.1:$TRAPD_PORT" >"$WORK/snmptrapd.out" 2>&1 &
    PIDS+=($!)
    sleep 1
    "$BENCH" traps "$WORK/agent" "$silent_pid" "$TRAP_PORT" "$TRAPD_PORT" "$WORK/snmptrapd.log"
    ;;
  scale)
    count=${2:-1000}
    program_dir "$count"
    half=$((count / 2))
    start_sim a 0 "$half"
    start_sim b "$half" $((count - half))
    "$BENCH" scale "$WORK/agent"
    ;;
  *)
    sed -n '2,17p' "$0"
    exit 2
    ;;
esac
