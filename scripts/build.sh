#!/usr/bin/env bash
# Installs what is missing, configures build/ once and builds the given
# targets. Used by run.sh and screenshots.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j"$(nproc)" --target "$@"
