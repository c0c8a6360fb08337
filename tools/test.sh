#!/usr/bin/env bash
# Sets up the project (tools/setup.sh) and runs the whole test suite with ctest.
# Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build_dir=${ARDENIX_BUILD_DIR:-build}
cd "$build_dir"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j "$(nproc)" --timeout 300
