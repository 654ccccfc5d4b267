#!/bin/sh
# Runs every fuzz target of BUILD_DIR (the fuzz preset's build) for SECONDS
# each, one after the other on one core. A target goes on after a finding,
# so one run reports them all: inputs that break a target collect in
# BUILD_DIR/findings/<target>, new inputs in BUILD_DIR/corpus/<target>; the
# seed corpus in fuzz/corpus is only read. Exits 1 when anything was found.
set -u
build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS]}
seconds=${2:-600}
seeds=$(dirname "$0")/corpus
status=0
for program in "$build"/fuzz/fuzz_*; do
    target=${program##*/fuzz_}
    findings=$build/findings/$target
    mkdir -p "$build/corpus/$target" "$findings"
    log=$build/findings/$target.log
    echo "== $target: $seconds s (log: $log) =="
    "$program" -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
        -max_total_time="$seconds" -artifact_prefix="$findings/" \
        "$build/corpus/$target" "$seeds/$target" >"$log" 2>&1
    # The last statistics line: executions, coverage, corpus, findings.
    grep -E '^#[0-9]+: cov:' "$log" | tail -n 1
    found=$(find "$findings" -type f | wc -l)
    if [ "$found" -gt 0 ]; then
        status=1
        echo "$target: $found finding(s) in $findings"
    fi
done
exit $status
