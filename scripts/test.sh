#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the suites in a normal build (build/),
#   2. the suites again under AddressSanitizer + UndefinedBehaviorSanitizer
#      (build-asan/),
#   3. the suites that start threads under ThreadSanitizer (build-tsan/); any
#      report fails its suite,
#   4. a bounded fuzzing run of the decoder (build-fuzz/).
# Each build is configured once and builds only what its tests use. The
# sanitizer and fuzzing builds compile at the lowest CPU priority while the
# tests before them run (those mostly wait on sockets and timers), so the
# tests keep the processor whenever they need it. The fuzzing run follows its
# build, at normal priority, beside the ThreadSanitizer suites (their window
# suites keep to the first CPU).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$SECONDS
stage() { echo "== $* [$((SECONDS - start)) s]"; }

stage "install what is missing"
bash scripts/install-deps.sh

# Everything the tests start talks to loopback only.
export KESTRIX_DRONE_ADDRESS=127.0.0.2
export KESTRIX_BIND_ADDRESS=127.0.0.1
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 0700 "$XDG_RUNTIME_DIR"
jobs=$(nproc)
fuzz_seconds=${KESTRIX_FUZZ_SECONDS:-60}
logs=$(mktemp -d "${TMPDIR:-/tmp}/kestrix-test.XXXXXX")

stage "configure"
# The sanitizer builds: -O1 (the sanitizers' own advice: several times faster
# tests than -O0, every check kept) and line tables only for the reports.
sanitizer_flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1")
# The normal build: optimised as released, with line tables only (what a
# failing test's backtrace needs; full debug information costs a fifth of the
# compile time).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DKESTRIX_BENCH=OFF >"$logs/configure.log"
cmake -S . -B build-asan -G Ninja "${sanitizer_flags[@]}" -DKESTRIX_SANITIZE=ON -DKESTRIX_BENCH=OFF >>"$logs/configure.log"
cmake -S . -B build-tsan -G Ninja "${sanitizer_flags[@]}" -DKESTRIX_TSAN=ON -DKESTRIX_BENCH=OFF >>"$logs/configure.log"

stage "build (RelWithDebInfo)"
cmake --build build -j"$jobs"

# The other builds, one after the other, in the background at nice 19, then
# the fuzzing run. Each step writes NAME.log and, when done, NAME.rc; the
# first failure stops the rest.
background_builds() {
  local name
  for name in asan tsan fuzz; do
    local rc=0
    case $name in
      asan | tsan) nice -n 19 cmake --build "build-$name" --target kestrix_tests -j"$jobs" >"$logs/$name.log" 2>&1 || rc=$? ;;
      fuzz) { nice -n 19 bash scripts/fuzz.sh --build-only && bash scripts/fuzz.sh "$fuzz_seconds"; } >"$logs/$name.log" 2>&1 || rc=$? ;;
    esac
    echo "$rc" >"$logs/$name.rc"
    [ "$rc" -eq 0 ] || return "$rc"
  done
}
set -m # own process group, so that a failure below can stop it with all its compilers
background_builds &
builds=$!
set +m
trap 'kill -- -"$builds" 2>/dev/null || true; rm -rf "$logs"' EXIT

# Waits for the background step NAME, shows its output and fails with it.
wait_for_build() {
  while [ ! -f "$logs/$1.rc" ]; do
    if ! kill -0 "$builds" 2>/dev/null && [ ! -f "$logs/$1.rc" ]; then
      cat "$logs/$1.log" 2>/dev/null || true
      echo "the $1 build did not run" >&2
      return 1
    fi
    sleep 1
  done
  cat "$logs/$1.log"
  return "$(cat "$logs/$1.rc")"
}

stage "test (RelWithDebInfo)"
ctest --test-dir build --output-on-failure -j2 --timeout 300

stage "build under ASan + UBSan (compiled in the background meanwhile)"
wait_for_build asan
stage "test under ASan + UBSan"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j2 --timeout 600

stage "build under TSan (compiled in the background meanwhile)"
wait_for_build tsan
stage "test the suites that start threads under TSan"
ctest --test-dir build-tsan --output-on-failure -j2 --timeout 600

stage "fuzz the decoder (${fuzz_seconds} s, run in the background meanwhile)"
wait_for_build fuzz
stage "all tests passed"
