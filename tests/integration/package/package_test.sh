#!/usr/bin/env bash
# The koragent package, installed, upgraded, removed and purged in a scratch
# root: dpkg-deb -x plus the maintainer scripts, with stand-ins for systemctl,
# deb-systemd-invoke and useradd on PATH, and a private /etc/passwd that the
# stand-in useradd adds the service's user to (a mount namespace of its own).
# The installed agent then runs as that user the way its unit runs it: one
# capability, no new privileges, the program directory read-only but for the
# agent's two data folders (in a network namespace of its own, so the fixed
# ports clash with nobody).
# Usage: package_test.sh <build dir> <source dir>
set -uo pipefail
BUILD=$1 SRC=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }
# owner:group mode of a path in the scratch root
owner_mode() { stat -c '%U:%G %a' "$ROOT$1"; }

if [ "$(id -u)" -ne 0 ] && [ -z "${KOR_PACKAGE_TEST_NS:-}" ]; then
  echo "SKIP: the scratch install hands files to another user and needs root"; exit 77
fi
if [ -z "${KOR_PACKAGE_TEST_NS:-}" ]; then
  # Everything below runs with its own /etc/passwd, /etc/group, /opt and
  # loopback network.
  exec env KOR_PACKAGE_TEST_NS=1 unshare -m -n -- bash "$0" "$@"
fi
ip link set lo up

TMP=$(mktemp -d) || exit 1
trap 'rm -rf "$TMP"' EXIT
ROOT=$TMP/root BIN=$TMP/bin CALLS=$TMP/calls
mkdir -p "$ROOT" "$BIN" "$TMP/units"

DEB=${KOR_DEB:-}
if [ -z "$DEB" ]; then
  cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$TMP/pkg" >"$TMP/cpack.log" 2>&1 ||
    { cat "$TMP/cpack.log"; fail "cpack"; exit 1; }
  DEB=$(ls "$TMP"/pkg/koragent_*.deb)
fi
echo "package: $DEB"

# Contents: the program directory, and none of the files that are kept.
contents=$(dpkg-deb --contents "$DEB" | awk '{print $1, $2, $6}')
for entry in "-rwxr-xr-x root/root ./opt/kor/KORAgent" "-rw-r--r-- root/root ./opt/kor/libkorcore.so" \
             "-rw-r--r-- root/root ./opt/kor/devices/famib.so" "drwxr-xr-x root/root ./opt/kor/KORZEPA/" \
             "drwx------ root/root ./opt/kor/KORZEPD/" "drwxr-xr-x root/root ./opt/kor/KOR/" \
             "-rw-r----- root/root ./opt/kor/devices/famib.cfg" "-rw-r--r-- root/root ./opt/kor/devices/smlib.so" \
             "-rw-r----- root/root ./opt/kor/devices/smlib.cfg" \
             "-rw-r--r-- root/root ./opt/kor/mibs/KOR-NOTIFICATION-MIB.txt" \
             "-rwxr-xr-x root/root ./opt/kor/korsnmpv3" "-rwxr-xr-x root/root ./opt/kor/korelements"; do
  grep -qxF -- "$entry" <<<"$contents" || fail "package lacks $entry"
done
grep -E '\./opt/kor/(KORAgent\.cfg|KOR/storage\.ini|KORZEPD/users)$' <<<"$contents" && fail "package owns a kept file"
dpkg-deb -f "$DEB" Depends | grep -q 'libsnmp' || fail "dependencies not computed from the libraries"

if command -v lintian >/dev/null; then
  lintian "$DEB" >"$TMP/lintian" 2>&1
  grep -v 'root privileges' "$TMP/lintian"
  grep -q '^E:' "$TMP/lintian" && fail "lintian reports errors"
fi

