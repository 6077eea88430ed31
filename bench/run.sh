#!/usr/bin/env bash
# Measures the panel against the floor programs, side by side in one run, and writes a Markdown table.
#
#   bench/run.sh [--runs N] [--cpu-seconds S] [--presses P] [--build DIR] [--out FILE] [--perf DIR]
#
# BENCH_PANEL, BENCH_SIM and BENCH_NSRUN name another panel (an older build, to compare), simulator
# or runner than the project's own.
# Each run starts its own Xvfb and measures, one after the other, the real panel (through the
# namespace runner on sixteen simulated controllers), the job floor (bench/jobfloor: the panel's own
# work and nothing more, on the same runner and controllers) and the bare floor (bench/floor):
# start-up to the first window drawn, resident memory, CPU over S seconds and, for panel and bare
# floor, release-to-frame latency. The three alternate, so that a busy spell of the machine falls on
# all. Not part of CI: too slow and too noisy for it; the unit benchmarks (ctest -L bench) are. With
# --perf, each panel run also records its call graphs with perf(1) into DIR for as long again, after
# the CPU measurement (bench/perf_share.py shows where the time went).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/common.sh
. "$here/common.sh"

runs=5
cpu_seconds=60
presses=10
build="$root/build"
out="$here/results.md"
perf_dir=""
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs=$2; shift 2 ;;
        --cpu-seconds) cpu_seconds=$2; shift 2 ;;
        --presses) presses=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        --perf) perf_dir=$2; mkdir -p "$perf_dir"; shift 2 ;;
        -h|--help) sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench: unknown option $1" >&2; exit 2 ;;
    esac
done

say() { echo "bench: $*" >&2; }

# --- build -------------------------------------------------------------------------------------
"$root/tools/install-deps.sh"
[ -z "$perf_dir" ] || "$root/tools/install-missing.sh" linux-perf
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" --preset default -B "$build" >/dev/null
fi
targets=(panel panel-floor panel-job-floor bench-probe)
[ -n "${BENCH_SIM:-}" ] || targets+=(controller-sim)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null

panel="${BENCH_PANEL:-$build/panel}"
floor="$build/bench/panel-floor"
jobfloor="$build/bench/panel-job-floor"
probe="$build/bench/bench-probe"
sim="${BENCH_SIM:-$build/tools/simulator/controller-sim}"
nsrun="${BENCH_NSRUN:-$root/tools/nsrun.sh}"
scenario="$here/sixteen.scn"

# Screen coordinates of the panel's controls (no window manager: the forms' own coordinates).
main_middle=(960 540)
home_bus_button=(1142 537)
first_tile=(352 250)
fan_switch=(1750 805)
floor_button=(1750 805)

work=$(mktemp -d "${TMPDIR:-/tmp}/bench.XXXXXX")
started=()

trap 'stop_started; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- helpers -----------------------------------------------------------------------------------
record() { echo "$2" >>"$work/$1"; } # series value

# --- one run of each ---------------------------------------------------------------------------
run_panel() {
    local run=$1 report="$work/panel.report" log="$work/panel.sim.log" err="$work/panel.err"
    rm -f "$report"
    start_x
    "$nsrun" --sim "$sim" --scenario "$scenario" --sim-log "$log" -- \
        "$probe" launch "$report" -- "$panel" 2>"$err" &
    started+=($!)
    wait_for 30 has_report "$report" || { say "panel run $run: no window"; cat "$err" >&2; return 1; }
    local pid startup
    pid=$(report_value "$report" pid)
    startup=$(report_value "$report" first_window_ms)

    # Every screen: Home, the bus control screen (polling starts), the dashboard of bus 0
    # controller 0, which creates the five appliance screens and shows that room's five alarms.
    click "${main_middle[@]}"
    wait_for 10 said "$err" "~~enter Home~~"
    # The bus control screen and the dashboard are made at start-up with the polling, so no debug
    # line tells when they show: a second for each is ample.
    click "${home_bus_button[@]}"
    sleep 1
    click "${first_tile[@]}"
    sleep 1
    # Four ticks poll every controller once; a few cycles more let the heap settle.
    sleep 12
    local rss cpu
    rss=$(rss_kib "$pid")
    cpu=$(cpu_percent_over "$pid" "$cpu_seconds")
    if [ -n "$perf_dir" ]; then
        perf record -q -F 10000 -e cpu-clock --call-graph dwarf,16384 -p "$pid" \
            -o "$perf_dir/panel-$run.data" -- sleep "$cpu_seconds" 2>/dev/null
    fi
    "$probe" release "$log" "${fan_switch[@]}" "$presses" >"$work/panel.presses" || true

    record panel.startup "$startup"
    record panel.rss "$rss"
    record panel.cpu "$cpu"
    local latency
    latency=$(grep -v timeout "$work/panel.presses" | median)
    record panel.latency "$latency"
    say "panel run $run: start-up ${startup} ms, RSS ${rss} KiB, CPU ${cpu} %, latency ${latency} ms"
    stop_started
}

