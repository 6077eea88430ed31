#!/usr/bin/env bash
# The panel's CPU against the floor programs' on the board's own platform: all draw through linuxfb
# into the framebuffer of the system test's amd64 guest (QEMU, software emulation), the panel started
# by its systemd unit, the job floor (bench/jobfloor, on the same UARTs) and the bare floor by
# systemd-run. Same scenario as bench/run.sh: sixteen controllers polled, the dashboard of a room in
# alarm. Absolute figures of an emulated guest say little; the ratio is the point. Needs root (the
# guest's disk).
#
#   bench/vm-run.sh [--runs N] [--cpu-seconds S] [--touches N] [--build DIR] [--out FILE]
#
# With --touches N (N rounds a run), then times touch to the next screen fully drawn, as
# bench/fb-run.sh does on vnc, but watched inside the guest on its framebuffer (bench/fbwatch): bus
# tile to dashboard, dashboard tile to the air conditioner's screen and both returns, against the job
# floor switching between two full-screen pictures. --cpu-seconds 0 leaves the CPU out.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/common.sh
. "$here/common.sh"
export PYTHONDONTWRITEBYTECODE=1

runs=3
cpu_seconds=60
touches=0
build="$root/build"
out=""
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --cpu-seconds) cpu_seconds=$2; shift 2 ;;
        --touches) touches=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) sed -n '9,14p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
say() { echo "vm-run: $*" >&2; }
[ "$(id -u)" -eq 0 ] || { say "needs root (the guest's disk)"; exit 1; }

"$root/tools/install-deps.sh" >&2
"$root/tools/install-vm-deps.sh" >&2
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" --preset default -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target panel panel-floor panel-job-floor panel-fb-watch controller-sim >/dev/null
rm -f "$build"/panel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/panel_*_amd64.deb)

work=$(mktemp -d /var/tmp/panel-bench-vm.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$root/tools/vm/package-disk.sh" "$work" "$deb" "$build/bench/panel-floor" /usr/local/bin/panel-floor \
    "$build/bench/panel-job-floor" /usr/local/bin/panel-job-floor \
    "$build/bench/panel-fb-watch" /usr/local/bin/panel-fb-watch
say "booting the guest, $runs runs of $cpu_seconds s each, $touches rounds of touches"
timeout --signal=TERM --kill-after=30 $((600 + runs * (cpu_seconds * 3 + 240 + touches * 60))) \
    python3 "$here/vm_cpu.py" "$work" "$build/tools/simulator/controller-sim" "$here/sixteen.scn" \
    "$runs" "$cpu_seconds" "$touches" | tee "$work/figures" >&2

series() { awk -v who="$1" '$1 == who { print $3 }' "$work/figures"; }
panel=$(series panel | median)
floor=$(series floor | median)
jobfloor=$(series jobfloor | median)
ratio=$(awk -v p="$panel" -v f="$floor" 'BEGIN { printf "%.2f", p / f }')
job_ratio=$(awk -v p="$panel" -v j="$jobfloor" 'BEGIN { if (j > 0) printf "%.2f", p / j; else print "n/a" }')
# The goal stands against the job floor: the emulated guest makes the composition weigh more.
verdict=$(awk -v r="$job_ratio" 'BEGIN { print (r != "n/a" && r <= 1.5 ? "met" : "missed") }')
{
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), amd64 guest under QEMU (TCG, 2 vCPUs) on $(nproc) host cores,"
    echo "linuxfb on the guest's 1920x1080 framebuffer, $runs runs each, alternating; CPU over $cpu_seconds s."
    if [ "$touches" -gt 0 ]; then
        echo
        echo "Touch to the next screen fully drawn (ms; $touches rounds a run, $runs runs, medians; watched in"
        echo "the guest), against the job floor switching between two full-screen pictures:"
        echo
        touch_table "$work/figures" dashboard appliance back-to-dashboard back-to-bus
    fi
    [ "$cpu_seconds" -gt 0 ] || exit 0
    echo
    echo "| measure | panel | job floor | floor | panel/job floor | panel/floor | goal | |"
    echo "|---|---|---|---|---|---|---|---|"
    echo "| CPU, dashboard in alarm, 16 controllers polled (%) | $panel | $jobfloor | $floor | $job_ratio | $ratio" \
        "| panel/job floor at most 1.5 | $verdict |"
    echo
    runs_of() { series "$1" | tr '\n' ' ' | sed 's/ $//'; }
    echo "Every run (panel; job floor; floor): $(runs_of panel); $(runs_of jobfloor); $(runs_of floor)"
} | tee ${out:+"$out"}