# Stand-ins; each records its call.
cp /etc/passwd "$TMP/passwd" && cp /etc/group "$TMP/group"
sed -i '/^koragent:/d' "$TMP/passwd" "$TMP/group"
mount --bind "$TMP/passwd" /etc/passwd && mount --bind "$TMP/group" /etc/group || { fail "private passwd"; exit 1; }
cat >"$BIN/useradd" <<STANDIN
#!/bin/sh
echo "useradd \$*" >>"$CALLS"
echo "koragent:x:4242:4242:ORLA KOR Agent:/nonexistent:/usr/sbin/nologin" >>/etc/passwd
echo "koragent:x:4242:" >>/etc/group
STANDIN
for tool in systemctl deb-systemd-invoke; do printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$tool" "$CALLS" >"$BIN/$tool"; done
chmod +x "$BIN"/*
export PATH="$BIN:$PATH" DPKG_ROOT=$ROOT FAKE_SYSTEMCTL_DIR=$TMP
export KORAGENT_SYSTEMCTL=$SRC/tests/integration/service/fake_systemctl.sh KORAGENT_SYSTEMD_UNIT_DIR=$TMP/units
dpkg-deb -e "$DEB" "$TMP/control"
script() { "$TMP/control/$1" "${@:2}" >>"$TMP/scripts.log" 2>&1 || fail "$1 $2 exited $?"; }

# Install.
dpkg-deb -x "$DEB" "$ROOT"
script postinst configure
expect_eq "user made" "$(grep -c '^useradd --system .* koragent$' "$CALLS")" 1
expect_eq "program" "$(owner_mode /opt/kor/KORAgent)" "root:root 755"
expect_eq "configuration" "$(owner_mode /opt/kor/KORAgent.cfg)" "root:root 644"
expect_eq "agent directory line" "$(sed -n 2p "$ROOT/opt/kor/KORAgent.cfg")" "/opt/kor/KOR"
expect_eq "agent directory" "$(owner_mode /opt/kor/KOR)" "koragent:koragent 750"
expect_eq "storage.ini" "$(owner_mode /opt/kor/KOR/storage.ini) $(cat "$ROOT/opt/kor/KOR/storage.ini")" \
          "koragent:koragent 640 300"
expect_eq "type file" "$(owner_mode /opt/kor/devices/famib.cfg)" "root:koragent 640"
expect_eq "web server data" "$(owner_mode /opt/kor/KORZEPD)" "koragent:koragent 700"
expect_eq "web content" "$(owner_mode /opt/kor/KORZEPA)" "root:root 755"
expect_eq "extension module" "$(owner_mode /opt/kor/KORZEPD/extensions/famib_webagent.so)" "root:root 644"
expect_eq "library extension module" "$(owner_mode /opt/kor/KORZEPD/extensions/smlib_webagent.so)" "root:root 644"
UNIT=$TMP/units/KORAgent.service
grep -qx 'User=koragent' "$UNIT" || fail "unit does not run as koragent"
grep -qx 'ReadWritePaths=-/opt/kor/KOR -/opt/kor/KORZEPD' "$UNIT" || fail "unit writable paths"
grep -qx "ExecStart=$ROOT/opt/kor/KORAgent" "$UNIT" || fail "unit program"
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$UNIT" || fail "systemd-analyze verify"
  score=$(systemd-analyze security --offline=true "$UNIT" 2>&1 | sed -n 's/.*Overall exposure level for KORAgent.service: \([0-9.]*\).*/\1/p')
  echo "exposure: $score"
  awk -v s="$score" 'BEGIN { exit !(s != "" && s <= 4.0) }' || fail "exposure $score above 4.0"
fi

# The agent as the unit runs it. /opt/kor is the scratch program directory,
# read-only like the rest of the system under ProtectSystem=strict, with the
# unit's ReadWritePaths= writable.
mount -t tmpfs tmpfs /opt && mkdir /opt/kor && mount --bind "$ROOT/opt/kor" /opt/kor &&
  mount -o remount,bind,ro /opt/kor &&
  for rw in KOR KORZEPD; do mount --bind "$ROOT/opt/kor/$rw" "/opt/kor/$rw" || exit 1; done ||
  { fail "read-only program directory"; exit 1; }
env -u KORAGENT_TRAP_LISTEN setpriv --reuid=koragent --regid=koragent --clear-groups --no-new-privs \
  --inh-caps=-all,+net_bind_service --ambient-caps=-all,+net_bind_service --bounding-set=-all,+net_bind_service \
  /opt/kor/KORAgent >"$TMP/agent.log" 2>&1 &
