#!/usr/bin/env bash
# Runs a program with the simulated controllers as its serial ports.
#
#   tools/nsrun.sh [--sim PATH] [--scenario FILE] [--sim-log FILE] [--sim-arg ARG]... [--link NAME=PATH]...
#                  -- PROGRAM [ARGS]
#
# Starts the controller simulator, then runs PROGRAM in a private mount namespace whose /dev is a
# small tmpfs: null, zero, random, urandom, tty, ptmx, pts and shm from the real /dev, fd (and the
# std* links), and ttyS2, ttyS4, ttyS5, ttyS7 pointing at the simulator's pseudo-terminals (or, with
# --link, at PATH: a link that another simulator remakes when it restarts, so that its bus hangs up
# and comes back under the same name). The serial lock directory is private too, so that several
# runs can each hold "their" ttyS2. Nothing outside the namespace sees any of it. Exits with PROGRAM's status; stops both on exit, Ctrl-C
# and TERM.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

usage() {
    sed -n '2,5p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

say() { echo "nsrun: $*" >&2; }

find_simulator() {
    local candidate
    for candidate in "${NSRUN_SIM:-}" "$here/../build/tools/simulator/controller-sim"; do
        [ -n "$candidate" ] && [ -x "$candidate" ] && { echo "$candidate"; return; }
    done
    command -v controller-sim || true
}

sim=""
scenario=""
sim_log=""
sim_args=()
declare -A links=()
while [ $# -gt 0 ]; do
    case "$1" in
        --sim) sim=$2; shift 2 ;;
        --scenario) scenario=$2; shift 2 ;;
        --sim-log) sim_log=$2; shift 2 ;;
        --sim-arg) sim_args+=("$2"); shift 2 ;;
        --link) links[${2%%=*}]=${2#*=}; shift 2 ;;
        --) shift; break ;;
        -h|--help) usage ;;
        *) say "unknown option $1"; usage ;;
    esac
done
[ $# -gt 0 ] || usage
[ -n "$sim" ] || sim=$(find_simulator)
[ -x "$sim" ] || { say "controller-sim not found (build it, or pass --sim PATH)"; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/nsrun.XXXXXX")
mkdir "$work/links" "$work/stage"
[ -n "$sim_log" ] || sim_log="$work/sim.log"
sim_pid=""
program_pid=""

stop() {
    local pid
    for pid in "$program_pid" "$sim_pid"; do
        [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "$program_pid" "$sim_pid"; do
        [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
    done
    program_pid=""
    sim_pid=""
    rm -rf "$work"
}
trap 'stop' EXIT
trap 'stop; exit 130' INT
trap 'stop; exit 143' TERM

sim_command=("$sim" --links "$work/links" --log "$sim_log")
[ -z "$scenario" ] || sim_command+=(--scenario "$scenario")
"${sim_command[@]}" "${sim_args[@]}" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!

# The simulator makes its links last, once its ports are ready.
for _ in $(seq 100); do
    [ -L "$work/links/ttyS7" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        say "the simulator stopped: $(cat "$work/sim.err")"
        exit 2
    fi
    sleep 0.1
done
[ -L "$work/links/ttyS7" ] || { say "the simulator made no links within 10 s"; exit 2; }


ports=()
for name in ttyS2 ttyS4 ttyS5 ttyS7; do
    ports+=("${links[$name]:-$(readlink "$work/links/$name")}")
done

as_user=()
[ "$(id -u)" -eq 0 ] || as_user=(-r)
unshare "${as_user[@]}" -m --propagation private \
    bash "$here/nsrun-inner.sh" "$work/stage" "${ports[@]}" "$@" &
program_pid=$!

status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"
