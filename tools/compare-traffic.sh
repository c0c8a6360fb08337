#!/usr/bin/env bash
# Runs one scripted session (bench/traffic_session.cpp: start-up, every
# control, changes at the mixer, every fault, a suspend) against the ardenix
# of two build directories' bin folders and compares the traffic the
# simulated mixer saw. Exits 0 when both builds put the same frames on the
# line and got the same replies; prints the difference otherwise.
#   tools/compare-traffic.sh BEFORE_BIN_DIR AFTER_BIN_DIR
# Each folder needs ardenix, its bitmaps, dorvane-sim and ardenix-traffic-session
# (a build's bin/ folder, or a copy of it).
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 BEFORE_BIN_DIR AFTER_BIN_DIR" >&2
    exit 2
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for side in 1 2; do
    dir=$(cd "${!side}" && pwd)
    ARDENIX_BIN_DIR="$dir" "$dir/ardenix-traffic-session" >"$out/$side.txt"
    echo "compare-traffic: ${!side}: $(wc -l <"$out/$side.txt") lines of traffic" >&2
done
if diff -u "$out/1.txt" "$out/2.txt"; then
    echo "compare-traffic: the same frames and replies, in the same order"
fi
