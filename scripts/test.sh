#!/usr/bin/env bash
# One command from a fresh Debian machine: install what is needed, build, run every test.
# The suite runs on the plain build, then on a build under AddressSanitizer and
# UndefinedBehaviorSanitizer (ZELVO_SANITIZED=0 leaves it out). With ZELVO_TSAN=1 the threaded
# tests (download, store, cli, platform) run again on a build under ThreadSanitizer; it is off
# by default until the reports it still gives are mended.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

run_suite() {
    local build=$1
    shift
    (cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@")
}

# A sanitized build: -O1 keeps its suite fast enough; benchmarks are not run, so not built.
build_sanitized() {
    ZELVO_BUILD_DIR=$1 ZELVO_BUILD_TYPE=Debug scripts/build.sh \
        -DZELVO_SANITIZE="$2" -DZELVO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
}

build=${ZELVO_BUILD_DIR:-build}
ZELVO_BUILD_DIR=$build scripts/build.sh
run_suite "$build"

if [[ ${ZELVO_SANITIZED:-1} != 0 ]]; then
    build_sanitized "$build-asan" address,undefined
    run_suite "$build-asan"
fi
if [[ ${ZELVO_TSAN:-0} != 0 ]]; then
    build_sanitized "$build-tsan" thread
    run_suite "$build-tsan" -L 'download|store|cli|platform'
fi
