#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite in a normal
# build, the suite again under AddressSanitizer + UndefinedBehaviorSanitizer,
# then a bounded fuzzing run of the decoder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

# Everything the tests start talks to loopback only.
export KESTRIX_DRONE_ADDRESS=127.0.0.2
export KESTRIX_BIND_ADDRESS=127.0.0.1
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 0700 "$XDG_RUNTIME_DIR"
jobs=$(nproc)

echo "== build and test (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j2 --timeout 300

echo "== build and test under ASan + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTRIX_SANITIZE=ON -DKESTRIX_BENCH=OFF
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j2 --timeout 600

echo "== fuzz the decoder (${KESTRIX_FUZZ_SECONDS:-60} s)"
bash scripts/fuzz.sh "${KESTRIX_FUZZ_SECONDS:-60}"
echo "== all tests passed"
