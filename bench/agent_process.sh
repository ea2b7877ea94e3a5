# Sourced by the benchmark scripts that run one KORAgent from a scratch
# program directory on a free loopback port (bench/log_flood.sh,
# bench/csv_export.sh). After `start_agent WORK AGENT [NAME=VALUE...]` the
# agent runs from WORK (its agent directory WORK/KOR) with the environment
# given, AGENT_PID and URL are set, and its pages answer; `sign_in JAR` signs
# the administrator in (the session in JAR); `stop_agent` ends it (the
# scripts call it on exit).
AGENT_PID=""
AGENT_WORK=""
URL=""

start_agent() {
  local work=$1 agent=$2
  shift 2
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  mkdir -p "$work/KOR"
  ln -sf "$agent" "$work/KORAgent"
  printf 'ORLA KOR Agent\n%s\nKORAgent\nBench\n.1.3.6.1.4.1.4413\n' "$work/KOR" >"$work/KORAgent.cfg"
  echo 300 >"$work/KOR/storage.ini"
  (cd / && exec env KORAGENT_HTTPS_PORT="$port" KORAGENT_HTTPS_ADDRESS=127.0.0.1 \
    KORAGENT_TRAP_LISTEN=udp:127.0.0.1:0 "$@" "$work/KORAgent" >"$work/agent.out" 2>&1) &
  AGENT_PID=$!
  AGENT_WORK=$work
  URL=https://127.0.0.1:$port
  for _ in $(seq 1 300); do
    if curl -sk -o /dev/null "$URL/KOR/about.htm" 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  echo "the agent did not answer:" >&2
  cat "$work/agent.out" >&2
  return 1
}

sign_in() {
  curl -sk -o /dev/null -c "$1" -H "Origin: $URL" --data-urlencode user=administrator \
    --data-urlencode "password=$(head -n1 "$AGENT_WORK/KORZEPD/administrator-password.txt")" \
    --data-urlencode return=/KOR/ "$URL/zepa/login"
}

stop_agent() {
  if [ -n "$AGENT_PID" ]; then kill "$AGENT_PID" 2>/dev/null || true; wait "$AGENT_PID" 2>/dev/null || true; fi
  AGENT_PID=""
}
