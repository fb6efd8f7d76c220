#!/usr/bin/env bash
# Builds the native tools and runs the main job on the built-in default.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target tavi tavinodes
build/native/bin/tavi servers "$@"
