#!/usr/bin/env bash
# Runs the browser tests against a real agent:
#
#   tests/e2e/run.sh BUILD-DIR [PLAYWRIGHT-ARGUMENTS...]
#
#   1. npm ci here (Playwright and stylelint pinned by package-lock.json, from npm's
#      cache when it is there, so a network namespace without a way out works;
#      it never downloads
#      a browser: the tests drive Debian's /usr/bin/chromium)
#   2. stylelint over the web content's style sheets (stylelint.config.js);
#      cmake --install BUILD-DIR into a scratch program directory
#   3. starts the simulated devices (simulator/start.sh) and the agent from
#      that program directory, on free ports, managing tc01, tc02, tc03 and
#      mk01; reads the first-start administrator password
#   4. runs the tests, then stops the agent and the simulator
#
# Screenshots of the pages go to tests/e2e/artifacts/ (KOR_E2E_ARTIFACTS);
# a failed test keeps its screenshot and trace under tests/e2e/test-results/.
# The last line is "e2e: N passed, N failed"; the exit status is 0 only when
# every test passed. KOR_E2E_KEEP=1 keeps the scratch folder (program
# directory, event log, agent output) for a look afterwards.
#
# Run it inside a private network namespace when others share the machine:
#   unshare -n sh -c 'ip link set lo up && tests/e2e/run.sh build/asan'
set -uo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: tests/e2e/run.sh BUILD-DIR [PLAYWRIGHT-ARGUMENTS...]" >&2
  echo "e2e: 0 passed, 1 failed"
  exit 2
fi
BUILD=$(cd "$1" && pwd)
shift

export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
export KOR_E2E_RESULTS=${KOR_E2E_RESULTS:-$HERE/test-results}
export KOR_E2E_ARTIFACTS=${KOR_E2E_ARTIFACTS:-$HERE/artifacts}

WORK=""
AGENT_PID=""
SIM_RUN=""

fail_setup() {
  echo "e2e: $*" >&2
  echo "e2e: 0 passed, 1 failed"
  exit 1
}

