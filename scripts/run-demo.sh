#!/usr/bin/env bash
# Runs the agent for real: builds it (release preset), installs a program
# directory into a scratch folder (demo/ here, or $KOR_DEMO_DIR) and runs
# KORAgent in the foreground there. Its event log is shown as it is written
# and kept in a file. Stop it with Ctrl-C (or SIGTERM to this script).
#
# As a user other than root the ports below 1024 are out of reach, so the
# agent is given higher ones (override any of them from the environment).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/install-deps.sh

JOBS=${KOR_JOBS:-2}
cmake --preset release >/dev/null
cmake --build --preset release -j "$JOBS"

PREFIX=${KOR_DEMO_DIR:-$ROOT/demo}
# KORAgent.cfg names the agent directory <prefix>/KOR in at most 79 characters.
if [ $(( ${#PREFIX} + 4 )) -gt 79 ]; then
  PREFIX=/tmp/koragent-demo
fi
cmake --install build/release --prefix "$PREFIX" >/dev/null

if [ -z "${KORAGENT_EVENT_LOG:-}" ]; then
  export KORAGENT_EVENT_LOG=$PREFIX/event-log.jsonl
  : >"$KORAGENT_EVENT_LOG"
fi
if [ "$(id -u)" -ne 0 ]; then
  export KORAGENT_HTTPS_PORT=${KORAGENT_HTTPS_PORT:-12381}
  export KORAGENT_TRAP_LISTEN=${KORAGENT_TRAP_LISTEN:-udp:127.0.0.1:10162}
  export KORAGENT_SNMP_PORT=${KORAGENT_SNMP_PORT:-10161}
  export KORAGENT_TRAP_PORT=${KORAGENT_TRAP_PORT:-10162}
fi

# The simulated tape controllers (and a switch and a plain host, which the
# agent does not take on), each on a loopback address of its own, answering
# on the agent's SNMP port.
SIM_RUN=${KOR_SIMULATOR_DIR:-/tmp/kor-simulator}
simulator/stop.sh --run-dir "$SIM_RUN" >/dev/null 2>&1 || true
echo "Simulated devices (change them with: simulator/simctl --run-dir $SIM_RUN ...):"
# The libraries send their traps where the agent receives them.
TRAP_LISTEN_PORT=${KORAGENT_TRAP_LISTEN:-udp:162}
TRAP_LISTEN_PORT=${TRAP_LISTEN_PORT##*:}
simulator/start.sh --run-dir "$SIM_RUN" --port "${KORAGENT_SNMP_PORT:-161}" --trap-port "$TRAP_LISTEN_PORT"

# The agent's folders, by the rule the agent and korusers follow (AgentLayout,
# agent/core): line 2 of KORAgent.cfg names the agent directory, a relative
# one taken relative to the program directory; the web server's data
# directory is its path followed by ZEPD.
AGENT_DIR=$(sed -n '2{s/\r$//;p;}' "$PREFIX/KORAgent.cfg")
case $AGENT_DIR in /*) ;; *) AGENT_DIR=$PREFIX/$AGENT_DIR ;; esac
DATA_DIR=${AGENT_DIR}ZEPD

# A first run manages the simulated controllers and tape libraries: their
# lines in KORAgent.db, and the shortest polling interval, so the polls show
# soon.
if [ ! -s "$AGENT_DIR/KORAgent.db" ]; then
  awk '$1 ~ /^(tc|lib)/ { print $1 "|" $2 }' "$SIM_RUN/devices.txt" > "$AGENT_DIR/KORAgent.db"
  echo 60 > "$AGENT_DIR/storage.ini"
fi
echo "Managed elements ($AGENT_DIR/KORAgent.db):"
sed 's/^/  /' "$AGENT_DIR/KORAgent.db"
echo

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  simulator/stop.sh --run-dir "$SIM_RUN" >/dev/null 2>&1 || true
}
trap cleanup EXIT

HTTPS_PORT=${KORAGENT_HTTPS_PORT:-2381}
PASSWORD_FILE=$DATA_DIR/administrator-password.txt
echo "Program directory: $PREFIX"
echo "Event log:         $KORAGENT_EVENT_LOG (one JSON object a line, shown below as"
echo "                   time, level, text; also in the system journal or syslog)"
echo "KORAgent runs in the foreground. Stop it with Ctrl-C."
echo

# The event log as readable lines while the agent runs.
tail -n +1 -F "$KORAGENT_EVENT_LOG" 2>/dev/null > >(scripts/show-event-log.py) &
pids+=($!)

"$PREFIX/KORAgent" &
agent=$!

# Where to sign in, once the web server answers. A first start makes the
# user "administrator" with a random password, kept in PASSWORD_FILE.
(
  for _ in $(seq 150); do
    kill -0 "$agent" 2>/dev/null || exit 0
    curl -sk -o /dev/null --max-time 2 "https://localhost:$HTTPS_PORT/" && break
    sleep 0.2
  done
  kill -0 "$agent" 2>/dev/null || exit 0
  sleep 0.3
  echo
  echo "================================================================"
  echo " Open:     https://localhost:$HTTPS_PORT/KOR/"
  echo "           (from another machine: https://$(hostname):$HTTPS_PORT/KOR/)"
  echo "           The certificate is self-signed: accept the browser's warning."
  echo " User:     administrator"
  if [ -r "$PASSWORD_FILE" ]; then
    echo " Password: $(cat "$PASSWORD_FILE")"
    echo "           (first-start password, kept in $PASSWORD_FILE;"
    echo "            $PREFIX/korusers password administrator sets your own)"
  else
    echo " Password: the one you set ($PREFIX/korusers password administrator sets a new one)"
  fi
  echo "================================================================"
  echo
) &
pids+=($!)
# A signal to this script stops the agent; a wait that the signal cut short
# is repeated to get the agent's own exit code.
interrupted=0
trap 'interrupted=1; kill -TERM "$agent" 2>/dev/null || true' INT TERM
while :; do
  interrupted=0
  if wait "$agent"; then status=0; else status=$?; fi
  [ "$interrupted" = 1 ] || break
done
sleep 0.2  # let the last entries show
echo
echo "KORAgent ended with exit code $status. Event log: $KORAGENT_EVENT_LOG"
exit "$status"
