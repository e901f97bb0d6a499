#!/usr/bin/env bash
# Builds the benchmarks (installing Google Benchmark and muparser if missing) in
# build-bench, Release, and runs them side by side.
#   tools/bench.sh                 build and run (medians of 5 repetitions)
#   tools/bench.sh --build-only    build only (CI keeps the benchmarks compiling)
#   tools/bench.sh -- ARGS...      build and run with these benchmark arguments
#   tools/bench.sh --icount        build and count instructions per evaluation and per
#                                  compilation under callgrind (deterministic, ~10 s)
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
icount=0
args=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)
while [ $# -gt 0 ]; do
    case "$1" in
    --build-only) build_only=1 ;;
    --icount) icount=1 ;;
    --) shift; args=("$@"); break ;;
    *) echo "usage: $0 [--build-only | --icount] [-- benchmark-args...]" >&2; exit 2 ;;
    esac
    shift
done

extra=()
[ "$icount" -eq 1 ] && extra=(valgrind)
tools/setup.sh libbenchmark-dev libmuparser-dev "${extra[@]}"
cmake -S . -B build-bench -DTAVLO_BUILD_BENCH=ON -DTAVLO_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(bench_engine bench_redraw bench_points tavlo_digest)
[ "$icount" -eq 1 ] && targets+=(eval_icount)
cmake --build build-bench -j"$(nproc)" --target "${targets[@]}"
[ "$build_only" -eq 1 ] && exit 0

if [ "$icount" -eq 1 ]; then
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
    valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out/cg" \
        build-bench/bench/eval_icount >"$out/stdout" 2>/dev/null
    read -r evals compiles < <(sed -n 's/^per \([0-9]*\) evaluations, \([0-9]*\) compilations$/\1 \2/p' \
        "$out/stdout")
    bench/icount_table.py "$out" "$evals" "$compiles" <"$out/stdout"
    exit 0
fi

build-bench/bench/bench_engine "${args[@]}"
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_redraw "${args[@]}"
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_points "${args[@]}"
