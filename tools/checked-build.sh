#!/usr/bin/env bash
# The checked build: clang with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer coverage,
# every test and the fuzz targets, in BUILD_DIR (default build-checked). Builds the given targets, or all.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build_dir="${BUILD_DIR:-build-checked}"
tools/install-check-deps.sh
if [ ! -f "$build_dir/build.ninja" ]; then
    # The preset "checked": clang (CC, CXX), PANEL_FUZZ=ON, PANEL_BUILD_IMAGEGEN=OFF.
    cmake --preset checked -B "$build_dir" >/dev/null
fi
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
