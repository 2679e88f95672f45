#!/usr/bin/env bash
# One command from a fresh Debian machine: install what is needed, build, run every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd "${ZELVO_BUILD_DIR:-build}"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
