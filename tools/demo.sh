#!/usr/bin/env bash
# Sets up the project (tools/setup.sh), starts the simulated mixer dorvane-sim
# and the panel against it, and stops the simulator when the panel closes.
# Arguments are passed to the panel (for example "d" for debug mode).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
bin=${ARDENIX_BUILD_DIR:-build}/bin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "demo: run it on a virtual X server instead:  xvfb-run -a bash tools/demo.sh" >&2
    exit 1
fi

runtime=$(mktemp -d "${TMPDIR:-/tmp}/ardenix-demo.XXXXXX")
fifo="$runtime/sim.in"
mkfifo "$fifo"
link="$runtime/dorvane-sim.tty"

cleanup() {
    [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    exec 3>&- 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

# The simulator reads its commands from the fifo (kept open on fd 3) and logs
# its traffic to a file next to it.
"$bin/dorvane-sim" --link "$link" <"$fifo" >"$runtime/sim.out" 2>"$runtime/sim.log" &
sim_pid=$!
exec 3>"$fifo"
for _ in $(seq 1 100); do
    [ -s "$runtime/sim.out" ] && break
    sleep 0.05
done
if [ ! -e "$link" ]; then
    echo "demo: the simulated mixer did not start; its log:" >&2
    cat "$runtime/sim.log" >&2
    exit 1
fi
echo "demo: simulated mixer on $link (traffic log: $runtime/sim.log)"
echo "demo: starting the panel; close it to end the demo."
ARDENIX_PORT="$link" "$bin/ardenix" "$@" || true
