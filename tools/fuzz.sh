#!/usr/bin/env bash
# The libFuzzer targets on the checked build: fuzz_replies (the reply handling with every screen),
# fuzz_pollcycle (the poll cycle alone, millions of inputs a minute) and fuzz_commandpath (polls,
# replies, commands, hang-ups and reopens through the real frame writer on pseudo-terminals). A crash
# or a broken invariant fails the run and leaves the input in BUILD_DIR/fuzz-artifacts/.
#
#   tools/fuzz.sh --corpus    # every committed seed once through both: deterministic, as ./test.sh runs it
#   tools/fuzz.sh [SECONDS]   # explore for SECONDS per target (default 60) from a fresh seed, as CI runs it
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build-checked}"
seeds=tests/fuzz/corpus
command_seeds=tests/fuzz/corpus-commandpath

tools/checked-build.sh fuzz_replies fuzz_pollcycle fuzz_commandpath
. tools/checked-env.sh
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$artifacts"

# Runs one target with libFuzzer's arguments; prints its figures, or its log's end on a failure.
run_target() {
    local target=$1
    shift
    local log="$build_dir/$target.log"
    local start=$SECONDS status=0
    "$build_dir/tests/fuzz/$target" -timeout=20 -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" \
        >"$log" 2>&1 || status=$?
    local executions rate coverage
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    if [ "$status" -ne 0 ]; then
        # The report, the input's bytes (Base64) and the figures, without the progress lines and the
        # coverage listing that would bury them: a CI clone and its artifacts are gone afterwards.
        grep -vE '^#[0-9]+|^ *(UN)?COVERED_(FUNC|PC):' "$log" | tail -80
        echo "fuzz: $target FAILED after $((SECONDS - start)) s (exit $status); inputs in $artifacts/"
        exit 1
    fi
    echo "fuzz: $target: ${executions:-?} executions in $((SECONDS - start)) s (${rate:-?}/s)," \
         "coverage ${coverage:-?} edges, no crash"
    # With -print_coverage: the functions of the frame writer reached, set-up and generated code aside.
    local functions
    functions=$(grep -E '^(UN)?COVERED_FUNC:.*bus/serialports\.cpp' "$log" \
        | grep -vE 'qt_|metaObject|~|_GLOBAL__|__cxx|openBusPort|busPort' || true)
    if [ -n "$functions" ]; then
        echo "fuzz: $target: $(grep -c '^COVERED' <<<"$functions") of $(wc -l <<<"$functions")" \
             "functions of bus/serialports.cpp covered; not reached:" \
             "$(grep '^UNCOVERED' <<<"$functions" | sed -E 's/.* [0-9]+\/[0-9]+ ([^(]*).*/\1/' | tr '\n' ' ')"
    fi
}

if [ "${1:-}" = "--corpus" ]; then
    run_target fuzz_replies -runs=0 "$seeds"
    run_target fuzz_pollcycle -runs=0 "$seeds"
    run_target fuzz_commandpath -runs=0 -print_coverage=1 "$command_seeds"
    exit 0
fi

seconds="${1:-60}"
seed=$(date +%s)
echo "fuzz: seed $seed, $seconds s per target"
# New inputs go to corpora of the build's own, so the committed seeds stay as they are.
for target in fuzz_replies fuzz_pollcycle fuzz_commandpath; do
    mkdir -p "$build_dir/$target-corpus"
done
run_target fuzz_replies -seed="$seed" -max_total_time="$seconds" -max_len=4096 \
    "$build_dir/fuzz_replies-corpus" "$seeds"
# Short inputs keep it at full speed; 128 bytes still hold four full replies or 64 silent ticks.
run_target fuzz_pollcycle -seed="$seed" -max_total_time="$seconds" -max_len=128 \
    "$build_dir/fuzz_pollcycle-corpus" "$seeds"
# 256 bytes hold some hundred steps; every input starts on new pseudo-terminals.
run_target fuzz_commandpath -seed="$seed" -max_total_time="$seconds" -max_len=256 -print_coverage=1 \
    "$build_dir/fuzz_commandpath-corpus" "$command_seeds"
