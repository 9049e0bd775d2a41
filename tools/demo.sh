#!/usr/bin/env bash
# Builds QZ Explorer and opens it in a demo working folder with a lab of
# emulated devices on loopback addresses; click Scan to find them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target QZ_explorer
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "QZ Explorer is built (build/bin/qz-explorer), but there is no display to open it on: set DISPLAY, or run under xvfb-run." >&2
  exit 1
fi
demo="$root/build/demo"
mkdir -p "$demo"
rm -rf "$demo/DeviceFiles"
cp -r "$root/DeviceFiles" "$demo/DeviceFiles"
# Scan range covering the lab; the demo never scans anything else.
printf '%s\r\n' 127.0.0.10 127.0.0.20 false kelvor stranix 100 2 true 100 > "$demo/QZexplorer.ini"
rm -f "$demo/QZdevices.cfg"
program=""
cleanup() {
  [[ -n "$program" ]] && kill "$program" 2>/dev/null || true
  python3 "$root/tools/device_lab.py" stop "$demo/lab"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
if [[ $(id -u) -eq 0 ]]; then
  python3 "$root/tools/device_lab.py" stop "$demo/lab"
  python3 "$root/tools/device_lab.py" start "$root/tools/lab/demo.lab" "$demo/lab"
else
  echo "Not root: the emulated devices need port 161, so the demo opens without them." >&2
fi
cd "$demo"
"$root/build/bin/qz-explorer" &
program=$!
wait "$program"