cleanup() {
  if [ -n "$AGENT_PID" ] && kill -0 "$AGENT_PID" 2>/dev/null; then
    kill -TERM "$AGENT_PID" 2>/dev/null
    for _ in $(seq 100); do kill -0 "$AGENT_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$AGENT_PID" 2>/dev/null || true
  fi
  [ -n "$SIM_RUN" ] && "$ROOT/simulator/stop.sh" --run-dir "$SIM_RUN" >/dev/null 2>&1
  if [ -n "$WORK" ]; then
    if [ "${KOR_E2E_KEEP:-0}" = 1 ]; then echo "e2e: kept $WORK"; else rm -rf "$WORK"; fi
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A port nobody listens on: TCP for the web server, UDP for the SNMP ports.
free_port() {
  python3 - "$1" <<'EOF'
import socket, sys
kind = socket.SOCK_STREAM if sys.argv[1] == 'tcp' else socket.SOCK_DGRAM
s = socket.socket(socket.AF_INET, kind)
s.bind(('127.0.0.1', 0))
print(s.getsockname()[1])
EOF
}

[ -x /usr/bin/chromium ] || fail_setup "/usr/bin/chromium is missing (scripts/install-deps.sh installs it)"
command -v npm >/dev/null || fail_setup "npm is missing (scripts/install-deps.sh installs it)"

echo "--- npm ci"
(cd "$HERE" && npm ci --prefer-offline --no-audit --no-fund --loglevel=error) || fail_setup "npm ci failed"

# The style sheets first: a sheet that does not parse (an unclosed block
# after a merge) fails here, named with its line, before any browser starts.
echo "--- stylelint"
(cd "$HERE" && npx --no-install stylelint --config stylelint.config.js "$ROOT/agent/web/content/**/*.css") ||
  fail_setup "stylelint found faults in the web content's style sheets"

WORK=$(mktemp -d /tmp/kor-e2e.XXXXXX)
chmod 0755 "$WORK"   # the simulator runs as nobody when started by root
PREFIX=$WORK/prog
echo "--- installing a program directory into $PREFIX"
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 ||
  { cat "$WORK/install.log" >&2; fail_setup "cmake --install $BUILD failed"; }
[ -x "$PREFIX/KORAgent" ] || fail_setup "the build has no KORAgent"

HTTPS_PORT=$(free_port tcp)
SNMP_PORT=$(free_port udp)
TRAP_LISTEN_PORT=$(free_port udp)
TRAP_PORT=$(free_port udp)

echo "--- simulated devices"
SIM_RUN=$WORK/sim
"$ROOT/simulator/start.sh" --run-dir "$SIM_RUN" --port "$SNMP_PORT" --base 127.0.1.201 --trap-port "$TRAP_LISTEN_PORT" ||
  fail_setup "the simulator did not start"

AGENT_DIR=$(sed -n 2p "$PREFIX/KORAgent.cfg")
awk '$1 ~ /^(tc0[123]|mk01)$/ { print $1 "|" $2 }' "$SIM_RUN/devices.txt" >"$AGENT_DIR/KORAgent.db"
echo 60 >"$AGENT_DIR/storage.ini"

echo "--- agent on https://127.0.0.1:$HTTPS_PORT/"
export KORAGENT_HTTPS_PORT=$HTTPS_PORT
export KORAGENT_SNMP_PORT=$SNMP_PORT
export KORAGENT_TRAP_LISTEN=udp:127.0.0.1:$TRAP_LISTEN_PORT
export KORAGENT_TRAP_PORT=$TRAP_PORT
export KORAGENT_EVENT_LOG=$WORK/event-log.jsonl
# An ASan build reports leaks at exit; the tests judge the pages, not that.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
"$PREFIX/KORAgent" >"$WORK/agent.out" 2>&1 </dev/null &
AGENT_PID=$!

PASSWORD_FILE=$PREFIX/KORZEPD/administrator-password.txt
ready=0
for _ in $(seq 300); do
  if ! kill -0 "$AGENT_PID" 2>/dev/null; then
    cat "$WORK/agent.out" >&2
    fail_setup "the agent ended while starting"
  fi
  if [ -s "$PASSWORD_FILE" ] &&
     curl -sk -o /dev/null --max-time 2 "https://127.0.0.1:$HTTPS_PORT/"; then
    ready=1
    break
  fi
  sleep 0.2
done
[ "$ready" = 1 ] || { cat "$WORK/agent.out" >&2; fail_setup "the agent's web server did not answer within 60 seconds"; }

echo "--- browser tests"
rm -rf "$KOR_E2E_RESULTS"
mkdir -p "$KOR_E2E_RESULTS" "$KOR_E2E_ARTIFACTS"
export KOR_BASE_URL=https://127.0.0.1:$HTTPS_PORT
export KOR_ADMIN_PASSWORD_FILE=$PASSWORD_FILE
export KOR_SIM_RUN_DIR=$SIM_RUN
export KOR_PROGRAM_DIR=$PREFIX
(cd "$HERE" && npx --no-install playwright test "$@")
rc=$?

counts=$(node -e '
  const fs = require("fs");
  try {
    const s = JSON.parse(fs.readFileSync(process.argv[1], "utf8")).stats;
    console.log((s.expected + s.flaky) + " " + s.unexpected);
  } catch (e) { console.log("0 1"); }' "$KOR_E2E_RESULTS/results.json")
passed=${counts% *}
failed=${counts#* }
if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi

if ! kill -0 "$AGENT_PID" 2>/dev/null; then
  wait "$AGENT_PID"
  echo "e2e: the agent ended during the tests (exit status $?); its output:" >&2
  tail -n 40 "$WORK/agent.out" >&2
  AGENT_PID=""
  failed=$((failed + 1))
fi
if [ "$failed" -ne 0 ]; then
  echo "e2e: agent output and event log (last lines):"
  tail -n 20 "$WORK/agent.out"
  tail -n 20 "$KORAGENT_EVENT_LOG" 2>/dev/null
  echo "e2e: screenshots and traces of failed tests: $KOR_E2E_RESULTS/output"
fi
echo "e2e: screenshots of the pages: $KOR_E2E_ARTIFACTS"
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
