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
