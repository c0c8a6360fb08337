#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a fixed number of inputs from
# its seed corpus. Exits non-zero on the first crash.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${ARDENIX_FUZZ_RUNS:-20000}
dir=${ARDENIX_FUZZ_DIR:-build-fuzz}
if [ ! -f "$dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DARDENIX_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
fi
targets=$(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build "$dir" -j "$(nproc)" --target $targets
for t in $targets; do
    corpus=$(mktemp -d)
    if [ -d "tests/fuzz/corpus/$t" ]; then
        cp -r "tests/fuzz/corpus/$t/." "$corpus/"
    fi
    echo "fuzz: $t, $runs inputs"
    ASAN_OPTIONS=detect_leaks=0 "$dir/bin/$t" -runs="$runs" -seed=1 -max_len=100000 "$corpus" 2>&1 | tail -n 2
    rm -rf "$corpus"
done
echo "fuzz: all targets ran without a crash"
