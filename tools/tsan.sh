#!/usr/bin/env bash
# Builds the Telnet module and its tests with ThreadSanitizer and runs them;
# any report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-tsan"
cmake -S "$root" -B "$build" -DQZ_TSAN=ON -DQZ_BUILD_APP=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target telnet_tests >/dev/null
TSAN_OPTIONS="halt_on_error=1 abort_on_error=1 second_deadlock_stack=1" "$build/tests/telnet/telnet_tests" --gtest_brief=1
