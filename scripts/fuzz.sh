#!/usr/bin/env bash
# Builds the libFuzzer target with clang and runs it for SECONDS on a scratch
# copy of the committed seed corpus. Crash, leak, timeout and OOM reproducers
# go to fuzz/artifacts/ (git-ignored). Exits non-zero on any finding.
#
#   scripts/fuzz.sh SECONDS [extra libFuzzer flags...]
#   scripts/fuzz.sh --build-only
#
# The build directory is configured once, on first use.
# KESTRIX_FUZZ_BUILD overrides the build directory (default build-fuzz).
set -euo pipefail

build_only=0
if [[ $# -eq 1 && "$1" == --build-only ]]; then
  build_only=1
elif [[ $# -lt 1 || ! "$1" =~ ^[0-9]+$ || "$1" -lt 1 ]]; then
  echo "usage: $0 SECONDS [libFuzzer flags...] | $0 --build-only" >&2
  exit 2
fi
seconds=$1
shift

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KESTRIX_FUZZ_BUILD:-$root/build-fuzz}
artifacts=$root/fuzz/artifacts
jobs=${KESTRIX_FUZZ_JOBS:-2}

if [[ ! -f "$build/build.ninja" ]]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIX_FUZZ=ON >/dev/null
fi
cmake --build "$build" --target fuzz_navdata -j"$jobs"
[[ $build_only -eq 0 ]] || exit 0

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrix-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -R "$root/fuzz/corpus/." "$work/"
mkdir -p "$artifacts"

echo "fuzz_navdata: ${seconds}s, $(ls "$work" | wc -l) seeds, artifacts in $artifacts"
status=0
"$build/fuzz/fuzz_navdata" \
  -max_total_time="$seconds" \
  -max_len=16384 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -malloc_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix="$artifacts/" \
  "$@" \
  "$work" || status=$?

if [[ $status -ne 0 ]]; then
  echo "fuzz_navdata FAILED (exit $status); reproducers:" >&2
  ls -l "$artifacts" >&2 || true
  echo "reproduce with: $build/fuzz/fuzz_navdata $artifacts/<file>" >&2
  exit "$status"
fi
echo "fuzz_navdata: no findings in ${seconds}s"
