#!/usr/bin/env bash
# Writes one PNG per screen of the real panel into docs/screens/ (or the folder given): the panel
# runs on its own Xvfb, on the default building of simulated controllers (tools/nsrun.sh), and is
# driven with xdotool like a finger would.
#
#   tools/screenshots.sh [OUTPUT_DIR]      BUILD_DIR=build by default; builds nothing itself
#
# To add a screen, add a step to take_screenshots: tap, wait for what proves the screen is up,
# capture.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$root/docs/screens}
panel=$build/panel
sim=$build/tools/simulator/controller-sim
scenario=$root/tools/simulator/default-building.scn

for binary in "$panel" "$sim"; do
    [ -x "$binary" ] || { echo "screenshots: $binary is missing; build first (./test.sh or cmake --build build)" >&2; exit 2; }
done
mkdir -p "$out"

work=$(mktemp -d "${TMPDIR:-/tmp}/screenshots.XXXXXX")
xvfb_pid=""
runner_pid=""
cleanup() {
    [ -z "$runner_pid" ] || { kill -TERM "$runner_pid" 2>/dev/null; wait "$runner_pid" 2>/dev/null; } || true
    [ -z "$xvfb_pid" ] || { kill -TERM "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits up to 15 s for a command to succeed.
wait_until() {
    for _ in $(seq 150); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "screenshots: gave up waiting for: $*" >&2
    echo "--- panel said:" >&2
    cat "$work/panel.err" >&2
    return 1
}

start_display() {
    Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp >"$work/display" 2>"$work/xvfb.err" &
    xvfb_pid=$!
    wait_until grep -q . "$work/display"
    export DISPLAY=":$(head -n 1 "$work/display")"
}

# The default building, and a controller whose alarm latches when it then falls silent (a fire that
# burns its bus cable): bus 3, controller 0 reports leakage at 5 s and answers nothing from 12 s on.
write_scenario() {
    cat "$scenario" - >"$work/building.scn" <<'EOF'
at 5 3 0 alarm=0x08
at 12 3 0 behaviour=silent
EOF
}

start_panel() {
    write_scenario
    QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work "$root/tools/nsrun.sh" --sim "$sim" --scenario "$work/building.scn" \
        --sim-log "$work/sim.log" -- "$panel" >"$work/panel.out" 2>"$work/panel.err" &
    runner_pid=$!
    wait_until window_shown MainWindow
}

window_shown() { xdotool search --onlyvisible --name "^$1\$"; }
debug_line() { grep -qxF "$1" "$work/panel.err"; }
tap() { xdotool mousemove "$1" "$2" click 1; }

# Screens draw once they are shown; a short pause lets the X server catch up before capturing.
capture() {
    sleep 1
    import -window root "$out/$1.png"
    echo "screenshots: $out/$1.png"
}

take_screenshots() {
    capture 01-main-window

    tap 960 540
    wait_until debug_line "~~enter Home~~"
    capture 02-home

    home_screen=$(shown_screen)
    tap 1142 537
    wait_until screen_other_than "$home_screen"
    bus_screen=$(shown_screen)
    sleep 4 # one poll cycle: every tile of bus 0 shows its controller's answer
    capture 03-bus-control

    tap $((212 + 70 + 70)) $((150 + 30 + 70)) # first tile: bus 0, controller 0
    wait_until screen_other_than "$bus_screen" # the dashboard
    capture 04-dashboard

    # Each appliance screen from its dashboard tile, closed again with its own return button.
    appliance 05-air-conditioner 空调 150 660 1270 215
    appliance 06-television 电视 520 660 1270 205
    appliance 07-lighting 灯 910 660 1270 195
    appliance 08-curtain 窗帘 1270 660 1290 215
    appliance 09-fan 风扇 1620 660 1250 225

    tap 1833 993                              # the dashboard's return: back to the bus control screen
    sleep 1
    tap $((212 + 70 + 280 * 2 + 70)) $((150 + 30 + 70)) # bus 0, controller 2: smoke in the kitchen
    # Its alarm icons blink, 500 ms on and 500 ms off, the first time on 500 ms after the touch.
    sleep 0.75
    import -window root "$out/10-dashboard-alarm.png"
    echo "screenshots: $out/10-dashboard-alarm.png"

    # The building's gas alarm on bus 1 comes 20 s after the start; its controller is polled every
    # few seconds after that. Bus 0's panel stays in view, so bus 1's button shows the alarm.
    tap 1833 993                              # the dashboard's return: back to the bus control screen
    while [ $SECONDS -lt $((started + 32)) ]; do sleep 0.5; done
    capture 11-channel-alarm

    tap 1833 993                              # the bus control screen's return: Home lists the alarms
    capture 12-home-alarm

    tap 1833 993                              # Home's return: the start picture lists them too
    capture 14-start-alarm
}

# name, window title, tile touch point, return button touch point
appliance() {
    tap "$3" "$4"
    wait_until window_shown "$2"
    capture "$1"
    tap "$5" "$6"
    wait_until window_hidden "$2"
}

# Home, the bus control screen and the dashboard are all titled "Form"; the one on top covers and
# hides the others.
shown_screen() { xdotool search --onlyvisible --name '^Form$' || true; }
screen_other_than() { local shown; shown=$(shown_screen); [ -n "$shown" ] && [ "$shown" != "$1" ]; }
window_hidden() { ! window_shown "$1"; }

start_display
start_panel
started=$SECONDS
take_screenshots
