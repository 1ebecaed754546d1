#!/usr/bin/env bash
# Runs the fuzz targets of a fuzzing build (make fuzz): each first over its kept inputs
# (tests/fuzz/corpus/<name>), then for the given number of seconds. New inputs go to
# <build>/fuzz/corpus/<name>, findings to <build>/fuzz/findings/, each target's output to
# <build>/fuzz/<name>.log. Fails when any target found something.
# Usage: scripts/fuzz.sh <build folder> <seconds per target> [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

build=$1
seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for corpus in tests/fuzz/corpus/*/; do
        targets+=("$(basename "$corpus")")
    done
fi

mkdir -p "$build/fuzz/findings"
failed=()
for name in "${targets[@]}"; do
    work="$build/fuzz/corpus/$name"
    log="$build/fuzz/$name.log"
    mkdir -p "$work"
    status=ok
    if ! "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz/findings/$name-" "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
        status=FAILED
        failed+=("$name")
    fi
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    printf '%-14s %-6s %12s executions in %ss\n' "$name" "$status" "${runs:-?}" "$seconds"
done

if [ ${#failed[@]} -gt 0 ]; then
    for name in "${failed[@]}"; do
        echo "---- $name ($build/fuzz/$name.log)"
        grep -E -A25 "ERROR|rule broken|Test unit written" "$build/fuzz/$name.log" | head -60
    done
    exit 1
fi
