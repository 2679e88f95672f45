#!/usr/bin/env bash
# Configures and builds Zelvo in ./build (or $ZELVO_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZELVO_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${ZELVO_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
