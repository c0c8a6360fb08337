#!/usr/bin/env bash
# Sets up the project (tools/setup.sh) and runs the whole test suite with ctest:
# once in the normal build, once in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz targets for a fixed number of
# inputs. Exits non-zero when any test fails.
# ARDENIX_QUICK=1 runs only the normal build's tests.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

tools/setup.sh
echo "== tests (normal build)"
(cd "${ARDENIX_BUILD_DIR:-build}" && ctest --output-on-failure -j "$jobs" --timeout 300)

if [ "${ARDENIX_QUICK:-0}" = 1 ]; then
    exit 0
fi

echo "== tests (address and undefined-behaviour sanitizers)"
ARDENIX_BUILD_DIR=build-asan ARDENIX_BUILD_TYPE=Debug ARDENIX_CMAKE_ARGS=-DARDENIX_SANITIZE=ON tools/setup.sh
(cd build-asan && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" --timeout 600 -E "test_e2e|soak|test_demo" -LE packaging)

echo "== fuzzing"
tools/fuzz.sh
