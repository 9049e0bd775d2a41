#!/usr/bin/env bash
# Installs the Debian packages QZ Explorer needs; skips the package index
# update when everything is already there.
#   --build  only what building the program and its Debian package needs
#            (configure with -DQZ_BUILD_TESTS=OFF)
#   (none)   also what the demo and the tests use: the device lab's agents,
#            Telnet servers, PostgreSQL, sanitizers, the Windows cross build
# Services that packages would start on installation (snmpd, PostgreSQL,
# inetd) are not started: the demo and the tests run their own, and nothing
# the machine runs already is stopped.
set -euo pipefail
build=(build-essential cmake file qt6-base-dev qt6-charts-dev libqt6opengl6-dev libqt6sql6-sqlite)
lab=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
     python3 snmpd snmp libsnmp-dev onesixtyone busybox-static inetutils-telnetd iproute2
     xvfb xauth fonts-dejavu-core
     g++-mingw-w64-x86-64-posix wine wine64 googletest
     lintian desktop-file-utils appstream
     libqt6sql6-psql postgresql iputils-ping dbus-daemon libcap2-bin procps)
case "${1:-}" in
  --build) packages=("${build[@]}") ;;
  "") packages=("${build[@]}" "${lab[@]}") ;;
  *) echo "usage: $0 [--build]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0
if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages: ${missing[*]}; run this as root (or with sudo) to install them." >&2
  exit 1
fi
# Debian's way of keeping an installation from starting services: a policy
# that refuses every start, for the time of this install only.
policy=/usr/sbin/policy-rc.d
if [[ ! -e $policy ]]; then
  trap 'rm -f "$policy"' EXIT
  printf '#!/bin/sh\n# Written by QZ Explorer'"'"'s install-deps.sh while it installs.\nexit 101\n' >"$policy"
  chmod 755 "$policy"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
