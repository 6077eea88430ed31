#!/usr/bin/env bash
# Feeds the panel's reply handling arbitrary reads for SECONDS (default 60) with libFuzzer, on the
# checked build, starting from the seed corpus in tests/fuzz/corpus. A crash or a broken invariant
# fails the run and leaves the input in BUILD_DIR/fuzz-artifacts/.
#   tools/fuzz.sh          # the short run of ./test.sh
#   tools/fuzz.sh 3600     # an hour
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build_dir="${BUILD_DIR:-build-checked}"

tools/checked-build.sh fuzz_replies
. tools/checked-build.sh --env

# New inputs go to a corpus of the build's own, so the committed seeds stay as they are.
corpus="$build_dir/fuzz-corpus"
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
log="$build_dir/fuzz.log"
start=$SECONDS
status=0
"$build_dir/tests/fuzz/fuzz_replies" -max_total_time="$seconds" -timeout=20 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" tests/fuzz/corpus >"$log" 2>&1 || status=$?
elapsed=$((SECONDS - start))

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
if [ "$status" -ne 0 ]; then
    tail -60 "$log"
    echo "fuzz: FAILED after ${elapsed} s (exit $status); inputs in $artifacts/"
    exit 1
fi
echo "fuzz: ${executions:-?} executions in ${elapsed} s (${rate:-?}/s), coverage ${coverage:-?} edges," \
     "corpus $(ls "$corpus" | wc -l) inputs, no crash"