run_floor() {
    local run=$1 report="$work/floor.report" err="$work/floor.err"
    rm -f "$report"
    start_x
    "$probe" launch "$report" -- "$floor" 2>"$err" &
    started+=($!)
    wait_for 30 has_report "$report" || { say "floor run $run: no window"; cat "$err" >&2; return 1; }
    local pid startup rss cpu
    pid=$(report_value "$report" pid)
    startup=$(report_value "$report" first_window_ms)
    sleep 12
    rss=$(rss_kib "$pid")
    cpu=$(cpu_percent_over "$pid" "$cpu_seconds")
    stop_started

    # The latency floor: a plain button whose click writes the same frame to the same simulator.
    local log="$work/floor.sim.log"
    rm -f "$report"
    start_x
    "$nsrun" --sim "$sim" --scenario "$scenario" --sim-log "$log" -- \
        "$probe" launch "$report" -- "$floor" --frame-to /dev/ttyS2 2>"$err" &
    started+=($!)
    wait_for 30 has_report "$report" || { say "floor run $run: no window with a button"; return 1; }
    "$probe" release "$log" "${floor_button[@]}" "$presses" >"$work/floor.presses" || true
    stop_started

    record floor.startup "$startup"
    record floor.rss "$rss"
    record floor.cpu "$cpu"
    local latency
    latency=$(grep -v timeout "$work/floor.presses" | median)
    record floor.latency "$latency"
    say "floor run $run: start-up ${startup} ms, RSS ${rss} KiB, CPU ${cpu} %, latency ${latency} ms"
}

# The job floor: the dashboard in alarm as a picture, the same polls on the same controllers, the
# clock and the blinking icons. Its latency would be the bare floor's: a write on a click.
run_jobfloor() {
    local run=$1 report="$work/jobfloor.report" err="$work/jobfloor.err"
    rm -f "$report"
    start_x
    "$nsrun" --sim "$sim" --scenario "$scenario" --sim-log "$work/jobfloor.sim.log" -- \
        "$probe" launch "$report" -- "$jobfloor" 2>"$err" &
    started+=($!)
    wait_for 30 has_report "$report" || { say "job floor run $run: no window"; cat "$err" >&2; return 1; }
    local pid startup rss cpu
    pid=$(report_value "$report" pid)
    startup=$(report_value "$report" first_window_ms)
    # As long as the panel takes to its dashboard and its heap to settle.
    sleep 14
    rss=$(rss_kib "$pid")
    cpu=$(cpu_percent_over "$pid" "$cpu_seconds")
    stop_started

    record jobfloor.startup "$startup"
    record jobfloor.rss "$rss"
    record jobfloor.cpu "$cpu"
    say "job floor run $run: start-up ${startup} ms, RSS ${rss} KiB, CPU ${cpu} %"
}

for run in $(seq "$runs"); do
    run_panel "$run"
    run_jobfloor "$run"
    run_floor "$run"
done

