#!/usr/bin/env bash
# Starts the simulated devices: one snmpsimd process that answers SNMPv1
# requests on one loopback address per device (communities "public" for Get
# and "private" for Set), serving the recordings in recordings/.
#
#   simulator/start.sh [--run-dir DIR] [--port PORT] [--base A.B.C.D]
#                      [--only NAME[,NAME...]] [--at NAME=A.B.C.D ...]
#                      [--v3-users FILE] [--trap-port PORT]
#   simulator/start.sh --range A.B.C.D/BITS --devices N [--run-dir DIR] [--port PORT]
#
#   --run-dir  where the running simulator keeps its files (default
#              /tmp/kor-simulator); simctl and stop.sh take the same option
#   --port     UDP port every device answers on (default 161)
#   --trap-port the UDP port the tape libraries' trap destination table
#              names (default 162, where the agent listens by default);
#              give the agent's KORAGENT_TRAP_LISTEN port (run-demo.sh and
#              the browser tests do) so the libraries' traps reach it
#   --base     first address; the devices get consecutive addresses from it
#              (default: the addresses in devices.txt)
#   --only     serve only these devices
#   --at       serve device NAME at this address instead (repeatable); e.g.
#              --at tc03=127.0.0.1 makes tc03 reachable by the host name
#              localhost, for adding a device by name without editing
#              /etc/hosts (the other devices keep their addresses)
#   --v3-users the devices also answer SNMPv3 for the users in FILE, one a
#              line: USER AUTH-PROTO AUTH-PASS [PRIV-PROTO PRIV-PASS] in
#              snmpsimd's names (MD5, SHA256, ...; AES, AES256BLMT, ...);
#              the SNMPv3 context name picks the device (its name, "tc01");
#              snmpsimd then runs its SNMPv3 architecture, in which the
#              SNMPv1 communities do not tell the devices apart
#   --range    a network for discovery (loopback only, /24 to /30): N
#   --devices  devices spread evenly over its host addresses, taking the
#              controllers and libraries in turn (tc01, lib01, tc02, lib02,
#              lib03); each copy is a device of its own (its sysName is
#              the recording's name and its number, "tc01-3", and its world
#              wide name differs in the last byte); every other address of
#              the range stays silent
#
# Prints one line per device ("name address:port") once all of them answer;
# exits non-zero when the simulator does not come up within 30 seconds.
set -euo pipefail

SIM_DIR=$(cd "$(dirname "$0")" && pwd)
RUN_DIR=/tmp/kor-simulator
PORT=161
BASE=""
ONLY=""
V3_USERS=""
TRAP_PORT=162
RANGE=""
RANGE_DEVICES=0
declare -A AT=()

