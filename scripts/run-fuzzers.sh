#!/bin/sh
# Runs each fuzz target for a bounded time from the seed corpus in fuzz/corpus.
# New inputs go to the build tree, so the repository stays as it is; a failing
# input is left in <build>/fuzz-artifacts and fails the run.
#   scripts/run-fuzzers.sh <fuzz build> <seconds per target>
set -eu
build=$1
seconds=$2

mkdir -p "$build/fuzz-artifacts"
for target in fuzz_number_text fuzz_acquisition fuzz_plot fuzz_histogram; do
    corpus="$build/fuzz-corpus/$target"
    log="$build/fuzz-artifacts/$target.log"
    mkdir -p "$corpus"
    echo "== $target for $seconds s"
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-artifacts/$target-" "$corpus" "fuzz/corpus/$target" \
        >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$target failed; its input is in $build/fuzz-artifacts"
        exit 1
    fi
    grep -E '^stat::(number_of_executed_units|new_units_added)' "$log"
done
