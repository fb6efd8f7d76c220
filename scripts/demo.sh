#!/usr/bin/env bash
# Builds the native tools and runs the main job on the built-in default:
# `tavi demo`, which writes its images into tavi-demo/ (or -o DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target tavi tavinodes
build/native/bin/tavi demo "$@"
