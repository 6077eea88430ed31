#!/usr/bin/env bash
# The panel's CPU against the floor programs' on this machine, all composing their screen as they
# do on the board's framebuffer: Qt's vnc platform uses the same screen composition as linuxfb, and
# no viewer is connected while the CPU is measured. Same scenario as bench/run.sh. Minutes instead of
# the guest's quarter of an hour, and no root; bench/vm-run.sh is the figure on linuxfb itself.
#
#   bench/fb-run.sh [--runs N] [--cpu-seconds S] [--touches N] [--build DIR] [--perf DIR]
#
# BENCH_PANEL names another panel (a trial build of bench/trials, to compare). With --perf, each
# panel and job floor run also records its call graphs with perf(1) into DIR for as long again,
# after the measurement; bench/perf_share.py shows where the time went. Prints the CPU of every run,
# the main thread's wake-ups a second, and the medians, of the panel, the job floor (bench/jobfloor:
# the panel's own work and nothing more, on the same simulated controllers) and the bare floor.
# Then, --touches times a run (0: not at all), touch to the next screen fully drawn, watched as a
# viewer watches (bench/rfb_switch.py): bus tile to dashboard, dashboard tile to the air conditioner's
# screen and both returns, against the job floor switching between two full-screen pictures.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/common.sh
. "$here/common.sh"

runs=3
cpu_seconds=30
touches=3
build="$root/build"
perf_dir=""
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --cpu-seconds) cpu_seconds=$2; shift 2 ;;
        --touches) touches=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --perf) perf_dir=$2; shift 2 ;;
        -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "fb-run: unknown option $1" >&2; exit 2 ;;
    esac
done
say() { echo "fb-run: $*" >&2; }

