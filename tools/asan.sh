#!/usr/bin/env bash
# Builds and runs every test with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset asan -DTAVLO_BUILD_TESTS=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
ctest --preset asan -j"$(nproc)"
