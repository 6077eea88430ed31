#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer (clang, the checked
# build in BUILD_DIR, default build-checked) and runs it: any finding fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build-checked}"

tools/checked-build.sh
. tools/checked-env.sh
cd "$build_dir"
status=0
ctest --output-on-failure -j "$(nproc)" >ctest-sanitize.log 2>&1 || status=$?
tail -40 ctest-sanitize.log
summary=$(grep -E 'tests passed' ctest-sanitize.log || true)
findings=$(grep -cE '^(==[0-9]+==ERROR|SUMMARY: (Address|Undefined|Leak)Sanitizer|.*runtime error:)' ctest-sanitize.log || true)
echo "sanitize: ${summary:-no summary}; sanitizer findings: ${findings}"
exit "$status"
