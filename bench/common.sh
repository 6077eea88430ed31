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

# The touch figures of bench/fb-run.sh and bench/vm-run.sh as a Markdown table, from lines
# "<who>.<move> <run> <ms>" of panel and job floor: each of the panel's moves against the job floor's
# switch the same way, forward or back.
touch_table() { # figures-file panel-moves...
    local figures=$1 move way m j
    shift
    touch_figures_of() { awk -v who="$1" '$1 == who { print $3 }' "$figures"; }
    echo "| move | panel | job floor, same way | panel/job floor | panel min-max |"
    echo "|---|---|---|---|---|"
    for move in "$@"; do
        way=forward
        [ "${move#back}" = "$move" ] || way=back
        m=$(touch_figures_of "panel.$move" | median)
        j=$(touch_figures_of "jobfloor.$way" | median)
        echo "| $move | $m | $j ($way) | $(awk -v p="$m" -v f="$j" 'BEGIN { if (f > 0) printf "%.2f", p / f; else print "n/a" }')" \
            "| $(touch_figures_of "panel.$move" | sort -g | head -1)-$(touch_figures_of "panel.$move" | sort -g | tail -1) |"
    done
    echo
    echo "Job floor (ms), to the dashboard's picture: $(touch_figures_of jobfloor.forward | tr '\n' ' ' | sed 's/ $//');"
    echo "back to the bus control's: $(touch_figures_of jobfloor.back | tr '\n' ' ' | sed 's/ $//')"
}
