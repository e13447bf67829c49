#!/usr/bin/env bash
# Makes the README's pictures (docs/*.png) from the real windows against the
# drone simulator, both on loopback, under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh kestrix_screenshots kestrix_sim

export KESTRIX_DRONE_ADDRESS=127.0.0.2
export KESTRIX_BIND_ADDRESS=127.0.0.1
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" build/tests/gui/kestrix_screenshots docs
