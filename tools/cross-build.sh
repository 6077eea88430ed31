#!/usr/bin/env bash
# Builds the panel, the simulator and the tests for the board (arm64) on an x86-64 Debian machine,
# runs the tests that need no X server under user-mode emulation and packages the result.
#
#   tools/cross-build.sh            install what is missing, build, test, package
#   BUILD_DIR=dir tools/cross-build.sh
#   tools/cross-build.sh --no-test  build and package only
#
# End-to-end tests (named tst_e2e_*, or labelled "e2e" or "native") drive the program through Xvfb and
# xdotool on the host; they stay in the native run of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build-arm64}
run_tests=1
[ "${1:-}" = "--no-test" ] && run_tests=0

tools/install-deps.sh
tools/install-cross-deps.sh

jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

step() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }

step "configure $build_dir for arm64"
# The preset "cross": the toolchain file cmake/aarch64-linux-gnu.cmake.
cmake --preset cross -B "$build_dir" >/dev/null

step "build"
cmake --build "$build_dir" -j "$jobs"
file -L "$build_dir/panel"

if [ "$run_tests" -eq 1 ]; then
    step "tests under qemu-aarch64"
    # One test at a time per core: each one runs a whole emulated Qt process.
    (cd "$build_dir" && ctest --output-on-failure -j "$jobs" -E '^tst_e2e_' -LE '^(e2e|native)$')
fi

step "package"
rm -f "$build_dir"/panel_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/panel_*_arm64.deb)
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
[ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ] || { echo "$deb is not arm64" >&2; exit 1; }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
file "$unpacked/usr/bin/panel" | sed "s|$unpacked||"
step "done: $deb"
