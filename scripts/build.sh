#!/usr/bin/env bash
# Installs what is missing, configures build/ once and builds the given
# targets. Used by run.sh and screenshots.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
if [ ! -f build/build.ninja ]; then
  # The same configuration as the test command (scripts/test.sh).
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
fi
cmake --build build -j"$(nproc)" --target "$@"
