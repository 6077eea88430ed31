#!/usr/bin/env bash
# Installs what is missing, builds, and starts the panel on simulated controllers (the default
# building, tools/simulator/default-building.scn) through tools/nsrun.sh. Uses the current DISPLAY;
# without one it starts a virtual display and saves a screenshot every few seconds. Ctrl-C stops
# everything. Arguments go to the panel.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target panel controller-sim

shots_every=5
shots_kept=50
shots=$PWD/shots
sim_log=$PWD/build/sim.log
pids=()

stop() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_virtual_display() {
    local announced
    announced=$(mktemp)
    Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp >"$announced" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do
        grep -q . "$announced" && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$announced")"
    rm -f "$announced"
    [ "$DISPLAY" != ":" ] || { echo "run: Xvfb did not start" >&2; exit 1; }
}

# The newest picture is always shots/latest.png; older ones are kept up to a limit.
take_screenshots() {
    mkdir -p "$shots"
    trap 'kill "${pause:-}" 2>/dev/null; exit 0' TERM
    while true; do
        sleep "$shots_every" &
        pause=$!
        wait "$pause"
        import -window root "$shots/panel-$(date +%Y%m%d-%H%M%S).png" 2>/dev/null || continue
        ls -1t "$shots"/panel-*.png | tail -n +$((shots_kept + 1)) | xargs -r rm -f
        cp "$(ls -1t "$shots"/panel-*.png | head -n 1)" "$shots/latest.png"
    done
}

if [ -z "${DISPLAY:-}" ]; then
    start_virtual_display
    echo "run: no DISPLAY, so the panel runs on the virtual display $DISPLAY."
    echo "run: a screenshot every ${shots_every} s goes to $shots/ (newest: $shots/latest.png)."
    take_screenshots &
    pids+=($!)
fi

# A broker of this run's own on a Unix socket under build/, as the board has one: the panel's
# remote link then has someone to talk to. Without Mosquitto the panel runs as it always did.
panel_env=()
if command -v mosquitto >/dev/null; then
    mqtt_dir=$PWD/build/mqtt
    mqtt_sock=$mqtt_dir/mqtt.sock
    mkdir -p "$mqtt_dir"
    rm -f "$mqtt_sock"
    # "user": started as root, Mosquitto would otherwise become the user "mosquitto".
    printf 'listener 0 %s\nallow_anonymous true\npersistence false\nuser %s\n' \
        "$mqtt_sock" "$(id -un)" >"$mqtt_dir/mosquitto.conf"
    mosquitto -c "$mqtt_dir/mosquitto.conf" 2>"$mqtt_dir/mosquitto.log" &
    pids+=($!)
    for _ in $(seq 50); do
        [ -S "$mqtt_sock" ] && break
        sleep 0.1
    done
    [ -S "$mqtt_sock" ] || { echo "run: mosquitto did not start, see $mqtt_dir/mosquitto.log" >&2; exit 1; }
    panel_env=(env "PANEL_MQTT_SOCKET=$mqtt_sock" PANEL_REMOTE_ID=dev)
    echo "run: MQTT broker on $mqtt_sock; watch it with"
    echo "       mosquitto_sub --unix $mqtt_sock -t 'panel/#' -v"
    echo "     and switch the kitchen's fan on with"
    echo "       mosquitto_pub --unix $mqtt_sock -t panel/dev/0/2/fan/set -m ON"
fi

echo "run: simulated controllers from tools/simulator/default-building.scn; frame log: $sim_log"
echo "run: Ctrl-C stops the panel, the simulator and everything this script started."
tools/nsrun.sh --sim build/tools/simulator/controller-sim \
    --scenario tools/simulator/default-building.scn --sim-log "$sim_log" -- "${panel_env[@]}" build/panel "$@" &
runner=$!
pids=("$runner" "${pids[@]}")
status=0
wait "$runner" || status=$?
exit "$status"
