#!/usr/bin/env bash
# Builds the Telnet module with its tests, the window with its console
# tests and the history with its recorder's tests, with ThreadSanitizer in a
# build folder outside the source tree, and runs them: the reader thread, the
# hand-over and the window's end of it, and the recorder's thread.
# Any report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# One build folder per source tree, outside it, so that two clones never share one.
build="${QZ_TSAN_BUILD:-${TMPDIR:-/tmp}/qz-explorer-tsan-$(printf '%s' "$root" | md5sum | cut -c1-12)}"
# -O1, as ThreadSanitizer advises: its reports are the same, the compile quicker.
cmake -S "$root" -B "$build" -DQZ_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" >/dev/null
cmake --build "$build" -j"$(nproc)" --target telnet_tests window_thread_tests history_tests >/dev/null
# Qt and SQLite are not built with ThreadSanitizer: what happens inside them
# (the lock of Qt's event queue among it) is invisible, so only reports that
# arise inside those libraries are left out. A race in our own code, the
# callables we post to the window's thread included, is reported.
suppressions="$build/tsan.supp"
printf '%s\n' 'called_from_lib:libQt6Core.so.6' 'called_from_lib:libQt6Gui.so.6' 'called_from_lib:libQt6Widgets.so.6' \
  'called_from_lib:libQt6Sql.so.6' 'called_from_lib:libQt6DBus.so.6' 'called_from_lib:libdbus-1.so.3' 'called_from_lib:libglib-2.0.so.0' 'called_from_lib:libqsqlite.so' 'called_from_lib:libsqlite3.so.0' >"$suppressions"
# die_after_fork=0: the tests start their peers (shells, agents, a bus) from
# a process that already runs threads.
export TSAN_OPTIONS="halt_on_error=1 abort_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$suppressions"
"$build/tests/telnet/telnet_tests" --gtest_brief=1
QT_QPA_PLATFORM=offscreen "$build/tests/ui/window_thread_tests" --gtest_brief=1 --gtest_filter='ConsoleTest.*:ConsoleScreen.*:FleetTest.*:InventoryExportTest.*:-ConsoleTest.HostileFloods*'
"$build/tests/history/history_tests" --gtest_brief=1 --gtest_filter='StoreTest.TheRecorder*/SQLite:HistoryFile.*'
