#!/usr/bin/env bash
# Builds the formula engine with the portable switch dispatch instead of
# computed goto (-DTAVLO_COMPUTED_GOTO=0), in build-switch, and runs its tests.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake -S . -B build-switch -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLO_BUILD_TESTS=ON \
    -DCMAKE_CXX_FLAGS=-DTAVLO_COMPUTED_GOTO=0 >/dev/null
cmake --build build-switch -j"$(nproc)" --target tst_formula
ctest --test-dir build-switch --output-on-failure -R '^tst_formula$'
