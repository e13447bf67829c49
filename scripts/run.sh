#!/usr/bin/env bash
# Builds what is needed and runs the tool against the built-in drone simulator,
# both on loopback: the simulator at 127.0.0.2, the tool bound to 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh kestrix_diagnostics kestrix_sim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
No display found. The tool is a windowed program; run it under a virtual X server:
    xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/run.sh
(the Xvfb package is installed by this script), or from a desktop session.
MSG
  exit 2
fi

export KESTRIX_DRONE_ADDRESS=127.0.0.2
export KESTRIX_BIND_ADDRESS=127.0.0.1

sim=$(find build -type f -name kestrix_sim -perm -u+x | head -n 1)
tool=$(find build -type f -name kestrix_diagnostics -perm -u+x | head -n 1)

"$sim" --address 127.0.0.2 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
sleep 0.3
kill -0 "$sim_pid" 2>/dev/null || { echo "the drone simulator did not start" >&2; exit 1; }

echo "kestrix_sim runs at 127.0.0.2 (pid $sim_pid); starting kestrix_diagnostics. Close its main window to stop both."
"$tool"
