#!/usr/bin/env bash
# Sets up the project (tools/setup.sh) and starts the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build_dir=${ARDENIX_BUILD_DIR:-build}
if [ ! -x "$build_dir/bin/dorvane-sim" ]; then
    echo "demo: the simulated mixer is not built yet; starting the panel alone (it will not find a mixer)."
    exec "$build_dir/bin/ardenix" "$@"
fi
