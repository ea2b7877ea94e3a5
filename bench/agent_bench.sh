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
#   bench/agent_bench.sh traps-v3            the same with SNMPv3 authPriv traps
#                                            (SHA-256, AES-128) from the managed
#                                            device: zero-loss rate of snmptrapd
#                                            and the agent, a burst at 2x
#   bench/agent_bench.sh scale [COUNT]       1000 elements (or COUNT): load,
#                                            memory, idle CPU, pass; run it
#                                            under prlimit --nofile=1024:524288
#                                            to give it a service's limits
#   bench/agent_bench.sh scale-v3 [COUNT]    the scale run over SNMPv1 and then
#                                            over SNMPv3 authPriv (SHA-256,
#                                            AES-128) in one invocation: the
#                                            agent's CPU for one status pass
#                                            each, and their ratio (goal <= 2)
#   bench/agent_bench.sh sockets             one controller: a GET with a socket
#                                            opened for it against one kept by
#                                            the session, and open + close alone
#   bench/agent_bench.sh listpage [COUNT] [SECONDS]
#                                            the installed agent with 100
#                                            elements (or COUNT), logged in:
#                                            /KOR/elements.html against the
#                                            static /KOR/orla.css, p50, p99
#                                            and requests/s at 1 and 8
#                                            connections, SECONDS (default
#                                            20) per run
#   bench/agent_bench.sh devicepage [VIEWERS] [ROUNDS]
#                                            the installed agent managing one
#                                            controller, logged in: VIEWERS
#                                            (default 50) browsers open one
#                                            device page at once, ROUNDS
#                                            (default 3) times per page; SNMP
#                                            requests counted at the simulator
#                                            per view, against one lone view
#                                            (PROGRAM= an installed program
#                                            directory measures that one, as
#                                            it is, instead of BUILD's)
#   bench/agent_bench.sh amplify [SECONDS]   the installed agent managing 3
#                                            controllers: spoofed v1 traps (one,
#                                            then 1, 10 and 1,000 a second for
#                                            SECONDS, default 20): SNMP requests
#                                            per trap counted at the simulator,
#                                            status passes against one per
#                                            KORAGENT_TRAP_REFRESH_INTERVAL
#   bench/agent_bench.sh flood [COUNT]       the installed agent managing 3
#                                            controllers: a real trap from tc1
#                                            during a flood of COUNT (default
#                                            20,000) traps naming tc0; drops by
#                                            reason, tc1's trap logged or not
#   bench/agent_bench.sh silent-v3 [COUNT] [RATE]
#                                            the installed agent managing 3
#                                            controllers and one SNMPv3
#                                            element whose device is silent:
#                                            COUNT (default 300) traps from
#                                            tc1 at RATE (default 10) a
#                                            second while a forged trap names
#                                            the silent element every 20 s:
#                                            ms from sending to the event log,
#                                            p50, p99, max (goal p99 <= 100)
#   bench/agent_bench.sh engines [COUNT]     the installed agent with an
#                                            SNMPv3 profile assigned: COUNT
#                                            (default 100,000) SNMPv3 traps of
#                                            its user with made-up engine IDs
#                                            from 250 addresses, in ten
#                                            slices: the agent's resident
#                                            memory and CPU per datagram after
#                                            each (goal: within 2 MB, flat);
#                                            then 10 traps from tc1 during a
#                                            4-second flood from one address
#   bench/agent_bench.sh readers [ROUNDS]    the installed agent managing 4
#                                            controllers, one of which falls
#                                            silent after the start: every
#                                            page that reads the elements,
#                                            ROUNDS (default 10) times each,
#                                            while status passes wait on the
#                                            silent device, first with one
#                                            pass at a time, then with a
#                                            hostile client forcing passes
#                                            on 16 connections: ms per
#                                            answer, p50 and max (goal: max
#                                            <= 1000)
#   bench/agent_bench.sh console [COUNT] [EVENTS] [SECONDS]
#                                            the installed agent with 1000
#                                            elements (or COUNT) and 10,000
#                                            events (or EVENTS: received traps)
#                                            in its event ring, logged in:
#                                            /KOR/status.json and a filtered
#                                            /KOR/events.json page, p50, p99
#                                            and requests/s at 1 and 8
#                                            connections, and the simulator's
#                                            CPU per request (no SNMP request
#                                            is made for either)
#   bench/agent_bench.sh metrics [COUNT] [SECONDS]
#                                            the installed agent with 1000
#                                            elements (or COUNT): one scrape
#                                            of /KOR/metrics with the bearer
#                                            token, p50, p99 and the agent's
#                                            CPU per scrape (goal <= 5 ms), at
#                                            1 and 4 connections
#
# It binds fixed loopback ports (11161-11163, 12381) and addresses from 127.0.40.1 on:
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
HTTPS_PORT=12381

