#!/usr/bin/env bash
# Sets up, builds, starts the installation simulator on 127.0.0.1 (or on
# $ZRA_SIM_ADDRESS) and then the tool beside it. Type the simulator's address
# into "Ip adr." and choose Akce > Connect. The simulator is stopped (by its
# process id) when the tool ends. When the simulator cannot start (port 9760
# taken on that address, say), the script says why and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build

address="${ZRA_SIM_ADDRESS:-127.0.0.1}"
sim_log="$(mktemp)"
./build/sim/zra-sim --address "$address" >"$sim_log" 2>&1 &
sim_pid=$!
trap 'kill -TERM "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$sim_log"' EXIT

# The simulator's first line tells that it serves; an early exit, that it could not.
for _ in $(seq 50); do
  if grep -q '^zra-sim: management .*, MODBUS ' "$sim_log"; then
    break
  fi
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "The simulator could not start on $address:" >&2
    cat "$sim_log" >&2
    echo "Stop what holds that address or choose another one, e.g. ZRA_SIM_ADDRESS=127.0.0.2 bash scripts/run.sh" >&2
    exit 1
  fi
  sleep 0.1
done
if ! grep -q '^zra-sim: management .*, MODBUS ' "$sim_log"; then
  echo "The simulator did not report that it serves within 5 s:" >&2
  cat "$sim_log" >&2
  exit 1
fi
head -n 1 "$sim_log"
echo "Type $address into \"Ip adr.\" and choose Akce > Connect."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the tool under xvfb-run." >&2
  xvfb-run -a ./build/app/pelix4-zra
else
  ./build/app/pelix4-zra
fi
