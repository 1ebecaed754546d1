#!/usr/bin/env bash
# Runs the fuzz targets (make fuzz): each first over its kept inputs (tests/fuzz/corpus/<name>), then for
# the given number of seconds. A target built with libFuzzer in the fuzzing build runs there, guided by
# coverage; one that only a plain build has (the PDF target) runs there, blind. New inputs go to
# <fuzzing build>/fuzz/corpus/<name>, findings to <fuzzing build>/fuzz/findings/, each target's output
# to <fuzzing build>/fuzz/<name>.log. Fails when any target found something. FUZZ_JOBS targets run at
# a time (default: one per processor).
# Usage: scripts/fuzz.sh <fuzzing build folder> <plain build folder> <seconds per target> [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

build=$1
plain=$2
seconds=$3
shift 3
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for corpus in tests/fuzz/corpus/*/; do
        targets+=("$(basename "$corpus")")
    done
fi

mkdir -p "$build/fuzz/findings"

# Runs one target; its line of the summary goes to <fuzzing build>/fuzz/<name>.summary.
run_target() {
    local name=$1 log="$build/fuzz/$1.log" status=ok mode work runs
    local -a command
    if [ -x "$build/tests/fuzz/fuzz_$name" ]; then
        mode=guided
        work="$build/fuzz/corpus/$name"
        mkdir -p "$work"
        command=("$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1
            -artifact_prefix="$build/fuzz/findings/$name-" "$work" "tests/fuzz/corpus/$name")
    else
        mode=blind
        command=("$plain/tests/fuzz/fuzz_$name" --for "$seconds"
            --last-input "$build/fuzz/findings/$name-last-input" "tests/fuzz/corpus/$name")
    fi
    if ! timeout $((seconds + 300)) "${command[@]}" >"$log" 2>&1; then
        status=FAILED
    fi
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    printf '%-14s %-6s %-7s %12s executions in %ss\n' "$name" "$status" "$mode" "${runs:-?}" "$seconds" \
        >"$build/fuzz/$name.summary"
}

jobs=${FUZZ_JOBS:-$(nproc)}
running=0
for name in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
    run_target "$name" &
    running=$((running + 1))
done
wait

failed=()
for name in "${targets[@]}"; do
    cat "$build/fuzz/$name.summary"
    if grep -q ' FAILED ' "$build/fuzz/$name.summary"; then
        failed+=("$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    for name in "${failed[@]}"; do
        echo "---- $name ($build/fuzz/$name.log)"
        grep -E -A25 "ERROR|rule broken|Test unit written|runtime error" "$build/fuzz/$name.log" | head -60 || tail -20 "$build/fuzz/$name.log"
    done
    exit 1
fi