if [ -z "${PROGRAM:-}" ] && { [ ! -x "$BUILD/bench/kor_bench" ] || [ -z "${BENCH_NO_BUILD:-}" ]; }; then
  cmake -S "$SOURCE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_BUILD_TESTS=OFF \
    -DKOR_BUILD_BENCHMARKS=ON >/dev/null
  targets=(--target kor_bench famib)
  case "${1:-}" in scale-v3 | traps-v3) targets+=(--target korsnmpv3 --target kor_v3_traps) ;; esac
  # The web pages are measured on an installed program directory: all of it.
  case "${1:-}" in listpage | devicepage | console | metrics | amplify | flood | silent-v3 | engines | readers) targets=() ;; esac
  cmake --build "$BUILD" "${targets[@]}" -j 2 >/dev/null
fi
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
BENCH=$BUILD/bench/kor_bench
PLUGIN=$(find "$BUILD" -name famib.so -print -quit 2>/dev/null || true)

WORK=$(mktemp -d /tmp/kor-bench.XXXXXX)
chmod 0755 "$WORK"
PIDS=()
# Stops the processes last started first (the agent before its simulator:
# a pass still under way would otherwise wait for time-outs), each given
# 10 seconds before it is killed.
cleanup() {
  local i pid
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
    pid=${PIDS[i]}
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

# address N: the N-th address from 127.0.40.1 on (250 per /24), from 0.
address() { echo "127.0.$((40 + $1 / 250)).$(($1 % 250 + 1))"; }

# start_sim NAME FIRST COUNT [LOG]: one snmpsimd serving COUNT controllers
# (tc01's recording) from address FIRST on; its pid in SIM_PID. With LOG it
# logs every request it answers to its state folder's snmpsimd.log.
start_sim() {
  local dir=$WORK/sim-$1 first=$2 count=$3 logging=--logging-method=null endpoints=() i
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
  [ -n "${4:-}" ] && logging=--logging-method=file:$dir/state/snmpsimd.log
  # The simulator serves thousands of addresses, a socket each, whatever
  # open-files limit the benchmark itself runs under (prlimit).
  local hard
  hard=$(ulimit -Hn)
  [ "$hard" = unlimited ] && hard=65536
  [ "$hard" -gt 65536 ] && hard=65536
  # With SIM_V3 the SNMPv3 architecture and the benchmark's user; the
  # context name "tc01" picks the recording.
  local architecture=(--v2c-arch)
  if [ -n "${SIM_V3:-}" ]; then
    ln -s ../tc01.snmprec "$dir/data/tc01.snmprec"
    architecture=(--v3-user=kor-bench --v3-auth-proto=SHA256 --v3-auth-key=bench-auth-pass
                  --v3-priv-proto=AES --v3-priv-key=bench-priv-pass)
  fi
  (ulimit -Sn "$hard" && exec snmpsimd "${architecture[@]}" --data-dir="$dir/data" --cache-dir="$dir/cache" \
    --variation-modules-dir="$dir/variation" --variation-module-options="korsim:$dir/state" \
    "$logging" "${privileges[@]}" "${endpoints[@]}") >"$dir/out" 2>&1 </dev/null &
  SIM_PID=$!
  PIDS+=("$SIM_PID")
  for i in 0 $((count - 1)); do
    local deadline=$((SECONDS + 600))
    local probe=(-v1 -c public)
    [ -z "${SIM_V3:-}" ] || probe=(-v3 -u kor-bench -l authPriv -a SHA-256 -A bench-auth-pass -x AES
                                   -X bench-priv-pass -n tc01)
    until snmpget "${probe[@]}" -t 1 -r 0 "$(address $((first + i))):$SNMP_PORT" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; do
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

# start_installed_agent COUNT [LOG]: the program directory (PROGRAM's copy,
# else BUILD installed) managing COUNT simulated controllers (start_sim, with
# LOG logging their requests), its agent started and signed in to: base,
# cookie, agent_pid and sim_pid set.
start_installed_agent() {
  local count=$1 prefix=$WORK/prog i
  if [ -n "${PROGRAM:-}" ]; then
    cp -a "$PROGRAM" "$prefix"
    sed -i "2s|.*|$prefix/KOR|" "$prefix/KORAgent.cfg"
  else
    cmake --install "$BUILD" --prefix "$prefix" >"$WORK/install.log" 2>&1 || { cat "$WORK/install.log"; exit 1; }
  fi
  local agent_dir
  agent_dir=$(sed -n 2p "$prefix/KORAgent.cfg")
  for ((i = 0; i < count; i++)); do printf 'tc%d|%s\n' "$i" "$(address "$i")"; done >"$agent_dir/KORAgent.db"
  # EXTRA_ELEMENTS: more element lines; BEFORE_START: a function called
  # with the program and agent directories before the agent starts.
  [ -z "${EXTRA_ELEMENTS:-}" ] || printf '%s\n' $EXTRA_ELEMENTS >>"$agent_dir/KORAgent.db"
  [ -z "${BEFORE_START:-}" ] || "$BEFORE_START" "$prefix" "$agent_dir"
  # POLLING (seconds, 60 - 3600) replaces the polling interval's default.
  [ -z "${POLLING:-}" ] || echo "$POLLING" >"$agent_dir/storage.ini"
  start_sim ok 0 "$count" ${2:-}
  sim_pid=$SIM_PID
  KORAGENT_HTTPS_PORT=$HTTPS_PORT KORAGENT_HTTPS_ADDRESS=127.0.0.1 KORAGENT_TRAP_PORT=$TRAPD_PORT \
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} "$prefix/KORAgent" >"$WORK/agent.out" 2>&1 </dev/null &
  PIDS+=($!)
  agent_pid=$!
  base=https://127.0.0.1:$HTTPS_PORT
  local password_file=$prefix/KORZEPD/administrator-password.txt
  local deadline=$((SECONDS + 120))
  until [ -s "$password_file" ] && curl -sk -o /dev/null --max-time 2 "$base/"; do
    kill -0 "$agent_pid" 2>/dev/null || { echo "the agent ended while starting"; cat "$WORK/agent.out"; exit 1; }
    [ $SECONDS -lt $deadline ] || { echo "the agent's web server did not answer"; cat "$WORK/agent.out"; exit 1; }
    sleep 0.2
  done
  # The session cookie of the first-start administrator, from the login form.
  curl -sk -o /dev/null -D "$WORK/login.headers" -H "Origin: $base" --data-urlencode user=administrator \
    --data-urlencode "password=$(cat "$password_file")" --data-urlencode return=/KOR/ "$base/zepa/login"
  cookie=$(awk 'tolower($1) == "set-cookie:" {sub(/;.*/, "", $2); print $2}' "$WORK/login.headers" | tr -d '\r')
  [ -n "$cookie" ] || { echo "the login gave no session cookie:"; cat "$WORK/login.headers"; exit 1; }
}

# SNMP requests the simulator started with LOG (start_installed_agent COUNT
# log) has answered so far.
answered() {
  local n
  n=$(grep -c 'Request var-binds' "$WORK/sim-ok/state/snmpsimd.log" 2>/dev/null || true)
  echo "${n:-0}"
}
# quiet SECONDS: until the simulator's count has stood still for SECONDS.
quiet() {
  local last=-1
  until [ "$(answered)" -eq "$last" ]; do last=$(answered); sleep "$1"; done
}
# metric NAME-AND-LABELS: its value on /KOR/metrics (0 when absent), with the
# bearer token in $token.
metric() {
  curl -sk -H "Authorization: Bearer $token" "$base/KOR/metrics" |
    awk -v name="$1" '$1 == name {v = $2} END {printf "%d\n", v}'
}

# wait_ok COUNT: until COUNT elements are ok on /KOR/metrics (the bearer
# token in $token), two minutes at most.
wait_ok() {
  local deadline=$((SECONDS + 120))
  until [ "$(curl -sk -H "Authorization: Bearer $token" "$base/KOR/metrics" |
    grep -c '^koragent_element_status{.*} 0$')" -eq "$1" ]; do
    [ $SECONDS -lt $deadline ] || { echo "the $1 elements are not ok"; exit 1; }
    sleep 1
  done
}
# wrk's latency line in milliseconds: 1.23ms, 456.00us, 1.50s
ms() { awk '{v = $1; if (v ~ /us$/) v = v / 1000; else if (v ~ /ms$/) v = v + 0; else if (v ~ /m$/) v = v * 60000; else v = v * 1000; printf "%.2f", v}' <<<"$1"; }
# CPU seconds a process has used (user + system).
cpu() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) / hz}' "/proc/$1/stat"; }
# measure PATH CONNECTIONS HEADER: one wrk run of $secs seconds against the
# installed agent; prints a table line and sets R_P50, R_P99, R_RPS, R_N and
# R_AGENT_CPU (milliseconds per request).
measure() {
  local path=$1 conns=$2 header=$3 out agent0 sim0 errors per_request
  agent0=$(cpu "$agent_pid") sim0=$(cpu "$sim_pid")
  out=$(wrk -t 1 -c "$conns" -d "${secs}s" --timeout 60s --latency -H "$header" "$base$path" 2>&1)
  errors=$(awk '/Non-2xx/ {n += $5} /Socket errors/ {gsub(",", ""); n += $4 + $6 + $8 + $10} END {print n + 0}' <<<"$out")
  R_P50=$(ms "$(awk '$1 == "50%" {print $2}' <<<"$out")")
  R_P99=$(ms "$(awk '$1 == "99%" {print $2}' <<<"$out")")
  R_RPS=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
  R_N=$(awk '/requests in/ {print $1}' <<<"$out")
  per_request=$(awk -v a0="$agent0" -v a1="$(cpu "$agent_pid")" -v s0="$sim0" -v s1="$(cpu "$sim_pid")" -v n="$R_N" \
    'BEGIN {printf "%.3f %.3f", (a1 - a0) * 1000 / n, (s1 - s0) * 1000 / n}')
  R_AGENT_CPU=${per_request% *}
  printf '%-44s %5s %10s %10s %10s %9s %6s %9s %9s\n' "$path" "$conns" "$R_P50" "$R_P99" "$R_RPS" "$R_N" "$errors" \
    $per_request
}
export KORAGENT_SNMP_PORT=$SNMP_PORT KORAGENT_TRAP_LISTEN=udp:127.0.0.1:$TRAP_PORT
export KORAGENT_EVENT_LOG=$WORK/events.jsonl