"$root/tools/install-deps.sh" >&2
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" --preset default -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target panel panel-floor panel-job-floor controller-sim >/dev/null
panel="${BENCH_PANEL:-$build/panel}"
floor="$build/bench/panel-floor"
jobfloor="$build/bench/panel-job-floor"
[ -z "$perf_dir" ] || { mkdir -p "$perf_dir"; "$root/tools/install-missing.sh" linux-perf >&2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-fb.XXXXXX")
started=""
stop_started() {
    [ -z "$started" ] || { kill -TERM "$started" 2>/dev/null || true; wait "$started" 2>/dev/null || true; }
    started=""
}
trap 'stop_started; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

use_vnc_platform() {
    port=$(free_port)
    export QT_QPA_PLATFORM="vnc:size=1920x1080:port=$port" XDG_RUNTIME_DIR="$work"
}

listening() { python3 -c "import socket, sys; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; }

# Touches a point until the program logs the line it answers with: a touch before the window is up
# goes nowhere.
touch_until() { # x y log line
    local attempt
    for attempt in 1 2 3 4 5; do
        python3 "$here/rfb_touch.py" "$port" "$1" "$2"
        wait_for 5 said "$3" "$4" && return 0
    done
    say "no \"$4\" after touching ($1, $2)"
    return 1
}

# Nanoseconds on the CPU and times put on a CPU (the wake-ups), of every thread and of the main one.
schedstat() { # pid
    awk -v main="$1" 'FILENAME ~ "/task/" main "/" { mcpu = $1; mwake = $3 } { cpu += $1 }
        END { printf "%d %d\n", cpu, mwake }' /proc/"$1"/task/*/schedstat
}

measure() { # name pid
    local before after
    before=$(schedstat "$2")
    sleep "$cpu_seconds"
    after=$(schedstat "$2")
    # Afterwards: sampling costs the program time of its own.
    if [ -n "$perf_dir" ] && [ "$1" != floor ]; then
        perf record -q -F 10000 -e cpu-clock --call-graph dwarf,16384 -p "$2" \
            -o "$perf_dir/$1-$run.data" -- sleep "$cpu_seconds" 2>/dev/null
    fi
    read -r cpu wakeups < <(awk -v b="$before" -v a="$after" -v s="$cpu_seconds" 'BEGIN {
        split(b, x, " "); split(a, y, " "); printf "%.4f %.1f\n", (y[1] - x[1]) / (s * 1e7), (y[2] - x[2]) / s }')
    echo "$1 $run $cpu $wakeups" >>"$work/figures"
    say "$1 run $run: CPU $cpu %, main thread woken $wakeups times a second"
}

# The panel on the simulated building, touched through Home to its bus control screen.
start_panel_at_bus_control() { # seconds to live
    local log="$work/panel.err"
    use_vnc_platform
    : >"$log"
    timeout "$1" "$root/tools/nsrun.sh" --sim "$build/tools/simulator/controller-sim" \
        --scenario "$here/sixteen.scn" -- "$panel" 2>"$log" &
    started=$!
    wait_for 30 listening || { say "panel run $run: no screen"; cat "$log" >&2; return 1; }
    touch_until 960 540 "$log" "~~enter Home~~"
    python3 "$here/rfb_touch.py" "$port" 1142 537
}

run_panel() {
    start_panel_at_bus_control $((2 * cpu_seconds + 120))
    # The bus control screen and the dashboard are made at start-up with the polling, so no debug
    # line tells when they show: a second for each is ample once Home answered.
    sleep 1
    python3 "$here/rfb_touch.py" "$port" 352 250
    sleep 1
    # As in bench/run.sh: four ticks poll every controller once, a few more let the heap settle.
    sleep 12
    measure panel "$(pgrep -n -x -f "$panel")"
    stop_started
}

run_jobfloor() {
    use_vnc_platform
    timeout $((2 * cpu_seconds + 90)) "$root/tools/nsrun.sh" --sim "$build/tools/simulator/controller-sim" \
        --scenario "$here/sixteen.scn" -- "$jobfloor" 2>/dev/null &
    started=$!
    wait_for 30 listening || { say "job floor run $run: no screen"; return 1; }
    # As long as the panel takes to its dashboard and to settle.
    sleep 14
    measure jobfloor "$(pgrep -n -x -f "$jobfloor")"
    stop_started
}

run_floor() {
    use_vnc_platform
    timeout $((cpu_seconds + 60)) "$floor" 2>/dev/null &
    started=$!
    wait_for 30 listening || { say "floor run $run: no screen"; return 1; }
    sleep 12
    measure floor "$(pgrep -n -x -f "$floor")"
    stop_started
}

# Each move's milliseconds go into the figures as "<who>.<move> <run> <ms>".
record_moves() { # who moves...
    local who=$1 line index=0
    shift
    local moves=("$@")
    while read -r line; do
        [ "$line" = nochange ] || echo "$who.${moves[index % ${#moves[@]}]} $run $line" >>"$work/figures"
        index=$((index + 1))
    done
}

# The bus control screen's first tile, the dashboard's air conditioner tile, that screen's return,
# the dashboard's return.
panel_moves=(dashboard appliance back-to-dashboard back-to-bus)
panel_points=(352 250 150 660 1270 215 1833 993)

touch_panel() {
    local points=() cycle
    start_panel_at_bus_control $((touches * 12 + 120))
    sleep 8
    for cycle in $(seq "$touches"); do points+=("${panel_points[@]}"); done
    python3 "$here/rfb_switch.py" "$port" "${points[@]}" | record_moves panel "${panel_moves[@]}"
    stop_started
}

touch_jobfloor() {
    local points=() cycle
    use_vnc_platform
    timeout $((touches * 12 + 90)) "$root/tools/nsrun.sh" --sim "$build/tools/simulator/controller-sim" \
        --scenario "$here/sixteen.scn" -- "$jobfloor" --switch 2>/dev/null &
    started=$!
    wait_for 30 listening || { say "job floor run $run: no screen"; return 1; }
    sleep 8
    for cycle in $(seq $((touches * 2))); do points+=(960 540); done
    python3 "$here/rfb_switch.py" "$port" "${points[@]}" | record_moves jobfloor forward back
    stop_started
}

for run in $(seq "$runs"); do
    run_panel
    run_jobfloor
    run_floor
done
if [ "$touches" -gt 0 ]; then
    for run in $(seq "$runs"); do
        touch_panel
        touch_jobfloor
    done
fi

column() { awk -v who="$1" -v field="$2" '$1 == who { print $field }' "$work/figures"; }
p_cpu=$(column panel 3 | median); f_cpu=$(column floor 3 | median)
p_wake=$(column panel 4 | median); f_wake=$(column floor 4 | median)
j_cpu=$(column jobfloor 3 | median); j_wake=$(column jobfloor 4 | median)
ratio() { awk -v p="$1" -v f="$2" 'BEGIN { if (f > 0) printf "%.2f", p / f; else print "n/a" }'; }
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), Qt's vnc platform (the framebuffer's composition), 1920x1080,"
echo "no viewer; $runs runs each, alternating; CPU over $cpu_seconds s. Panel: \`$panel\`."
echo
echo "| measure | panel | job floor | bare floor | panel/job floor | panel/bare floor | job floor/bare floor |"
echo "|---|---|---|---|---|---|---|"
echo "| CPU, dashboard in alarm, 16 controllers polled (%) | $p_cpu | $j_cpu | $f_cpu" \
    "| $(ratio "$p_cpu" "$j_cpu") | $(ratio "$p_cpu" "$f_cpu") | $(ratio "$j_cpu" "$f_cpu") |"
echo "| main thread woken, per second | $p_wake | $j_wake | $f_wake" \
    "| $(ratio "$p_wake" "$j_wake") | $(ratio "$p_wake" "$f_wake") | $(ratio "$j_wake" "$f_wake") |"
echo
runs_of() { column "$1" 3 | tr '\n' ' ' | sed 's/ $//'; }
echo "Every run (panel; job floor; bare floor): $(runs_of panel); $(runs_of jobfloor); $(runs_of floor)"
[ "$touches" -gt 0 ] || exit 0
echo
echo "Touch to the next screen fully drawn (ms; $touches touches a run, $runs runs, medians; a viewer"
echo "watching), against the job floor switching between two full-screen pictures:"
echo
touch_table "$work/figures" "${panel_moves[@]}"
