# Helpers of the bench scripts; sourced, not run.

# Runs a command until it succeeds or the seconds have passed; fails then.
wait_for() { # seconds command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.05
    done
}

# The median of the numbers on standard input, one per line; "n/a" for none.
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "n/a"; exit }
        if (NR % 2) print v[(NR + 1) / 2]; else printf "%.10g\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

said() { grep -qxF "$2" "$1"; } # file line

# The Xvfb runs: what they start goes into the array "started" and is stopped by its process id;
# "work" is the run's scratch folder.
stop_started() {
    local pid
    for pid in "${started[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    started=()
}

start_x() {
    local fifo="$work/displayfd"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
    started+=($!)
    x_pid=$!
    read -r display <"$fifo"
    export DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
}

report_value() { # report-file key
    awk -v key="$2" '$1 == key { print $2 }' "$1" 2>/dev/null
}

has_report() { [ -n "$(report_value "$1" first_window_ms)" ]; }

# CPU time of every thread of a process, in nanoseconds (scheduler accounting, finer than ticks).
cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d\n", sum }'
}

rss_kib() { awk '/^VmRSS:/ { print $2 }' /proc/"$1"/status; }

cpu_percent_over() { # pid seconds
    local before after
    before=$(cpu_ns "$1")
    sleep "$2"
    after=$(cpu_ns "$1")
    awk -v a="$before" -v b="$after" -v s="$2" 'BEGIN { printf "%.3f\n", (b - a) / (s * 1e7) }'
}

click() { xdotool mousemove "$1" "$2" click 1; }
