#!/usr/bin/env bash
# Builds Norva and runs every test: the normal build (with the desktop
# program), then the core under AddressSanitizer + UndefinedBehaviorSanitizer
# with the fuzz targets run for a bounded time. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)

cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build -j"$jobs" --output-on-failure

CC=clang CXX=clang++ cmake -G Ninja -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug \
  -DNORVA_SANITIZE=ON -DNORVA_GUI=OFF -DNORVA_BENCH=OFF -DNORVA_FUZZ=ON >/dev/null
ninja -C build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure

# Each fuzz target runs for a bounded time on the corpus it builds up.
for fuzzer in build-asan/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  mkdir -p "build-asan/corpus/$name"
  echo "fuzzing $name"
  "$fuzzer" -max_total_time="${NORVA_FUZZ_SECONDS:-10}" -print_final_stats=0 \
    "build-asan/corpus/$name" 2>&1 | tail -n 2
done
echo "all tests passed"
