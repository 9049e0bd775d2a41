#!/usr/bin/env bash
# Builds the window and its tests with UndefinedBehaviorSanitizer (alone:
# offscreen Qt stays quick under it) in a build folder outside the source
# tree, and runs the window tests that open, use and close the history
# window and the console, where the window's objects are destroyed in the
# order Qt chooses. Unoptimised: the checks are the same and the compiler
# takes half the time. Any report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# One build folder per source tree, outside it, so that two clones never share one.
build="${QZ_UBSAN_BUILD:-${TMPDIR:-/tmp}/qz-explorer-ubsan-$(printf '%s' "$root" | md5sum | cut -c1-12)}"
cmake -S "$root" -B "$build" -DQZ_UBSAN=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$(nproc)" --target window_teardown_tests >/dev/null
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
QT_QPA_PLATFORM=offscreen "$build/tests/ui/window_teardown_tests" --gtest_brief=1 \
  --gtest_filter='HistoryTest.*:SafetyTest.*:ConsoleTest.*:-ConsoleTest.HostileFloods*'
