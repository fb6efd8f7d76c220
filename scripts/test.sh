#!/usr/bin/env bash
# Builds and runs every test: the native and 32-bit Linux suites, then the
# 32-bit Windows build (the DLL users install, minihost and the test suite)
# with a check of the DLL's export table and imports, and the whole Windows
# suite under Wine against that DLL. Wine is required: when it cannot be
# installed or started, this says so and fails. Then the native suite again
# with address and undefined-behaviour sanitizers, the module's test
# programs under valgrind, and each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
log=$(mktemp)
wine_dir=
cleanup() {
  rm -f "$log"
  if [[ -n $wine_dir ]]; then
    WINEPREFIX=$wine_dir/prefix wineserver -k 2>/dev/null || true
    rm -rf "$wine_dir"
  fi
}
trap cleanup EXIT
passed=0
failed=0
# Adds the counts of a ctest summary ("N% tests passed, F tests failed out of T").
count() {
  local line total fails
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -z $line ]]; then
    echo "== no ctest summary: counted as one failure"
    failed=$((failed + 1))
    return
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  fails=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

status=0
for preset in native i386 win32 debug-asan; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [[ $preset == win32 ]]; then
    scripts/check-dll.sh build/win32/bin/tavinodes.dll
    # A temporary Wine prefix for this run alone, booted once here.
    if ! command -v wine >/dev/null 2>&1; then
      echo "== win32: Wine is not installed, so the Windows suite cannot run: FAILED" >&2
      echo "   (scripts/install-deps.sh installs it: i386 architecture, wine, wine32:i386)" >&2
      status=1
      failed=$((failed + 1))
      continue
    fi
    wine_dir=$(mktemp -d)
    export WINEPREFIX=$wine_dir/prefix WINEDEBUG=-all
    echo "== win32: starting Wine ($(wine --version)) in $WINEPREFIX"
    if ! scripts/run-wine.sh build/win32/bin/test_contracts.exe --gtest_list_tests >/dev/null; then
      echo "== win32: Wine does not start, so the Windows suite cannot run: FAILED" >&2
      status=1
      failed=$((failed + 1))
      continue
    fi
  fi
  echo "== $preset: tests"
  : >"$log"
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log" || status=1
  count
done

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
