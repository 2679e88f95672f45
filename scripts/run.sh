#!/usr/bin/env bash
# One command from a fresh Debian machine: install what is needed, build, start Zelvo.
# Arguments go to zelvo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    echo "No display to show Zelvo on (DISPLAY and WAYLAND_DISPLAY are unset); without one, use build/bin/zelvo-cli --help" >&2
    exit 1
fi
exec build/bin/zelvo "$@"
