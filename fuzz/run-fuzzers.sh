#!/bin/sh
# Runs every fuzz target of BUILD_DIR (the fuzz preset's build) for SECONDS
# each, one after the other on one core. New inputs collect in
# BUILD_DIR/corpus/<target>, inputs that break a target in
# BUILD_DIR/findings/<target>; the seed corpus in fuzz/corpus is read only.
# Exits 1 when any target found something.
set -u
build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS]}
seconds=${2:-600}
seeds=$(dirname "$0")/corpus
status=0
for program in "$build"/fuzz/fuzz_*; do
    target=${program##*/fuzz_}
    mkdir -p "$build/corpus/$target" "$build/findings/$target"
    log=$build/findings/$target.log
    echo "== $target: $seconds s (log: $log) =="
    if ! "$program" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target/" \
        "$build/corpus/$target" "$seeds/$target" >"$log" 2>&1; then
        status=1
        echo "$target: FOUND A FAULT (inputs in $build/findings/$target)"
    fi
    grep -E '^#[0-9]+ +DONE|^stat::number_of_executed_units|^stat::new_units_added|^Done ' "$log"
done
exit $status
