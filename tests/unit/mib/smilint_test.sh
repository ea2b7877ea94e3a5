#!/usr/bin/env bash
# Runs smilint over every MIB module in $1. Errors (severity 0-3) fail the
# test; warnings are shown. The base modules it imports (SNMPv2-SMI, -TC,
# -CONF, -MIB) are looked for where Debian's tools keep them; without them
# smilint cannot check the module, so the test is skipped saying so.
set -u
dir=$1
command -v smilint >/dev/null || { echo "smilint not installed (Debian package smitools)"; exit 77; }
path=""
for d in /usr/share/snmp/mibs /usr/share/snmp/mibs/ietf /usr/share/mibs/ietf /usr/share/mibs/iana \
         /var/lib/mibs/ietf /var/lib/mibs/iana /var/lib/snmp/mibs/ietf /var/lib/snmp/mibs/iana; do
  [ -d "$d" ] && path="$path:$d"
done
export SMIPATH="$dir$path"
if ! smilint -l 1 SNMPv2-SMI >/dev/null 2>&1 || smilint -l 1 SNMPv2-SMI 2>&1 | grep -q "failed to locate"; then
  echo "the base module SNMPv2-SMI is not installed here (SMIPATH=$SMIPATH)"; exit 77
fi
rc=0
for mib in "$dir"/*.txt; do
  out=$(smilint -l 6 -s "$mib" 2>&1)
  [ -n "$out" ] && echo "$out"
  # Severity levels 0-3 are errors; 4-6 are warnings.
  if echo "$out" | grep -Eq ': \[[0-3]\] '; then echo "FAIL: $mib"; rc=1; fi
done
exit $rc
