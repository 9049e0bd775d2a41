#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests use; skips
# the package index update when everything is already there.
set -euo pipefail
packages=(build-essential cmake qt6-base-dev libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
          python3 snmpd snmp libsnmp-dev onesixtyone busybox-static inetutils-telnetd iproute2
          xvfb xauth fonts-dejavu-core
          g++-mingw-w64-x86-64-posix wine wine64 googletest
          lintian desktop-file-utils appstream
          qt6-charts-dev libqt6opengl6-dev libqt6sql6-sqlite libqt6sql6-psql postgresql)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages: ${missing[*]}; run this as root (or with sudo) to install them." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# Debian starts a system-wide agent on installation; the lab runs its own.
if pgrep -x snmpd >/dev/null && [[ -f /run/snmpd.pid ]]; then
  kill "$(cat /run/snmpd.pid)" 2>/dev/null || true
fi
