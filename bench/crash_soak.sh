#!/usr/bin/env bash
# Crash safety under load: KORAgent killed with SIGKILL at random moments,
# KILLS times (default 500), while an administrator adds, removes and renames
# tape controllers (three simulated ones) and changes the trap destinations
# and the polling interval through the pages. After each kill every file of
# the agent directory must be exactly the old or the new version of the
# change under way, every acknowledged change must be in it, and the agent
# started again must show what the files hold.
#
#   bench/crash_soak.sh [KILLS] [SEED]
#
# It runs the crash soak test of the test suite (the test command runs it
# with 30 kills) in a network namespace of its own, from the build in BUILD
# (default build/asan, built here when missing). Prints the kills, the
# changes acknowledged, lost and torn (the ratio judged: lost + torn = 0),
# the kills that cut a change short, the rewrites left behind as temporary
# files, and the mean restart time.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/asan}
KILLS=${1:-500}
SEED=${2:-}
TEST=$BUILD/tests/integration/web/web_crash_soak_tests

if [ ! -x "$TEST" ]; then
  cmake --build "$BUILD" --target web_crash_soak_tests KORAgent famib -j 2 >/dev/null
fi
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg)"
start=$SECONDS
LOG=$(mktemp /tmp/kor-soak.XXXXXX)
status=0
KOR_SOAK_KILLS=$KILLS KOR_SOAK_SEED=$SEED unshare -n sh -c "ip link set lo up && '$TEST'" >"$LOG" 2>&1 || status=$?
if [ "$status" -eq 0 ]; then
  grep '^crash soak:' "$LOG"
else
  # The whole account of the failure, without curl's complaints about the
  # killed agent.
  grep -v '^curl: ' "$LOG"
fi
rm -f "$LOG"
echo "wall time: $((SECONDS - start)) s"
exit "$status"
