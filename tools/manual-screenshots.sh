#!/usr/bin/env bash
# Makes the manual's pictures again from the real window on the demo's device
# lab, under Xvfb (as root: the lab's agents use port 161). Run it when the
# window changes; the manual_screenshots test says when.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target manual_screenshots
mkdir -p "$root/docs/manual/images"
QZ_MANUAL_IMAGES="$root/docs/manual/images" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/tests/ui/manual_screenshots"
