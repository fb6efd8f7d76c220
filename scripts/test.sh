#!/usr/bin/env bash
# Builds and runs every test: native and 32-bit Linux suites, the native
# suite again with address and undefined-behaviour sanitizers, the 32-bit
# Windows DLL with a check of its export table and imports, the module's
# test programs under valgrind, and each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
passed=0
failed=0
# Adds the counts of a ctest summary ("N% tests passed, F tests failed out of T").
count() {
  local line total fails
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  fails=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

status=0
for preset in native i386 debug-asan; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log" || status=1
  count
done

echo "== win32: build the DLL"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
scripts/check-dll.sh build/win32/bin/tavinodes.dll

# Each valgrind program and each fuzz target counts as one test.
tally() {
  local line
  line=$(grep -E "^$1: [0-9]+ clean, [0-9]+ failed" "$log" | tail -n 1)
  if [[ -z $line ]]; then
    failed=$((failed + 1)) # the step stopped before its summary
    return
  fi
  passed=$((passed + $(sed -E 's/.*: ([0-9]+) clean.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.*clean, ([0-9]+) failed/\1/' <<<"$line")))
}

echo "== valgrind memcheck: the module's test programs (native build)"
scripts/memcheck.sh build/native 2>&1 | tee "$log" || status=1
tally memcheck

echo "== fuzz: each target for ${TAVI_FUZZ_SECONDS:-60} s"
scripts/fuzz.sh "${TAVI_FUZZ_SECONDS:-60}" 2>&1 | tee "$log" || status=1
tally fuzz

echo "$passed passed, $failed failed"
exit $status
