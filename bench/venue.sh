#!/bin/bash
# orvactl --all status across N simulated projectors, each on its own line
# (pseudo-terminals, then raw TCP), and four projectors sharing one line.
# Prints the median wall time of RUNS runs, its ratio to one projector's, and
# the largest peak RSS. Usage: bench/venue.sh BUILD_DIR [RUNS]
set -euo pipefail
# The serial library writes a lock file under /run/lock for every open and
# syncs it to the disk. On a Debian system /run is a tmpfs and that costs
# nothing; in a container whose /run/lock is on the disk it costs several
# milliseconds per line. Run as root, the benchmark gives itself a private
# tmpfs there, as the system would have it.
if [ "$(id -u)" = 0 ] && [ -z "${ORVA_BENCH_PRIVATE_LOCKS:-}" ] &&
    [ "$(stat -f -c %T /run/lock)" != tmpfs ]; then
    exec env ORVA_BENCH_PRIVATE_LOCKS=1 unshare -m sh -c \
        'mount -t tmpfs tmpfs /run/lock && exec "$0" "$@"' "$0" "$@"
fi
build=$(realpath "$1")
runs=${2:-5}
sim=$build/sim/orva-sim
ctl=$build/cli/orvactl
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
ulimit -n "$(ulimit -Hn)"
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"

# start_sim NAME ARGS...: starts orva-sim and waits for its N lines of ports.
start_sim() {
    local out=$work/$1.ports count=$2
    shift 2
    "$sim" "$@" >"$out" &
    pids+=($!)
    for _ in $(seq 500); do
        [ "$(wc -l <"$out")" -ge "$count" ] && return
        sleep 0.02
    done
    echo "orva-sim did not start: $*" >&2
    exit 1
}

# venue FILE [SUFFIX]: one projector per port line of FILE.
venue() {
    {
        echo "[Projectors]"
        awk -v suffix="${2:-}" '{ printf "Room %d=%s%s\n", NR, $0, suffix }' "$1"
    } >"$XDG_CONFIG_HOME/ORVA.ini"
}

# measure: median wall seconds and largest peak RSS (kB) of RUNS runs.
measure() {
    local times=() rss=0
    for _ in $(seq "$runs"); do
        local t0=$EPOCHREALTIME
        /usr/bin/time -f "%M" -o "$work/time" "$ctl" --all status >/dev/null || true
        local t1=$EPOCHREALTIME
        read -r kb <"$work/time"
        times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')")
        ((kb > rss)) && rss=$kb
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    echo "$median $rss"
}

for kind in pty tcp; do
    base=""
    echo "== $kind: one projector per line"
    printf '%-6s %-9s %-7s %s\n' N wall_s ratio peak_rss_kB
    for n in 1 16 64 256; do
        if [ "$kind" = tcp ]; then
            start_sim "$kind$n" "$n" --count "$n" --tcp 0
        else
            start_sim "$kind$n" "$n" --count "$n"
        fi
        venue "$work/$kind$n.ports"
        read -r wall rss < <(measure)
        [ -z "$base" ] && base=$wall
        printf '%-6s %-9s %-7s %s\n' "$n" "$wall" "$(awk -v a="$wall" -v b="$base" 'BEGIN { printf "%.2f", a / b }')" "$rss"
        kill "${pids[-1]}"
        unset 'pids[-1]'
    done
done

echo "== one line shared by four projectors (addresses 001 to 004)"
start_sim shared 1 --ids 001,002,003,004
line=$(head -1 "$work/shared.ports")
{
    echo "[Projectors]"
    echo "Room 1=$line, address=001"
} >"$XDG_CONFIG_HOME/ORVA.ini"
read -r one _ < <(measure)
{
    echo "[Projectors]"
    for a in 1 2 3 4; do echo "Room $a=$line, address=00$a"; done
} >"$XDG_CONFIG_HOME/ORVA.ini"
read -r four _ < <(measure)
echo "one: $one s  four: $four s  ratio: $(awk -v a="$four" -v b="$one" 'BEGIN { printf "%.2f", a / b }')"
