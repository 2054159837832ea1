#!/usr/bin/env bash
# Builds Norva and runs every test: the normal build (with the desktop
# program) and its tests, then the core under AddressSanitizer +
# UndefinedBehaviorSanitizer and its tests, each fuzz target for a bounded
# time, and the package check when scripts/check-package.sh exists. Every
# stage runs even when an earlier one failed (a stage that needs a failed
# build is reported as not run); the end lists each stage's result, and the
# script fails when any stage failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh || { echo "scripts/deps.sh failed: nothing was built"; exit 1; }

jobs=$(nproc)
# A test whose tool scripts/deps.sh installs fails here when the tool is missing.
export NORVA_REQUIRE_TOOLS=1

stages=()
results=()
failed=0

# stage NAME COMMAND...: runs the command as one stage and records its result.
stage() {
  local name=$1
  shift
  echo "=== $name"
  if "$@"; then
    results+=("passed")
  else
    results+=("FAILED")
    failed=1
  fi
  stages+=("$name")
}
skipped() {
  stages+=("$1")
  results+=("not run ($2)")
  failed=1
}

build_normal() {
  cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null && ninja -C build -j"$jobs"
}
test_normal() {
  QT_QPA_PLATFORM=offscreen ctest --test-dir build -j"$jobs" --output-on-failure -LE fbb
}
# The visits to F6FBB (label fbb): each test starts xfbbd and a headless
# Norva on tncsim; a stage of their own, so the table names them.
test_fbb() {
  ctest --test-dir "$1" -j"$jobs" --output-on-failure -L fbb
}
build_asan() {
  CC=clang CXX=clang++ cmake -G Ninja -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug \
    -DNORVA_SANITIZE=ON -DNORVA_GUI=OFF -DNORVA_BENCH=OFF -DNORVA_FUZZ=ON >/dev/null &&
    ninja -C build-asan -j"$jobs"
}
test_asan() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j"$jobs" --output-on-failure -LE fbb
}
test_fbb_asan() {
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 test_fbb build-asan
}
# Each fuzz target runs for a bounded time on the corpus it builds up; a
# crash or a sanitizer report ends it with a non-zero status.
fuzz() {
  local fuzzer=$1 name
  name=$(basename "$fuzzer")
  mkdir -p "build-asan/corpus/$name"
  "$fuzzer" -max_total_time="${NORVA_FUZZ_SECONDS:-10}" -print_final_stats=0 \
    "build-asan/corpus/$name" >"build-asan/$name.log" 2>&1
  local rc=$?
  tail -n 2 "build-asan/$name.log"
  return $rc
}

if stage "normal build" build_normal; then
  stage "normal tests" test_normal
  stage "FBB tests" test_fbb build
else
  skipped "normal tests" "normal build failed"
  skipped "FBB tests" "normal build failed"
fi

if stage "ASan build" build_asan; then
  stage "ASan tests" test_asan
  stage "ASan FBB tests" test_fbb_asan
  found=0
  for fuzzer in build-asan/fuzz/fuzz_*; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    found=1
    stage "fuzz $(basename "$fuzzer")" fuzz "$fuzzer"
  done
  [ "$found" -eq 1 ] || skipped "fuzz targets" "none built"
else
  skipped "ASan tests" "ASan build failed"
  skipped "ASan FBB tests" "ASan build failed"
  skipped "fuzz targets" "ASan build failed"
fi

if [ -f scripts/check-package.sh ]; then
  if [ "${results[0]}" = "passed" ]; then
    stage "package" bash scripts/check-package.sh build
  else
    skipped "package" "normal build failed"
  fi
fi

echo
echo "=== results"
for i in "${!stages[@]}"; do
  printf '  %-24s %s\n' "${stages[$i]}" "${results[$i]}"
done
if [ "$failed" -ne 0 ]; then
  echo "some stages failed"
  exit 1
fi
echo "all tests passed"
