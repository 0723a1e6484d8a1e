# Sourced by the whole-process benchmarks, after `set -euo pipefail`, with
# the build folder as the first argument. Sets build, sim, ctl and work (a
# temporary folder, removed at the end with every process in pids), and a
# private settings folder.

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

# wait_lines FILE COUNT: waits until FILE holds COUNT lines (what orva-sim
# prints once its lines are up).
wait_lines() {
    for _ in $(seq 500); do
        [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ] && return
        sleep 0.02
    done
    echo "timed out waiting for $1" >&2
    exit 1
}
