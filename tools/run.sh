#!/usr/bin/env bash
# Builds Tavlo (installing what is missing) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset release -DTAVLO_BUILD_TESTS=OFF >/dev/null
cmake --build build --target tavlo -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "Tavlo is built (build/app/tavlo) but there is no display to show it on." >&2
    echo "Run it from a desktop session, or set DISPLAY (for example under Xvfb)." >&2
    exit 1
fi
exec build/app/tavlo "$@"
