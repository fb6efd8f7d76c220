#!/usr/bin/env bash
# Builds and runs every test: native and 32-bit Linux suites, and the 32-bit
# Windows DLL with a check of its export table and imports.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
for preset in native i386; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs"
done

echo "== win32: build the DLL"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
scripts/check-dll.sh build/win32/bin/tavinodes.dll
