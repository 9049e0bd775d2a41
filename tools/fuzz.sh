#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time on a copy of
# its seed corpus. A finding fails the run; libFuzzer's "Done N runs" line
# tells how many executions ran.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${QZ_FUZZ_SECONDS:-60}"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQZ_FUZZ=ON -DQZ_BUILD_APP=OFF -DQZ_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
declare -A share=([fuzz_decode_message]=1 [fuzz_ber_to_oid]=2 [fuzz_description_file]=2 [fuzz_telnet_parser]=2)
for target in fuzz_decode_message fuzz_ber_to_oid fuzz_description_file fuzz_telnet_parser; do
  corpus="$work/$target"
  cp -r "$root/fuzz/corpus/$target" "$corpus"
  time=$((seconds / ${share[$target]}))
  echo "== $target: ${time}s"
  (cd "$work" && "$build/fuzz/$target" -max_total_time="$time" -max_len=70000 -timeout=10 -rss_limit_mb=2048 \
     -print_final_stats=1 "$corpus" 2>"$work/$target.log") || { tail -50 "$work/$target.log"; exit 1; }
  grep -E '^Done [0-9]+ runs|stat::number_of_executed_units' "$work/$target.log" | head -2
done