agent=$!
for _ in $(seq 100); do
  ss -Hlnu 'sport = :162' | grep -q . && [ -s "$ROOT/opt/kor/KOR/sysinfo.agt" ] && break
  sleep 0.2
done
expect_eq "agent user" "$(ps -o user= -p $agent)" koragent
ss -Hlnup 'sport = :162' | grep -q "pid=$agent," || fail "agent does not receive traps on port 162"
expect_eq "sysinfo.agt" "$(owner_mode /opt/kor/KOR/sysinfo.agt)" "koragent:koragent 600"
if ldd "$ROOT/opt/kor/KORAgent" | grep -q libkorzepa; then
  # An agent built with its web server serves HTTPS.
  for _ in $(seq 100); do ss -Hltn 'sport = :2381' | grep -q . && break; sleep 0.2; done
  curl -ksS -o /dev/null https://127.0.0.1:2381/KOR/ || fail "no HTTPS on port 2381"
  expect_eq "web server data" "$(stat -c %U "$ROOT/opt/kor/KORZEPD/users")" koragent
fi
kill -TERM $agent; wait $agent
grep -q . "$TMP/agent.log" && { echo "agent output:"; cat "$TMP/agent.log"; }
umount -R /opt

# Upgrade: what the agent and the operator changed stays; files root wrote
# into the data folders go to the service's user.
echo 120 >"$ROOT/opt/kor/KOR/storage.ini"
# Files an older version left readable by everyone.
echo "tc01|10.1.2.3" >"$ROOT/opt/kor/KOR/KORAgent.db"
chmod 644 "$ROOT/opt/kor/KOR/storage.ini" "$ROOT/opt/kor/KOR/KORAgent.db"
echo "admin:hash" >"$ROOT/opt/kor/KORZEPD/users" && chmod 600 "$ROOT/opt/kor/KORZEPD/users"
sed -i 1s/.*/Edited/ "$ROOT/opt/kor/KORAgent.cfg"
: >"$CALLS"
script prerm upgrade 2.7.2.13
[ -e "$UNIT" ] && fail "prerm upgrade left the unit"
dpkg-deb -x "$DEB" "$ROOT"
script postinst configure 2.7.2.13
expect_eq "kept storage.ini" "$(cat "$ROOT/opt/kor/KOR/storage.ini")" 120
expect_eq "storage.ini" "$(owner_mode /opt/kor/KOR/storage.ini)" "koragent:koragent 640"
expect_eq "KORAgent.db" "$(owner_mode /opt/kor/KOR/KORAgent.db)" "koragent:koragent 640"
expect_eq "type file" "$(owner_mode /opt/kor/devices/famib.cfg)" "root:koragent 640"
expect_eq "kept configuration" "$(sed -n 1p "$ROOT/opt/kor/KORAgent.cfg")" Edited
expect_eq "users" "$(owner_mode /opt/kor/KORZEPD/users)" "koragent:koragent 600"
grep -q useradd "$CALLS" && fail "user made twice"
[ -e "$UNIT" ] || fail "postinst upgrade wrote no unit"

# Remove keeps the data; purge deletes it.
script prerm remove
[ -e "$UNIT" ] && fail "prerm remove left the unit"
dpkg-deb --contents "$DEB" | awk '$1 !~ /^d/ {print $6}' | (cd "$ROOT" && xargs rm -f)
# As dpkg does: the package's own folders go too, deepest first, when empty.
dpkg-deb --contents "$DEB" | awk '$1 ~ /^d/ {print $6}' | sort -r |
  (cd "$ROOT" && xargs rmdir --ignore-fail-on-non-empty 2>/dev/null || true)
script postrm remove
for kept in KORAgent.cfg KOR/storage.ini KORZEPD/users; do
  [ -e "$ROOT/opt/kor/$kept" ] || fail "remove deleted $kept"
done
mkdir -p "$ROOT/var/log/koragent"
script postrm purge
[ -e "$ROOT/opt/kor" ] && fail "purge left $(find "$ROOT/opt/kor")"
[ -e "$ROOT/var/log/koragent" ] && fail "purge left the log folder"

cat "$TMP/scripts.log"
[ "$failures" -eq 0 ] && echo "package: all checks passed"
exit $((failures > 0))
