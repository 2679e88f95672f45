#!/usr/bin/env bash
# One command from a fresh Debian machine: install what is needed, build, start Zelvo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/bin/zelvo-cli "${@:---help}"
