#!/usr/bin/env bash
# Builds QZ Explorer and runs every test (as root, so the tests can run their
# emulated devices on port 161, send ICMP echoes and make network
# namespaces): the fuzz targets for a bounded time, the Telnet module under
# ThreadSanitizer, then every CTest test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/fuzz.sh
bash tools/tsan.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure --timeout 600
