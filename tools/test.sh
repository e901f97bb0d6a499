#!/usr/bin/env bash
# Builds Tavlo with its tests (installing what is missing), runs every test,
# then builds the Debian package and checks it (tools/check_package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset release -DTAVLO_BUILD_TESTS=ON >/dev/null
cmake --build build -j"$(nproc)"
ctest --preset release -j"$(nproc)"
tools/check_package.sh
