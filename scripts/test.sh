#!/usr/bin/env bash
# One command from a fresh Debian machine: install what is needed, build, run every test.
# The suite runs on the plain build, then on a build under AddressSanitizer and
# UndefinedBehaviorSanitizer (ZELVO_SANITIZED=0 leaves it out), and the threaded tests
# (download, store, cli, platform) once more under ThreadSanitizer (ZELVO_TSAN=0 leaves it out).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

run_suite() {
    local build=$1
    shift
    (cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@")
}

# A sanitized build: -O1 keeps its suite fast enough; benchmarks are not run, so not built.
configure_sanitized() {
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELVO_SANITIZE="$2" \
        -DZELVO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
}

threaded_labels=${ZELVO_TSAN_LABELS:-'download|store|cli|platform'}

# The threaded tests and the programs they start.
threaded_targets() {
    (cd "$1" && ctest -N -L "$threaded_labels" | sed -n 's/^ *Test *#[0-9]*: //p')
    echo store_child zelvo-cli
}

build=${ZELVO_BUILD_DIR:-build}
ZELVO_BUILD_DIR=$build scripts/build.sh
run_suite "$build"

if [[ ${ZELVO_SANITIZED:-1} != 0 ]]; then
    configure_sanitized "$build-asan" address,undefined
    cmake --build "$build-asan" --parallel "$(nproc)"
    run_suite "$build-asan"
fi
if [[ ${ZELVO_TSAN:-1} != 0 ]]; then
    # Only what the threaded tests need: no desktop application, no window tests.
    configure_sanitized "$build-tsan" thread
    cmake --build "$build-tsan" --parallel "$(nproc)" --target $(threaded_targets "$build-tsan")
    run_suite "$build-tsan" -L "$threaded_labels"
fi
