#!/usr/bin/env bash
# Sets up, builds, starts the installation simulator on 127.0.0.1 and then the
# tool beside it. Type 127.0.0.1 into "Ip adr." and choose Akce > Connect.
# The simulator is stopped (by its process id) when the tool ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build

address="${ZRA_SIM_ADDRESS:-127.0.0.1}"
./build/sim/zra-sim --address "$address" &
sim_pid=$!
trap 'kill -TERM "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
sleep 0.5

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the tool under xvfb-run." >&2
  xvfb-run -a ./build/app/pelix4-zra
else
  ./build/app/pelix4-zra
fi