while [ $# -gt 0 ]; do
  case "$1" in
    --run-dir) RUN_DIR=$2; shift 2 ;;
    --port) PORT=$2; shift 2 ;;
    --base) BASE=$2; shift 2 ;;
    --only) ONLY=$2; shift 2 ;;
    --at)
      case "$2" in
        ?*=*.*.*.*) AT[${2%%=*}]=${2#*=} ;;
        *) echo "start.sh: --at wants NAME=A.B.C.D, not $2" >&2; exit 2 ;;
      esac
      shift 2 ;;
    --v3-users) V3_USERS=$2; shift 2 ;;
    --range)
      case "$2" in
        127.*.*.*/*) RANGE=$2 ;;
        *) echo "start.sh: --range wants a loopback network such as 127.0.5.0/24, not $2" >&2; exit 2 ;;
      esac
      shift 2 ;;
    --devices)
      case "$2" in
        ''|*[!0-9]*) echo "start.sh: --devices wants a number, not $2" >&2; exit 2 ;;
      esac
      RANGE_DEVICES=$2; shift 2 ;;
    --trap-port)
      case "$2" in
        ''|*[!0-9]*) echo "start.sh: --trap-port wants a port number, not $2" >&2; exit 2 ;;
      esac
      TRAP_PORT=$2; shift 2 ;;
    -h|--help) sed -n '2,38p' "$0"; exit 0 ;;
    *) echo "start.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

for tool in snmpsimd snmpget; do
  command -v "$tool" >/dev/null || { echo "start.sh: $tool not found (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

if [ -f "$RUN_DIR/snmpsimd.pid" ] && kill -0 "$(cat "$RUN_DIR/snmpsimd.pid")" 2>/dev/null; then
  echo "start.sh: a simulator is already running from $RUN_DIR (pid $(cat "$RUN_DIR/snmpsimd.pid")); run stop.sh first" >&2
  exit 1
fi

# A fresh run directory: recordings, the variation module, the state files.
mkdir -p "$RUN_DIR"
RUN_DIR=$(cd "$RUN_DIR" && pwd)
rm -rf "$RUN_DIR/data" "$RUN_DIR/recordings" "$RUN_DIR/state" "$RUN_DIR/variation" "$RUN_DIR/cache"
mkdir -p "$RUN_DIR/data/public" "$RUN_DIR/data/private" "$RUN_DIR/recordings" "$RUN_DIR/state" \
         "$RUN_DIR/variation" "$RUN_DIR/cache"
cp "$SIM_DIR/variation/korsim.py" "$RUN_DIR/variation/"
: > "$RUN_DIR/devices.txt"

next_address() {  # a.b.c.d -> a.b.c.(d+1)
  local a b c d
  IFS=. read -r a b c d <<<"$1"
  echo "$a.$b.$c.$((d + 1))"
}

# The device list: devices.txt, or for --range the copies spread over it.
DEVICE_LIST="$SIM_DIR/devices.txt"
if [ -n "$RANGE" ]; then
  IFS=/ read -r range_base range_bits <<<"$RANGE"
  if [ -z "$range_bits" ] || [ "$range_bits" -lt 24 ] || [ "$range_bits" -gt 30 ]; then
    echo "start.sh: --range wants a network from /24 to /30, not $RANGE" >&2; exit 2
  fi
  IFS=. read -r a b c d <<<"$range_base"
  hosts=$(( (1 << (32 - range_bits)) - 2 ))
  first=$(( (d & ~((1 << (32 - range_bits)) - 1)) + 1 ))
  if [ "$RANGE_DEVICES" -lt 1 ] || [ "$RANGE_DEVICES" -gt "$hosts" ]; then
    echo "start.sh: --devices wants 1 to $hosts devices for $RANGE" >&2; exit 2
  fi
  kinds=(tc01 lib01 tc02 lib02 lib03)
  DEVICE_LIST="$RUN_DIR/range-devices.txt"
  : > "$DEVICE_LIST"
  for ((k = 0; k < RANGE_DEVICES; k++)); do
    kind=${kinds[$((k % ${#kinds[@]}))]}
    copy=$((k / ${#kinds[@]} + 1))
    name="$kind-$copy"
    # A copy of its own: the sysName and the world wide name's last byte.
    last=$(printf '%02x' $((copy & 255)))
    sed -E -e "s/^(1\.3\.6\.1\.2\.1\.1\.5\.0\|4\|).*$/\1$name/" \
      -e "s/^(1\.3\.6\.1\.3\.94\.1\.6\.1\.2\.[0-9.]+\|4x\|[0-9a-f]{14})[0-9a-f]{2}/\1$last/" \
      -e "s/^(1\.3\.6\.1\.4\.1\.14851\.3\.1\.11\.2\.1\.2\.[0-9]+\|4\|.*)$/\1-$copy/" \
      "$SIM_DIR/recordings/$kind.snmprec" > "$RUN_DIR/recordings/$name.source"
    echo "$name $a.$b.$c.$((first + k * hosts / RANGE_DEVICES)) $kind" >> "$DEVICE_LIST"
  done
fi

index=0
sequence=$BASE
endpoints=()
while read -r name default_address source_kind; do
  case "$name" in ''|'#'*) continue ;; esac
  if [ -n "$ONLY" ] && [[ ",$ONLY," != *",$name,"* ]]; then continue; fi
  if [ -n "$BASE" ]; then
    [ $index -eq 0 ] || sequence=$(next_address "$sequence")
    address=$sequence
  else
    address=$default_address
  fi
  if [ -n "${AT[$name]:-}" ]; then address=${AT[$name]}; fi
  source_file="$SIM_DIR/recordings/$name.snmprec"
  [ -z "$RANGE" ] || source_file="$RUN_DIR/recordings/$name.source"
  # A library's trap destination table names the agent's trap port.
  sed -E "s/^(1\.3\.6\.1\.4\.1\.14851\.3\.1\.16\.7\.1\.4\.[0-9]+\|2\|)[0-9]+$/\1$TRAP_PORT/" \
    "$source_file" > "$RUN_DIR/recordings/$name.snmprec"
  if [ -z "$RANGE" ] && [ -f "$SIM_DIR/state/$name.json" ]; then
    cp "$SIM_DIR/state/$name.json" "$RUN_DIR/state/"
  fi
  # snmpsimd picks the data file by community and by the endpoint the
  # request came in on: <community>/1.3.6.1.6.1.1.<endpoint index>.snmprec
  for community in public private; do
    ln -s "../../recordings/$name.snmprec" "$RUN_DIR/data/$community/1.3.6.1.6.1.1.$index.snmprec"
  done
  # SNMPv3: the context name is the data file's name.
  [ -z "$V3_USERS" ] || ln -s "../recordings/$name.snmprec" "$RUN_DIR/data/$name.snmprec"
  endpoints+=("--agent-udpv4-endpoint=$address:$PORT")
  echo "$name $address $PORT" >> "$RUN_DIR/devices.txt"
  index=$((index + 1))
done < "$DEVICE_LIST"

if [ $index -eq 0 ]; then
  echo "start.sh: no devices selected" >&2
  exit 2
fi

# As root, snmpsimd insists on dropping its privileges; the files it reads
# and the state files it writes must then be usable by that user.
privileges=()
if [ "$(id -u)" -eq 0 ]; then
  privileges=(--process-user=nobody --process-group=nogroup)
  chmod 0755 "$RUN_DIR"
  chown -R nobody:nogroup "$RUN_DIR/state" "$RUN_DIR/cache"
  chmod -R a+rX "$RUN_DIR/data" "$RUN_DIR/recordings" "$RUN_DIR/variation"
fi

# SNMPv1 alone, or SNMPv3 with the users of --v3-users; the readiness
# probe asks as the first of them.
architecture=(--v2c-arch)
probe=(-v1 -c public)
if [ -n "$V3_USERS" ]; then
  architecture=()
  probe=()
  while read -r user auth auth_pass priv priv_pass; do
    case "$user" in ''|'#'*) continue ;; esac
    architecture+=(--v3-user="$user" --v3-auth-proto="$auth" --v3-auth-key="$auth_pass")
    if [ -n "${priv:-}" ]; then architecture+=(--v3-priv-proto="$priv" --v3-priv-key="$priv_pass"); fi
    if [ ${#probe[@]} -eq 0 ]; then
      # snmpget's names: SHA256 -> SHA-256, AES256BLMT -> AES-256.
      auth_tool=$(echo "$auth" | sed -E 's/^SHA([0-9]+)$/SHA-\1/')
      probe=(-v3 -u "$user" -a "$auth_tool" -A "$auth_pass")
      if [ -n "${priv:-}" ]; then
        priv_tool=$(echo "$priv" | sed -E 's/^AES128$/AES/; s/^AES(192|256)BLMT$/AES-\1/; s/^AES(192|256)$/AES-\1-C/')
        probe+=(-l authPriv -x "$priv_tool" -X "$priv_pass")
      else
        probe+=(-l authNoPriv)
      fi
    fi
  done < "$V3_USERS"
fi

rm -f "$RUN_DIR/snmpsimd.log"
snmpsimd "${architecture[@]}" \
  --data-dir="$RUN_DIR/data" \
  --cache-dir="$RUN_DIR/cache" \
  --variation-modules-dir="$RUN_DIR/variation" \
  --variation-module-options="korsim:$RUN_DIR/state" \
  --logging-method="file:$RUN_DIR/snmpsimd.log" \
  "${privileges[@]}" "${endpoints[@]}" \
  >"$RUN_DIR/snmpsimd.out" 2>&1 </dev/null &
pid=$!
echo "$pid" > "$RUN_DIR/snmpsimd.pid"

# Ready when every device answers a Get of sysName.
deadline=$((SECONDS + 30))
while read -r name address port; do
  context=()
  [ -z "$V3_USERS" ] || context=(-n "$name")
  until snmpget "${probe[@]}" "${context[@]}" -t 1 -r 0 -Oqv "$address:$port" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; do
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "start.sh: snmpsimd ended; see $RUN_DIR/snmpsimd.out and $RUN_DIR/snmpsimd.log" >&2
      rm -f "$RUN_DIR/snmpsimd.pid"
      exit 1
    fi
    if [ $SECONDS -ge $deadline ]; then
      echo "start.sh: $name at $address:$port does not answer; stopping" >&2
      "$SIM_DIR/stop.sh" --run-dir "$RUN_DIR" >/dev/null 2>&1 || true
      exit 1
    fi
    sleep 0.3
  done
  echo "$name $address:$port"
done < "$RUN_DIR/devices.txt"
