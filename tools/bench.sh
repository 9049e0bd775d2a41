#!/usr/bin/env bash
# Builds and runs the benchmarks; they print figures and never fail on them.
# As root they also start emulated devices for the round trip, fill and scan
# figures (asking 255 addresses one after the other, as a comparison, takes
# a minute, and the /16 another).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" -DQZ_BENCH=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target snmp_bench window_bench scan_bench console_bench history_bench fleet_bench >/dev/null
"$root/build/bench/snmp_bench" --benchmark_min_time=2
"$root/build/bench/window_bench"
"$root/build/bench/scan_bench"
"$root/build/bench/console_bench"
"$root/build/bench/fleet_bench"
"$root/build/bench/history_bench"
