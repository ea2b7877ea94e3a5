#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need.
# Idempotent: packages already present are left alone; apt lists are
# refreshed only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  libsnmp-dev snmp snmptrapd snmpsim smitools
  libmicrohttpd-dev libcurl4-openssl-dev libgnutls28-dev openssl libcrypt-dev wrk
  libsystemd-dev libncurses-dev
  prometheus-cpp-dev prometheus prometheus-alertmanager python3-aiosmtpd
  librrd-dev rrdcached libjs-chart.js
  clang-14 libclang-rt-14-dev
  curl tmux procps iproute2 python3
  dpkg-dev file lintian systemd
  chromium fonts-liberation
)

# The browser tests run Playwright on Node.js (20 or newer) with npm. A
# machine that has them from elsewhere keeps them; otherwise Debian's.
if ! command -v node >/dev/null; then PACKAGES+=(nodejs); fi
if ! command -v npm >/dev/null; then PACKAGES+=(npm); fi

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