# --- the table ---------------------------------------------------------------------------------
series() { tr '\n' ' ' <"$work/$1" | sed 's/ $//'; }
med() { median <"$work/$1"; }
ratio() { awk -v p="$1" -v f="$2" 'BEGIN { if (f > 0) printf "%.2f", p / f; else print "n/a" }'; }
verdict() { awk -v v="$1" -v g="$2" 'BEGIN { print (v <= g ? "met" : "missed") }'; }

p_start=$(med panel.startup); f_start=$(med floor.startup)
p_rss=$(med panel.rss); f_rss=$(med floor.rss)
p_cpu=$(med panel.cpu); f_cpu=$(med floor.cpu)
j_start=$(med jobfloor.startup); j_rss=$(med jobfloor.rss); j_cpu=$(med jobfloor.cpu)
rj_start=$(ratio "$p_start" "$j_start")
rj_cpu=$(ratio "$p_cpu" "$j_cpu")
extra_job_mib=$(awk -v p="$p_rss" -v j="$j_rss" 'BEGIN { printf "%.1f", (p - j) / 1024 }')
p_lat=$(med panel.latency); f_lat=$(med floor.latency)
r_start=$(ratio "$p_start" "$f_start")
r_cpu=$(ratio "$p_cpu" "$f_cpu")
r_lat=$(ratio "$p_lat" "$f_lat")
extra_mib=$(awk -v p="$p_rss" -v f="$f_rss" 'BEGIN { printf "%.1f", (p - f) / 1024 }')

{
    echo "# Panel against floor"
    echo
    echo "Panel: \`$panel\`, floor: \`$floor\`, job floor: \`$jobfloor\`."
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores ($(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)),"
    echo "Qt $(pkg-config --modversion Qt5Core 2>/dev/null || echo 5), Xvfb 1920x1080x24, $runs runs each, alternating;"
    echo "CPU over $cpu_seconds s, latency the median of $presses presses per run. Medians over the runs."
    echo
    echo "| measure | panel | floor | panel/floor | goal | |"
    echo "|---|---|---|---|---|---|"
    echo "| start-up to first window drawn (ms) | $p_start | $f_start | $r_start | at most 1.5 | $(verdict "$r_start" 1.5) |"
    echo "| CPU, dashboard in alarm, 16 controllers polled (%) | $p_cpu | $f_cpu | $r_cpu | at most 2 | $(verdict "$r_cpu" 2) |"
    echo "| release to frame at the simulator (ms) | $p_lat | $f_lat | $r_lat | at most 1.5 | $(verdict "$r_lat" 1.5) |"
    echo "| resident memory, every screen created (KiB) | $p_rss | $f_rss | +$extra_mib MiB | at most +64 MiB | $(verdict "$extra_mib" 64) |"
    echo
    echo "Every run (panel; floor):"
    echo
    echo "- start-up ms: $(series panel.startup); $(series floor.startup)"
    echo "- CPU %: $(series panel.cpu); $(series floor.cpu)"
    echo "- latency ms (median per run): $(series panel.latency); $(series floor.latency)"
    echo "- RSS KiB: $(series panel.rss); $(series floor.rss)"
    echo
    echo "Beside the job floor (the panel's own work and nothing more; no latency of its own):"
    echo
    echo "| measure | panel | job floor | bare floor | panel/job floor | job floor/bare floor |"
    echo "|---|---|---|---|---|---|"
    echo "| start-up to first window drawn (ms) | $p_start | $j_start | $f_start | $rj_start | $(ratio "$j_start" "$f_start") |"
    echo "| CPU, dashboard in alarm, 16 controllers polled (%) | $p_cpu | $j_cpu | $f_cpu | $rj_cpu | $(ratio "$j_cpu" "$f_cpu") |"
    echo "| resident memory (KiB) | $p_rss | $j_rss | $f_rss | +$extra_job_mib MiB | |"
    echo
    echo "Every job floor run: start-up ms $(series jobfloor.startup); CPU % $(series jobfloor.cpu); RSS KiB $(series jobfloor.rss)"
} >"$out"
cat "$out"
