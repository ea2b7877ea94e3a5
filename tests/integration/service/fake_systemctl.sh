#!/usr/bin/env bash
# A stand-in for systemctl in the install/remove tests (KORAGENT_SYSTEMCTL).
# Records every call in $FAKE_SYSTEMCTL_DIR/calls and keeps the unit's
# ActiveState in $FAKE_SYSTEMCTL_DIR/state (absent: inactive).
#   FAKE_STOP=stuck     a stop leaves the service active
#   FAKE_STOP_POLLS=N   queries that still show "deactivating" after a stop (default 2)
#   FAKE_FAIL=<verb>    that verb (enable, disable, daemon-reload) fails
set -u
dir=${FAKE_SYSTEMCTL_DIR:?}
echo "$*" >>"$dir/calls"
state=$(cat "$dir/state" 2>/dev/null || echo inactive)
verb=$1
if [ "${FAKE_FAIL:-}" = "$verb" ]; then
  echo "systemctl: $verb failed" >&2
  exit 1
fi
case "$verb" in
  daemon-reload|enable|disable) exit 0 ;;
  is-active) [ "$state" = active ] ;;
  stop)
    if [ "${FAKE_STOP:-}" != stuck ]; then
      echo deactivating >"$dir/state"
      echo "${FAKE_STOP_POLLS:-2}" >"$dir/polls"
    fi
    exit 0 ;;
  show)
    echo "$state"
    if [ "$state" = deactivating ]; then
      left=$(( $(cat "$dir/polls") - 1 ))
      echo "$left" >"$dir/polls"
      [ "$left" -gt 0 ] || echo inactive >"$dir/state"
    fi
    exit 0 ;;
  *) echo "fake systemctl: unknown verb $verb" >&2; exit 2 ;;
esac
