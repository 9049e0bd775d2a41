#!/usr/bin/env bash
# Cross-builds the Qt-free core and its tests for 64-bit Windows with
# mingw-w64 and runs them under wine, as root, inside a network namespace of
# their own: wine binds a socket asked for on a loopback address to the
# any-address, so the tests' peers must not meet anything else's. The Linux
# peers (the device lab, busybox telnetd) are reached through a folder both
# sides see (QZ_UNIX_BRIDGE; see RunCommand in tests/support/peers.cpp).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QZ_WINE_BUILD:-${TMPDIR:-/tmp}/qz-explorer-wine-$(printf '%s' "$root" | md5sum | cut -c1-12)}"
# Optimised as the program is (some warnings need it), without debugging
# information, which nothing here reads and which costs the cross-compiler time.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DQZ_BUILD_APP=OFF \
  -DQZ_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
bridge="$(mktemp -d "${TMPDIR:-/tmp}/qz-wine-bridge-XXXXXX")"
trap 'rm -rf "$bridge"' EXIT
rm -rf "$build/results"
export QZ_UNIX_BRIDGE="$bridge" WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  GTEST_OUTPUT="xml:Z:$build/results/"
# wineserver makes the sockets, so it has to start inside the namespace too.
status=0
unshare --net bash -c '
  set -euo pipefail
  ip link set lo up
  python3 "$1/tests/support/unix_bridge.py" "$QZ_UNIX_BRIDGE" &
  bridge_process=$!
  # The prefix is ready once the server that made it has ended; then one
  # persistent server serves the whole run, so that no test program starts
  # while a server is going away (seen: "wine client error:0: recvmsg"). Its
  # services start here, away from the output of the tests, which they would
  # otherwise hold open.
  wineboot --init >/dev/null 2>&1
  wineserver --wait
  wineserver --persistent
  wineboot >/dev/null 2>&1
  status=0
  (cd "$0" && ctest --output-on-failure --timeout 600) || status=$?
  wineserver --kill || true
  kill "$bridge_process"
  exit "$status"' "$build" "$root" || status=$?
# The summary line, the reason of every skipped test, and every test
# program that wrote no results (it died before the end): each counts as a
# failed test, and fails the run.
programs="$(cd "$build" && ctest --show-only=json-v1 | python3 -c '
import json, os, sys
print(" ".join(os.path.splitext(os.path.basename(t["command"][-1]))[0] for t in json.load(sys.stdin)["tests"]))')"
python3 - "$build/results" $programs <<'SUMMARY' || status=1
import glob, os, sys, xml.etree.ElementTree as ET
results, programs = sys.argv[1], sys.argv[2:]
cases = [case for name in sorted(glob.glob(results + "/*.xml")) for case in ET.parse(name).iter("testcase")]
silent = [p for p in programs if not os.path.exists(os.path.join(results, p + ".xml"))]
skipped = [case for case in cases if case.find("skipped") is not None]
failed = [case for case in cases if case.find("failure") is not None]
print("Windows core under wine: %d tests, %d passed, %d skipped, %d failed"
      % (len(cases) + len(silent), len(cases) - len(skipped) - len(failed), len(skipped), len(failed) + len(silent)))
for case in skipped:
    reason = case.find("skipped").get("message", "").strip().splitlines()[-1]
    print("  skipped %s.%s: %s" % (case.get("classname"), case.get("name"), reason))
for program in silent:
    print("  failed %s: the program wrote no results" % program)
sys.exit(1 if silent else 0)
SUMMARY
exit "$status"
