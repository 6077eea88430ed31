#!/usr/bin/env bash
# The checked build: clang with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer coverage,
# every test and the fuzz targets, in BUILD_DIR (default build-checked). Builds the given targets, or all.
# Source it (". tools/checked-build.sh --env") to get only the sanitizers' run-time settings.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# A finding fails the run at once, with a symbolised stack; leaks are checked at exit.
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
[ "${1:-}" = "--env" ] && return 0

cd "$root"
build_dir="${BUILD_DIR:-build-checked}"
tools/install-check-deps.sh
if [ ! -f "$build_dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPANEL_FUZZ=ON -DPANEL_BUILD_IMAGEGEN=OFF >/dev/null
fi
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
