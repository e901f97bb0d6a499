#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang and runs each for a bounded
# time on a copy of its seed corpus. Fails on any crash, hang, leak or
# sanitizer report.
#
#   tools/fuzz.sh [seconds per target, default 60] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_formula fuzz_prepare fuzz_functionset)

tools/setup.sh clang-14 libclang-rt-14-dev

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
    -DTAVLO_BUILD_FUZZ=ON -DTAVLO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run=fuzz/corpus-run
failed=()
for t in "${targets[@]}"; do
    # The fuzzer adds what it finds to the copy; the committed seeds stay small.
    rm -rf "${run:?}/$t" "$run/$t-artifacts"
    mkdir -p "$run/$t" "$run/$t-artifacts"
    cp fuzz/corpus/"$t"/* "$run/$t/"
    dict=()
    [ "$t" != fuzz_functionset ] && dict=(-dict=fuzz/formula.dict)
    log="$run/$t.log"
    echo "== $t: ${seconds}s"
    if "$build/fuzz/$t" "${dict[@]}" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=2048 -detect_leaks=1 -print_final_stats=1 \
        -artifact_prefix="$run/$t-artifacts/" "$run/$t" >"$log" 2>&1; then
        grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || tail -n 3 "$log"
    else
        echo "$t FAILED; last lines of $log:"
        tail -n 40 "$log"
        ls -l "$run/$t-artifacts/"
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "Fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "Fuzzing found nothing."
