#!/usr/bin/env bash
# Sets up the project (tools/setup.sh), starts the simulated mixer dorvane-sim
# and the panel against it, and stops the simulator when the panel closes.
# Arguments are passed to the panel (for example "d" for debug mode).
#
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) the demo runs by
# itself: the panel on a private virtual X server (Xvfb), a few changes made at
# the simulated mixer's front panel, then a screenshot of the mirrored panel
# and the simulator's traffic log are written, their paths printed, and
# everything is stopped. They go to $ARDENIX_DEMO_OUT (default build/demo).
#
# ARDENIX_BIN_DIR=<folder> uses the programs built there and skips the setup.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${ARDENIX_BIN_DIR:-}" ]; then
    bin=$ARDENIX_BIN_DIR
else
    tools/setup.sh
    bin=${ARDENIX_BUILD_DIR:-build}/bin
fi

headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=1
fi

runtime=$(mktemp -d "${TMPDIR:-/tmp}/ardenix-demo.XXXXXX")
fifo="$runtime/sim.in"
mkfifo "$fifo"
link="$runtime/dorvane-sim.tty"

# Stops what the demo started, the panel first, then the simulator and the
# virtual X server.
stop_process() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cleanup() {
    stop_process "${panel_pid:-}"
    stop_process "${sim_pid:-}"
    stop_process "${xvfb_pid:-}"
    exec 3>&- 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

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

if [ "$headless" = 0 ]; then
    echo "demo: simulated mixer on $link (traffic log: $runtime/sim.log)"
    echo "demo: starting the panel; close it to end the demo."
    ARDENIX_PORT="$link" "$bin/ardenix" "$@" || true
    exit 0
fi

# --- Without a display: the demo runs by itself on a private X server.
out=${ARDENIX_DEMO_OUT:-$(dirname "$bin")/demo}
mkdir -p "$out"
screenshot="$out/ardenix-demo.png"
log="$out/dorvane-sim.log"
rm -f "$screenshot" "$log"

fail() {
    echo "demo: $*" >&2
    for f in "$runtime/xvfb.log" "$runtime/panel.log" "$runtime/sim.log"; do
        if [ -s "$f" ]; then
            echo "--- $(basename "$f")" >&2
            tail -n 20 "$f" >&2
        fi
    done
    exit 1
}

# Waits up to $1 tenths of a second for the command in the remaining
# arguments to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq 1 "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# The X server picks a free display itself (-displayfd) and lets in only the
# holders of a fresh cookie (the server reads every cookie in its -auth file,
# whatever display it names).
xauthority="$runtime/Xauthority"
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
touch "$xauthority"
xauth -q -f "$xauthority" add :0 MIT-MAGIC-COOKIE-1 "$cookie"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp -auth "$xauthority" \
    4>"$runtime/display" >"$runtime/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 200 test -s "$runtime/display" || fail "the virtual X server did not start"
display=":$(tr -dc 0-9 <"$runtime/display")"
xauth -q -f "$xauthority" add "$display" MIT-MAGIC-COOKIE-1 "$cookie"
export DISPLAY=$display XAUTHORITY=$xauthority
echo "demo: no display; the panel runs on a private virtual display ($DISPLAY)"

# The panel on it, with a runtime folder of its own: another panel running on
# this machine does not count as an earlier instance of this one.
mkdir -m 700 "$runtime/xdg"
XDG_RUNTIME_DIR="$runtime/xdg" QT_QPA_PLATFORM=xcb ARDENIX_PORT="$link" \
    "$bin/ardenix" "$@" >"$runtime/panel.log" 2>&1 &
panel_pid=$!

# The panel window shows once the mixer has been read.
panel_window() {
    window=$(xdotool search --onlyvisible --name '^Ardenix' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}
wait_for 600 panel_window || fail "the panel window did not show"

rast_count() { grep -c ' rx RAST$' "$runtime/sim.log" || true; }
answers() { wc -l <"$runtime/sim.out"; }

# A few changes at the mixer's front panel, as someone at the mixer makes them.
commands=("set mute A on" "set level B 20" "set input 3")
before=$(answers)
for command in "${commands[@]}"; do
    echo "demo: at the mixer: $command"
    printf '%s\n' "$command" >&3
done
all_answered() { [ "$(answers)" -ge $((before + ${#commands[@]})) ]; }
wait_for 100 all_answered || fail "the simulated mixer did not answer its commands"
if grep -q '^error' "$runtime/sim.out"; then
    fail "the simulated mixer refused a command: $(grep '^error' "$runtime/sim.out")"
fi

# Two status polls after the changes: the panel has mirrored them.
polls=$(rast_count)
two_more_polls() { [ "$(rast_count)" -ge $((polls + 2)) ]; }
wait_for 300 two_more_polls || fail "the panel stopped polling the mixer"
sleep 0.5 # the repaint

import -window "$window" "$screenshot" || fail "no screenshot"

stop_process "$panel_pid"
panel_pid=
stop_process "$sim_pid"
sim_pid=
cp "$runtime/sim.log" "$log"
echo "demo: screenshot of the panel: $screenshot"
echo "demo: traffic log of the simulated mixer: $log"
