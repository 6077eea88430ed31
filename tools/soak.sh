#!/usr/bin/env bash
# Runs the real panel for SECONDS (default 600) on sixteen simulated controllers in the seeded random
# mix, on half-duplex lines, pressing on every screen and hanging up one bus every 20 s, and fails on a
# crash, on growth of memory, descriptors, QObjects or timers, or when polling stops. Uses the build of ./test.sh (BUILD_DIR, default build); samples go to
# BUILD_DIR/soak-samples.tsv.
#   tools/soak.sh            # the ten minutes of CI
#   tools/soak.sh 3600 7     # an hour, seed 7
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
seed="${2:-1}"
build_dir="${BUILD_DIR:-build}"

tools/install-deps.sh
if [ ! -f "$build_dir/build.ninja" ] && [ ! -f "$build_dir/Makefile" ]; then
    cmake --preset default -B "$build_dir" >/dev/null
fi
cmake --build "$build_dir" -j "$(nproc)" --target panel controller-sim panel-soak panel-objectcounts

"$build_dir/tests/soak/panel-soak" --duration "$seconds" --seed "$seed" --samples "$build_dir/soak-samples.tsv"
