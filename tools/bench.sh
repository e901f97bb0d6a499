#!/usr/bin/env bash
# Builds the benchmarks (installing Google Benchmark and muparser if missing) in
# build-bench, Release, and runs them side by side.
#   tools/bench.sh                 build and run (medians of 5 repetitions)
#   tools/bench.sh --build-only    build only (CI keeps the benchmarks compiling)
#   tools/bench.sh -- ARGS...      build and run with these benchmark arguments
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
args=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)
while [ $# -gt 0 ]; do
    case "$1" in
    --build-only) build_only=1 ;;
    --) shift; args=("$@"); break ;;
    *) echo "usage: $0 [--build-only] [-- benchmark-args...]" >&2; exit 2 ;;
    esac
    shift
done

tools/setup.sh libbenchmark-dev libmuparser-dev
cmake -S . -B build-bench -DTAVLO_BUILD_BENCH=ON -DTAVLO_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" --target bench_engine bench_redraw tavlo_digest
[ "$build_only" -eq 1 ] && exit 0

build-bench/bench/bench_engine "${args[@]}"
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_redraw "${args[@]}"
