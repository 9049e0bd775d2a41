#!/usr/bin/env bash
# Builds QZ Explorer and runs every test (as root, so the tests can run their
# emulated devices on port 161, send ICMP echoes and make network
# namespaces): the fuzz targets for a bounded time, the Qt-free modules under
# AddressSanitizer and UndefinedBehaviorSanitizer, the window's history and
# console tests under UndefinedBehaviorSanitizer, the Telnet hand-over under
# ThreadSanitizer, the Qt-free core cross-built for Windows under wine, then
# every CTest test of the build with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/fuzz.sh
bash tools/asan.sh
bash tools/ubsan.sh
bash tools/tsan.sh
bash tools/wine-tests.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure --timeout 600
