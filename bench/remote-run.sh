#!/usr/bin/env bash
# What the MQTT link costs: the panel's CPU with the link connected to a broker against the same
# panel whose broker is absent (the link retrying quietly), side by side in one run, under Xvfb.
#
#   bench/remote-run.sh [--runs N] [--cpu-seconds S] [--build DIR]
#
# Each run starts its own Xvfb and the panel through the namespace runner on sixteen simulated
# controllers, opens the dashboard of bus 0 controller 0 (in alarm, its icons blinking), lets the
# sixteen controllers answer, and measures the CPU time of all the panel's threads over S seconds.
# Connected, a Mosquitto broker of the run's own listens on a Unix socket and a subscriber to every
# topic stands in for the building; the broker's CPU is measured alongside. Connected and
# disconnected runs alternate, so that a busy spell of the machine falls on both. Prints a table.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/common.sh
. "$here/common.sh"

runs=5
cpu_seconds=60
build="$root/build"
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs=$2; shift 2 ;;
        --cpu-seconds) cpu_seconds=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "remote-run: unknown option $1" >&2; exit 2 ;;
    esac
done

say() { echo "remote-run: $*" >&2; }

"$root/tools/install-deps.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" --preset default -B "$build" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target panel bench-probe controller-sim >/dev/null

panel="$build/panel"
probe="$build/bench/bench-probe"
sim="$build/tools/simulator/controller-sim"
nsrun="$root/tools/nsrun.sh"
scenario="$here/sixteen.scn"
main_middle=(960 540)
home_bus_button=(1142 537)
first_tile=(352 250)

work=$(mktemp -d "${TMPDIR:-/tmp}/remote-bench.XXXXXX")
started=()
trap 'stop_started; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

socket="$work/mqtt.sock"
# As root, Mosquitto would become the user "mosquitto", who may not enter the scratch folder.
printf 'listener 0 %s\nallow_anonymous true\npersistence false\npid_file %s\nuser %s\n' \
    "$socket" "$work/mosquitto.pid" "$(id -un)" >"$work/mosquitto.conf"

start_broker() {
    rm -f "$socket"
    timeout $((cpu_seconds + 120)) mosquitto -c "$work/mosquitto.conf" 2>"$work/broker.err" &
    started+=($!)
    wait_for 10 test -S "$socket" || { say "no broker"; cat "$work/broker.err" >&2; return 1; }
    # The broker itself, not the time limit around it.
    broker_pid=$(cat "$work/mosquitto.pid")
    timeout $((cpu_seconds + 120)) mosquitto_sub --unix "$socket" -t '#' -v >"$work/subscriber.log" &
    started+=($!)
}

run_panel() { # run connected|disconnected
    local run=$1 mode=$2 report="$work/panel.report" err="$work/panel.err" broker_cpu="-"
    rm -f "$report"
    start_x
    local wanted="$work/absent.sock"
    if [ "$mode" = connected ]; then
        start_broker
        wanted=$socket
    fi
    PANEL_MQTT_SOCKET=$wanted PANEL_REMOTE_ID=bench "$nsrun" --sim "$sim" --scenario "$scenario" -- \
        "$probe" launch "$report" -- "$panel" 2>"$err" &
    started+=($!)
    wait_for 30 has_report "$report" || { say "run $run: no window"; cat "$err" >&2; return 1; }
    local pid
    pid=$(report_value "$report" pid)
    click "${main_middle[@]}"
    wait_for 10 said "$err" "~~enter Home~~"
    click "${home_bus_button[@]}"
    sleep 1
    click "${first_tile[@]}"
    sleep 12
    if [ "$mode" = connected ]; then
        grep -q "^panel/bench/status online" "$work/subscriber.log" || { say "run $run: the panel never connected"; return 1; }
        local broker_before messages_before
        broker_before=$(cpu_ns "$broker_pid")
        messages_before=$(wc -l <"$work/subscriber.log")
    fi
    local cpu
    cpu=$(cpu_percent_over "$pid" "$cpu_seconds")
    if [ "$mode" = connected ]; then
        broker_cpu=$(awk -v a="$broker_before" -v b="$(cpu_ns "$broker_pid")" -v s="$cpu_seconds" \
            'BEGIN { printf "%.3f\n", (b - a) / (s * 1e7) }')
        echo "$broker_cpu" >>"$work/broker.cpu"
        echo $(($(wc -l <"$work/subscriber.log") - messages_before)) >>"$work/messages"
    fi
    echo "$cpu" >>"$work/$mode.cpu"
    say "run $run $mode: panel CPU $cpu %, broker CPU $broker_cpu %"
    stop_started
}

for run in $(seq "$runs"); do
    run_panel "$run" connected
    run_panel "$run" disconnected
done

series() { tr '\n' ' ' <"$work/$1" | sed 's/ $//'; }
connected=$(median <"$work/connected.cpu")
disconnected=$(median <"$work/disconnected.cpu")
echo "| panel CPU, % of a core (median of $runs, ${cpu_seconds} s each) | runs |"
echo "|---|---|"
echo "| link connected: $connected | $(series connected.cpu) |"
echo "| broker absent, link retrying: $disconnected | $(series disconnected.cpu) |"
echo "| the broker itself, connected runs: $(median <"$work/broker.cpu") | $(series broker.cpu) |"
echo "| messages the panel published in the ${cpu_seconds} s: $(median <"$work/messages") | $(series messages) |"
echo "| connected / disconnected: $(awk -v c="$connected" -v d="$disconnected" 'BEGIN { printf "%.3f", c / d }') | |"
