#!/usr/bin/env bash
# Runs the test programs that load the module under valgrind memcheck: any
# invalid read or write, use of uninitialised memory or definite leak fails
# the program. No suppressions. Stress tests run fewer cycles here, as
# valgrind is some thirty times slower and a fault shows in any cycle.
#
#   scripts/memcheck.sh [BUILD_DIR]     (default build/native, built already)
#
# Prints one line per program and ends with "memcheck: N clean, N failed".
# Tests that count allocations through their own operator new are left out:
# valgrind replaces that operator, so their counter sees nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/native}
programs=(loader contracts host streams nodes render scenefile imgfilter pixfilter stress fuzz)
logs="$build/memcheck"
mkdir -p "$logs"

clean=0
failed=0
for name in "${programs[@]}"; do
  program="$build/bin/test_$name"
  if [[ ! -x $program ]]; then
    echo "memcheck: $program is missing"
    failed=$((failed + 1))
    continue
  fi
  log="$logs/test_$name.log"
  start=$SECONDS
  if TAVI_STRESS_CYCLES=${TAVI_STRESS_CYCLES:-60} valgrind --tool=memcheck --error-exitcode=99 \
      --leak-check=full --errors-for-leak-kinds=definite --show-leak-kinds=definite \
      --track-fds=no --num-callers=30 --quiet "$program" --gtest_brief=1 \
      --gtest_filter='-*AllocatesNothing*' >"$log" 2>&1; then
    echo "memcheck: test_$name clean ($((SECONDS - start)) s)"
    clean=$((clean + 1))
  else
    echo "memcheck: test_$name FAILED ($((SECONDS - start)) s); the end of $log:"
    tail -n 60 "$log"
    failed=$((failed + 1))
  fi
done

echo "memcheck: $clean clean, $failed failed"
((failed == 0))