web_header() {
  echo "CPU columns: milliseconds of CPU per request used by the agent and by the simulator"
  printf '%-44s %5s %10s %10s %10s %9s %6s %9s %9s\n' page conns "p50 ms" "p99 ms" "req/s" requests errors \
    "agent" "sim"
}

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
  traps-v3)
    # The same ladder with SNMPv3 authPriv traps (SHA-256, AES-128) from the
    # managed device, whose engine the agent learns by polling it over v3 and
    # snmptrapd is given with createUser -e. Both receivers get the same
    # traps from the same sender (kor_v3_traps, in a process of its own).
    v3=(kor-bench bench-auth-pass bench-priv-pass tc01)
    program_dir 10
    printf 'bench-auth-pass\nbench-priv-pass\n' | "$BUILD/agent/tools/korsnmpv3/korsnmpv3" -d "$WORK/agent/KOR" \
      profile add bench --user kor-bench --level authPriv --auth SHA-256 --auth-pass-file - \
      --priv AES --priv-pass-file - --context tc01 >/dev/null
    "$BUILD/agent/tools/korsnmpv3/korsnmpv3" -d "$WORK/agent/KOR" assign bench default >/dev/null
    export SIM_V3=1
    start_sim ok 0 9
    start_sim silent 9 1
    silent_pid=$SIM_PID
    engine=$("$BUILD/bench/kor_v3_traps" engine "$(address 0)" "$SNMP_PORT" "${v3[@]}")
    mkdir -p "$WORK/trapd-state"
    printf 'disableAuthorization yes\nformat2 TRAP %%q\\n\ncreateUser -e 0x%s kor-bench SHA-256 bench-auth-pass AES bench-priv-pass\n' \
      "$engine" >"$WORK/snmptrapd.conf"
    SNMP_PERSISTENT_DIR=$WORK/trapd-state snmptrapd -f -n -C -c "$WORK/snmptrapd.conf" -On -m "" -M "$WORK" \
      -Lf "$WORK/snmptrapd.log" "udp:127.0.0.1:$TRAPD_PORT" >"$WORK/snmptrapd.out" 2>&1 &
    PIDS+=($!)
    sleep 1
    echo "device engine ID: $engine"
    "$BENCH" traps-v3 "$WORK/agent" "$silent_pid" "$TRAP_PORT" "$TRAPD_PORT" "$WORK/snmptrapd.log" "${v3[@]}"
    ;;
  scale)
    count=${2:-1000}
    program_dir "$count"
    half=$((count / 2))
    start_sim a 0 "$half"
    start_sim b "$half" $((count - half))
    "$BENCH" scale "$WORK/agent"
    ;;
  scale-v3)
    count=${2:-1000}
    half=$((count / 2))
    for version in v1 v3; do
      program_dir "$count"
      if [ "$version" = v3 ]; then
        export SIM_V3=1
        printf 'bench-auth-pass\nbench-priv-pass\n' | "$BUILD/agent/tools/korsnmpv3/korsnmpv3" -d "$WORK/agent/KOR" \
          profile add bench --user kor-bench --level authPriv --auth SHA-256 --auth-pass-file - \
          --priv AES --priv-pass-file - --context tc01 >/dev/null
        "$BUILD/agent/tools/korsnmpv3/korsnmpv3" -d "$WORK/agent/KOR" assign bench default >/dev/null
      fi
      start_sim a 0 "$half"
      start_sim b "$half" $((count - half))
      echo "$version:"
      # BENCH_WRAP runs the benchmark under another command (a profiler:
      # BENCH_WRAP="perf record -g -o /tmp/scale.data").
      ${BENCH_WRAP:-} "$BENCH" scale "$WORK/agent" | tee "$WORK/scale-$version.txt"
      for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
      PIDS=()
      unset SIM_V3
    done
    cpu() { sed -n "s/.*pass [0-9.]* s (the agent's CPU \([0-9.]*\) s).*/\1/p" "$WORK/scale-$1.txt"; }
    awk -v a="$(cpu v1)" -v b="$(cpu v3)" 'BEGIN { printf "status pass CPU: v1 %.3f s, v3 authPriv %.3f s: ratio %.2f (goal <= 2.0)\n", a, b, b / a }'
    ;;
  sockets)
    program_dir 1
    start_sim one 0 1
    "$BENCH" sockets "$WORK/agent" "$(address 0)" "$SNMP_PORT"
    ;;
  listpage)
    count=${2:-100}
    secs=${3:-20}
    start_installed_agent "$count"
    # The page must list every element, each with a status picked from a
    # finished pass, or the figures measure something else.
    curl -sk -H "Cookie: $cookie" -o "$WORK/elements.html" "$base/KOR/elements.html"
    curl -sk -o "$WORK/orla.css" "$base/KOR/orla.css"
    rows=$(grep -o '<A HREF=' "$WORK/elements.html" | wc -l)
    ok=$(grep -o 'src=ok.gif' "$WORK/elements.html" | wc -l)
    [ "$rows" -eq "$count" ] || { echo "the element list shows $rows of $count elements"; exit 1; }
    echo "agent: $count elements ($ok ok), /KOR/elements.html $(stat -c %s "$WORK/elements.html") bytes," \
      "/KOR/orla.css $(stat -c %s "$WORK/orla.css") bytes; wrk ${secs}s per run, keep-alive"
    web_header
    for conns in 1 8; do
      measure /KOR/elements.html "$conns" "Cookie: $cookie"
      l50=$R_P50 l99=$R_P99 lrps=$R_RPS
      measure /KOR/orla.css "$conns" "Cookie: $cookie"
      awk -v a="$l50" -v b="$R_P50" -v c="$l99" -v d="$R_P99" -v e="$lrps" -v f="$R_RPS" -v n="$conns" \
        'BEGIN {printf "ratio list/static at %d: p50 %.0fx, p99 %.0fx, req/s 1/%.0f\n", n, a / b, c / d, f / e}'
    done
    echo "agent resident memory: $(awk '/^VmRSS:/ {print $2, $3}' "/proc/$agent_pid/status"); load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
    ;;
  metrics)
    count=${2:-1000}
    secs=${3:-20}
    start_installed_agent "$count"
    token=$("$WORK/prog/korusers" token 2>/dev/null)
    # Every element must be on the page with a status from a finished pass
    # before the scrapes are measured.
    deadline=$((SECONDS + 300))
    until curl -sk -H "Authorization: Bearer $token" -o "$WORK/metrics.txt" "$base/KOR/metrics" &&
      [ "$(grep -c '^koragent_element_status{.*} 0$' "$WORK/metrics.txt")" -eq "$count" ]; do
      [ $SECONDS -lt $deadline ] || { echo "not every element is ok on the metrics page"; exit 1; }
      sleep 1
    done
    promtool check metrics <"$WORK/metrics.txt" || { echo "promtool refuses the page"; exit 1; }
    echo "agent: $count elements, /KOR/metrics $(stat -c %s "$WORK/metrics.txt") bytes," \
      "$(grep -vc '^#' "$WORK/metrics.txt") samples; wrk ${secs}s per run, keep-alive, bearer token"
    web_header
    measure /KOR/metrics 1 "Authorization: Bearer $token"
    awk -v c="$R_AGENT_CPU" -v p="$R_P99" \
      'BEGIN {printf "goal: agent CPU per scrape <= 5 ms: ratio %.2f (p99 %.2f ms)\n", c / 5, p}'
    measure /KOR/metrics 4 "Authorization: Bearer $token"
    echo "agent resident memory: $(awk '/^VmRSS:/ {print $2, $3}' "/proc/$agent_pid/status"); load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
    ;;
  devicepage)
    viewers=${2:-50}
    rounds=${3:-3}
    start_installed_agent 1 log
    # Quiet: the agent's first status pass is over when the count stands still.
    quiet 2
    # Readings are kept a few seconds: each measurement starts after that.
    settle() { sleep 4; }
    # view PATH N: N browsers open PATH at once; R_REQ requests the simulator
    # answered for them, R_MS the wall time until the last page was back.
    # The browsers come from 127.0.0.2: the agent's own requests to its
    # device web agent come from 127.0.0.1, and the server limits the
    # connections of one address.
    view() {
      local urls=() i before start codes
      for ((i = 0; i < $2; i++)); do urls+=(-o /dev/null "$base$1"); done
      before=$(answered)
      start=$(date +%s%N)
      codes=$(curl -sk --no-progress-meter --interface 127.0.0.2 --max-time 120 --parallel --parallel-immediate --parallel-max "$2" -H "Cookie: $cookie" \
        -w '%{http_code}\n' "${urls[@]}" | sort | uniq -c | tr -s ' ' | tr '\n' ';')
      R_MS=$((($(date +%s%N) - start) / 1000000))
      R_REQ=$(($(answered) - before))
      [ "$codes" = " $2 200;" ] || { echo "answers for $1: $codes"; tail -n 20 "$WORK/agent.out" "$KORAGENT_EVENT_LOG"; exit 1; }
    }
    echo "agent: 1 controller, $viewers viewers at once, $rounds rounds per page; SNMP requests counted by the simulator"
    printf '%-14s %10s %12s %12s %12s %8s\n' page "lone view" "per view" "batch ms" "lone ms" ratio
    for page in index.html events.html; do
      path="/KOR/WebAgent/$page?device=tc0&addr=$(address 0)"
      lone=0 lone_ms=0 total=0 total_ms=0
      for ((r = 0; r < rounds; r++)); do
        settle
        view "$path" 1
        lone=$((lone + R_REQ)) lone_ms=$((lone_ms + R_MS))
        settle
        view "$path" "$viewers"
        total=$((total + R_REQ)) total_ms=$((total_ms + R_MS))
      done
      awk -v p="$page" -v l="$lone" -v lm="$lone_ms" -v t="$total" -v tm="$total_ms" -v n="$viewers" -v r="$rounds" \
        'BEGIN {per = t / (n * r); printf "%-14s %10.1f %12.2f %12.0f %12.0f %7.1fx\n", p, l / r, per, tm / r, lm / r,
                (per > 0 ? (l / r) / per : 0)}'
    done
    echo "ratio: a lone view's SNMP requests / requests per view with $viewers viewers at once"
    ;;
  amplify)
    # What spoofed traps make the agent ask its devices: SNMPv1 traps whose
    # agent address is tc0's, sent from 127.0.0.1 (no element), one alone,
    # then at 1, 10 and 1,000 a second for SECONDS (default 20) each, to an
    # agent managing 3 controllers that it polls once an hour (so that the
    # count is the traps' alone). The SNMP requests are counted where they
    # arrive, at the simulator; the passes (and element polls) are the
    # agent's own metrics.
    secs=${2:-20}
    export KORAGENT_TRAP_REFRESH_INTERVAL=${KORAGENT_TRAP_REFRESH_INTERVAL:-10}
    interval=$KORAGENT_TRAP_REFRESH_INTERVAL
    POLLING=3600 start_installed_agent 3 log
    token=$("$WORK/prog/korusers" token 2>/dev/null)
    quiet 3
    echo "agent: 3 controllers, KORAGENT_TRAP_REFRESH_INTERVAL=$interval (an older agent ignores it), polling hourly;" \
      "SNMP requests counted by the simulator"
    printf '%-12s %7s %9s %9s %7s %7s %9s %7s\n' "traps/s" traps requests "per trap" passes polls allowed ratio
    for run in "1 0" "$secs 1" "$((secs * 10)) 10" "$((secs * 1000)) 1000"; do
      read -r n rate <<<"$run"
      sleep "$interval"  # the last run's passes are an interval behind
      r0=$(answered) p0=$(metric koragent_status_pass_duration_seconds_count) e0=$(metric koragent_poll_duration_seconds_count)
      python3 "$ROOT/bench/trap_flood.py" 127.0.0.1 "$TRAP_PORT" 127.0.0.1 "$n" "$rate" \
        "$(address 0)" >"$WORK/traps.out"
      # A pass the traps asked for may begin an interval after the last one.
      sleep $((interval + 1))
      quiet 3
      requests=$(($(answered) - r0))
      passes=$(($(metric koragent_status_pass_duration_seconds_count) - p0))
      polls=$(($(metric koragent_poll_duration_seconds_count) - e0))
      # One pass at once, then at most one an interval while the traps last.
      allowed=$((1 + (rate > 0 ? (n / rate + interval - 1) / interval : 0)))
      awk -v label="$([ "$rate" -gt 0 ] && echo "$rate" || echo "one trap")" -v n="$n" -v r="$requests" \
        -v p="$passes" -v e="$polls" -v a="$allowed" -v sent="$(cat "$WORK/traps.out")" \
        'BEGIN {printf "%-12s %7d %9d %9.4f %7d %7d %9d %7.2f   (%s)\n", label, n, r, r / n, p, e, a, p / a, sent}'
    done
    echo "ratio: status passes / allowed (one at once, then one per interval); goal <= 1"
    ;;
  flood)
    # A real trap from a second element during a flood from the first: COUNT
    # (default 20,000) SNMPv1 traps sent as fast as one process can from
    # 127.0.0.1 naming tc0 as their agent address, and, DELAY seconds
    # (default 0.4: late in a flood that lasts about 0.5 s here) after the
    # flood began, one coldStart sent by snmptrap from tc1's own address.
    # Judged: tc1's trap is in events.json; every trap is either received
    # or counted as dropped.
    count=${2:-20000}
    start_installed_agent 3
    token=$("$WORK/prog/korusers" token 2>/dev/null)
    wait_ok 3
    second=$(address 1)
    start=$(date +%s%N)
    python3 "$ROOT/bench/trap_flood.py" 127.0.0.1 "$TRAP_PORT" 127.0.0.1 "$count" 0 \
      "$(address 0)" >"$WORK/flood.out" &
    flood=$!
    sleep "${DELAY:-0.4}"
    snmptrap -v 1 -c public --clientaddr="$second" "127.0.0.1:$TRAP_PORT" .1.3.6.1.3.94 "$second" 0 0 ''
    real_sent=$((($(date +%s%N) - start) / 1000000))
    during=no
    kill -0 "$flood" 2>/dev/null && during=yes
    wait "$flood"
    flood_ms=$((($(date +%s%N) - start) / 1000000))
    # Settled: the received and dropped counts stand still.
    last=x
    while :; do
      now=$(curl -sk -H "Authorization: Bearer $token" "$base/KOR/metrics" | grep '^koragent_traps_' | tr '\n' ' ')
      [ "$now" != "$last" ] || break
      last=$now
      sleep 2
    done
    echo "flood: $(cat "$WORK/flood.out") from 127.0.0.1 as tc0 ($(address 0)), over in $flood_ms ms;" \
      "tc1's trap sent from $second $real_sent ms after the flood began (flood still sending: $during)"
    curl -sk -H "Authorization: Bearer $token" "$base/KOR/metrics" |
      grep -E '^koragent_traps_(received|dropped|handled)|^koragent_element_traps_received_total\{element="tc[01]"'
    curl -sk -H "Cookie: $cookie" "$base/KOR/events.json?element=tc1&text=cold" >"$WORK/tc1.json"
    logged=$(sed -n 's/.*"total":\([0-9]*\).*/\1/p' "$WORK/tc1.json")
    echo "tc1's coldStart in events.json?element=tc1&text=cold: ${logged:-0} (goal: 1);" \
      "$(grep -o '"total":[0-9]*,"complete":[a-z]*' <<<"$(curl -sk -H "Cookie: $cookie" "$base/KOR/events.json?element=tc0&limit=1")") for tc0"
    ;;
  silent-v3)
    # A v3 element whose device never answers (an address nothing serves,
    # with a profile assigned: its recognition waits out the time-outs of
    # engine discovery) beside three v1 controllers; tc1's traps should not
    # wait for it.
    count=${2:-300} rate=${3:-10}
    silent=$(address 200)
    v3_profile() {
      printf 'bench-auth-pass\nbench-priv-pass\n' | "$1/korsnmpv3" -d "$2" profile add bench --user kor-bench \
        --level authPriv --auth SHA-256 --auth-pass-file - --priv AES --priv-pass-file - >/dev/null
      "$1/korsnmpv3" -d "$2" assign bench "$silent" >/dev/null
    }
    EXTRA_ELEMENTS="v3silent|$silent" BEFORE_START=v3_profile start_installed_agent 3
    token=$("$WORK/prog/korusers" token 2>/dev/null)
    wait_ok 3
    echo "agent: 3 controllers and v3silent ($silent, SNMPv3 profile, nothing answers);" \
      "$count coldStart traps from tc1 at $rate/s, a forged trap naming v3silent every 20 s"
    python3 "$ROOT/bench/trap_latency.py" send 127.0.0.1 "$TRAP_PORT" "$(address 1)" "$(address 1)" "$count" "$rate" \
      "$WORK/sent.txt" "$silent" 20
    sleep 3
    python3 "$ROOT/bench/trap_latency.py" report "$WORK/sent.txt" "$KORAGENT_EVENT_LOG" "cold start"
    [ -z "${KEEP_EVENTS:-}" ] || cp "$KORAGENT_EVENT_LOG" "$KEEP_EVENTS"
    echo "goal: p99 <= 100 ms"
    ;;
  readers)
    # Pages that read the elements while a status pass waits on a silent
    # device. tc3 is served by a simulator of its own, which is stopped
    # (SIGSTOP) once every element is ok: from then on each pass lasts as
    # long as tc3's time-outs.
    rounds=${2:-10}
    quiet_sim() { start_sim quiet 3 1; quiet_pid=$SIM_PID; }
    EXTRA_ELEMENTS="tc3|$(address 3)" BEFORE_START=quiet_sim start_installed_agent 3
    token=$("$WORK/prog/korusers" token 2>/dev/null)
    wait_ok 4
    kill -STOP "$quiet_pid"
    # passes CONNECTIONS: requests of the element list (each runs or joins a
    # status pass) on CONNECTIONS connections until killed.
    passes() {
      local i
      for ((i = 0; i < $1; i++)); do
        (while :; do curl -sk -o /dev/null --max-time 120 -H "Cookie: $cookie" "$base/KOR/elements.html"; done) &
        PIDS+=($!)
      done
    }
    # timed PATH: ROUNDS sequential requests, each given 30 s; prints p50
    # and max in ms and the answers' status codes.
    timed() {
      local path=$1 header=("Cookie: $cookie") times codes
      [ "$path" != /KOR/metrics ] || header=("Authorization: Bearer $token")
      times=$(for ((i = 0; i < rounds; i++)); do
        curl -sk -o /dev/null --max-time 30 -H "${header[0]}" -w '%{http_code} %{time_total}\n' "$base$path"
      done)
      codes=$(awk '{print $1}' <<<"$times" | sort | uniq -c | awk '{printf "%s%sx%s", sep, $2, $1; sep=","}')
      awk '{print $2 * 1000}' <<<"$times" | sort -n |
        awk -v p="$path" -v c="$codes" '{v[NR] = $1} END {printf "%-32s %9.1f %9.1f   %s\n", p, v[int((NR + 1) / 2)], v[NR], c}'
    }
    run() {
      printf '%-32s %9s %9s   %s\n' page "p50 ms" "max ms" answers
      for path in /KOR/delete_element.html /KOR/rename_element.html /KOR/kor.xml /KOR/status.json \
        /KOR/snmpv3.json /KOR/metrics "/KOR/events.json?limit=50" "/KOR/set_trap_target.html?element_name=tc1"; do
        timed "$path"
      done
      timed /KOR/elements.html
    }
    echo "agent: 4 controllers, tc3 ($(address 3)) silent; $rounds requests per page, one at a time"
    echo "-- one client keeps a status pass running"
    passes 1
    sleep 2
    run
    echo "-- a hostile client forces passes on 16 connections"
    passes 15
    sleep 2
    run
    echo "goal: every page but the element list (which runs a pass by design) max <= 1000 ms"
    ;;
  engines)
    # Made-up engine IDs cost no state: the agent's resident memory and CPU
    # per datagram while COUNT SNMPv3 traps of an assigned user, each with an
    # engine ID of its own, arrive from 250 addresses at 4,000 a second (16
    # a second per address), in ten slices.
    count=${2:-100000}
    v3_default() {
      printf 'bench-auth-pass\nbench-priv-pass\n' | "$1/korsnmpv3" -d "$2" profile add bench --user kor-bench \
        --level authPriv --auth SHA-256 --auth-pass-file - --priv AES --priv-pass-file - >/dev/null
      "$1/korsnmpv3" -d "$2" assign bench "$(address 2)" >/dev/null
    }
    BEFORE_START=v3_default start_installed_agent 3
    token=$("$WORK/prog/korusers" token 2>/dev/null)
    sleep 5
    rss() { awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$agent_pid/status"; }
    echo "agent: 3 controllers, profile bench (user kor-bench) assigned to tc2; $count traps in ten slices"
    printf '%-8s %10s %12s %14s\n' slice traps "RSS MB" "CPU us/trap"
    printf '%-8s %10s %12s %14s\n' start 0 "$(rss)" -
    slice=$((count / 10))
    for i in $(seq 0 9); do
      c0=$(cpu "$agent_pid")
      python3 "$ROOT/bench/v3_flood.py" 127.0.0.1 "$TRAP_PORT" kor-bench $((i * slice)) "$slice" 4000 250 >/dev/null
      sleep 1
      awk -v i=$((i + 1)) -v n=$(((i + 1) * slice)) -v r="$(rss)" -v c0="$c0" -v c1="$(cpu "$agent_pid")" -v s="$slice" \
        'BEGIN {printf "%-8s %10d %12s %14.1f\n", i, n, r, (c1 - c0) * 1e6 / s}'
    done
    curl -sk -H "Authorization: Bearer $token" "$base/KOR/metrics" | grep -E '^koragent_traps_(snmpv3_refused|dropped)_total' |
      grep -v ' 0$' || true
    # Ten real traps from tc1 during a 4-second flood from one address.
    python3 "$ROOT/bench/v3_flood.py" 127.0.0.1 "$TRAP_PORT" kor-bench "$count" 200000 50000 1 >"$WORK/flood.out" &
    flood=$!
    python3 "$ROOT/bench/trap_latency.py" send 127.0.0.1 "$TRAP_PORT" "$(address 1)" "$(address 1)" 10 2.5 "$WORK/sent.txt"
    wait "$flood"
    sleep 3
    echo "flood from one address: $(cat "$WORK/flood.out")"
    python3 "$ROOT/bench/trap_latency.py" report "$WORK/sent.txt" "$KORAGENT_EVENT_LOG" "cold start"
    echo "goal: resident memory within 2 MB of the start, CPU per trap flat, no trap from tc1 missing"
    ;;
  console)
    count=${2:-1000}
    events=${3:-10000}
    secs=${4:-20}
    start_installed_agent "$count"
    # Received traps fill the event ring: SNMPv1 coldStart traps from the
    # managed addresses, sent from one process (bench/trap_flood.py; no
    # snmptrap per trap, whose persistent files the machine shares), paced
    # so the agent's trap queue keeps up, until the ring holds EVENTS.
    filled() {
      curl -sk -H "Cookie: $cookie" "$base/KOR/events.json?limit=1" | sed -n 's/.*"total":\([0-9]*\).*/\1/p'
    }
    agents=$(for ((i = 0; i < count; i++)); do address "$i"; done | paste -sd,)
    sent=0
    until [ "$(filled)" -ge "$events" ]; do
      python3 "$ROOT/bench/trap_flood.py" 127.0.0.1 "$TRAP_PORT" 127.0.0.1 1000 1000 \
        "$agents" >/dev/null
      sent=$((sent + 1000))
      [ "$sent" -le $((events * 3)) ] || { echo "the ring did not fill: $(filled) events after $sent traps"; exit 1; }
    done
    curl -sk -H "Cookie: $cookie" -o "$WORK/status.json" "$base/KOR/status.json"
    listed=$(grep -o '"name":' "$WORK/status.json" | wc -l)
    [ "$listed" -eq "$count" ] || { echo "status.json lists $listed of $count elements"; exit 1; }
    filter='/KOR/events.json?element=tc7&severity=warning&text=cold&limit=50'
    matched=$(curl -sk -H "Cookie: $cookie" "$base$filter" | sed -n 's/.*"total":\([0-9]*\).*/\1/p')
    echo "agent: $count elements, $(filled) events in the ring after $sent traps;" \
      "status.json $(stat -c %s "$WORK/status.json") bytes; the filter matches $matched events; wrk ${secs}s per run"
    web_header
    for conns in 1 8; do
      measure /KOR/status.json "$conns" "Cookie: $cookie"
      measure "$filter" "$conns" "Cookie: $cookie"
    done
    echo "agent resident memory: $(awk '/^VmRSS:/ {print $2, $3}' "/proc/$agent_pid/status"); load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
    ;;
  *)
    sed -n '2,/^set -e/p' "$0" | sed '$d'
    exit 2
    ;;
esac
