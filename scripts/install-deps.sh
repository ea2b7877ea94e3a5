#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need.
# Idempotent: packages already present are left alone; apt lists are
# refreshed only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsnmp-dev snmp snmptrapd snmpsim
  libcpp-httplib-dev libssl-dev openssl libcrypt-dev wrk
  libsystemd-dev libncurses-dev
  clang-14 libclang-rt-14-dev
  curl tmux procps iproute2 python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
