#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, every library they link
# instrumented for coverage, AddressSanitizer and UndefinedBehaviorSanitizer,
# in a build folder outside the source tree, and runs each for a bounded time
# on a copy of its seed corpus. A finding fails the run; libFuzzer's "Done N
# runs" line tells how many executions ran. QZ_FUZZ_SECONDS sets the time
# (60 by default, shared out among the targets); QZ_FUZZ_RUNS, when set, runs
# each target for that many executions instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${QZ_FUZZ_SECONDS:-60}"
# One build folder per source tree, outside it, so that two clones never share one.
build="${QZ_FUZZ_BUILD:-${TMPDIR:-/tmp}/qz-explorer-fuzz-$(printf '%s' "$root" | md5sum | cut -c1-12)}"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQZ_FUZZ=ON -DQZ_BUILD_APP=OFF -DQZ_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
# libFuzzer only sees the code that carries coverage counters.
for library in "$build"/src/snmp/libqz_snmp.a "$build"/src/core/libqz_core.a "$build"/src/telnet/libqz_telnet.a; do
  if [[ $(nm "$library" 2>/dev/null | grep -c '__sanitizer_cov') -eq 0 ]]; then
    echo "fuzz: $library has no coverage instrumentation" >&2
    exit 1
  fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
targets=(fuzz_decode_message fuzz_decode_trap fuzz_ber_to_oid fuzz_description_file fuzz_telnet_parser fuzz_text_files)
declare -A share=([fuzz_decode_message]=1 [fuzz_decode_trap]=4 [fuzz_ber_to_oid]=2 [fuzz_description_file]=2 [fuzz_telnet_parser]=2
                  [fuzz_text_files]=2)
# A datagram can be 64 KiB; the files and streams show their faults in less.
declare -A max_len=([fuzz_decode_message]=70000 [fuzz_decode_trap]=70000 [fuzz_ber_to_oid]=4096 [fuzz_description_file]=8192
                    [fuzz_telnet_parser]=8192 [fuzz_text_files]=8192)
# One target a processor at a time: each is a single process, and the run
# takes the time of the longest ones, not of all of them together.
fuzz_target() {
  local target="$1" corpus="$work/$1" limit
  cp -r "$root/fuzz/corpus/$target" "$corpus"
  if [[ -n "${QZ_FUZZ_RUNS:-}" ]]; then
    limit=(-runs="$QZ_FUZZ_RUNS")
    echo "== $target: $QZ_FUZZ_RUNS runs" >"$work/$target.summary"
  else
    limit=(-max_total_time=$((seconds / ${share[$target]})))
    echo "== $target: ${limit[0]#*=}s" >"$work/$target.summary"
  fi
  mkdir "$work/$target.run"
  (cd "$work/$target.run" && "$build/fuzz/$target" "${limit[@]}" -max_len="${max_len[$target]}" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 "$corpus" 2>"$work/$target.log") || { tail -50 "$work/$target.log"; return 1; }
  grep -E '^Done [0-9]+ runs|stat::number_of_executed_units' "$work/$target.log" | head -2 >>"$work/$target.summary"
}
running=0
for target in "${targets[@]}"; do
  if (( running == $(nproc) )); then
    wait -n || exit 1
    running=$((running - 1))
  fi
  fuzz_target "$target" &
  running=$((running + 1))
done
while (( running > 0 )); do
  wait -n || exit 1
  running=$((running - 1))
done
for target in "${targets[@]}"; do cat "$work/$target.summary"; done
