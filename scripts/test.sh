#!/usr/bin/env bash
# One command from a fresh Debian machine: install what is needed, build, run every test.
# The suite runs twice: on the plain build, and on a build under AddressSanitizer and
# UndefinedBehaviorSanitizer (ZELVO_SANITIZED=0 leaves that one out).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

run_suite() {
    (cd "$1" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
}

build=${ZELVO_BUILD_DIR:-build}
ZELVO_BUILD_DIR=$build scripts/build.sh
run_suite "$build"

if [[ ${ZELVO_SANITIZED:-1} != 0 ]]; then
    sanitized=${ZELVO_SANITIZED_BUILD_DIR:-$build-asan}
    # -O1 keeps the sanitized suite fast enough; benchmarks are not run, so not built.
    ZELVO_BUILD_DIR=$sanitized ZELVO_BUILD_TYPE=Debug scripts/build.sh \
        -DZELVO_SANITIZE=address,undefined -DZELVO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
    run_suite "$sanitized"
fi
