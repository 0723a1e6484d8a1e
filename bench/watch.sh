#!/bin/bash
# orvactl watch on 256 simulated projectors (one pseudo-terminal each) at a
# 10 s interval for DURATION seconds (300 by default): the watcher's average
# CPU share of one core, its RSS after the first minute and at the end, and
# the shortest time between two commands on one line. Then the reconnect
# times: an adapter's stable name coming back, and ser2net coming back.
# Usage: bench/watch.sh BUILD_DIR [DURATION]
set -euo pipefail
# As in venue.sh: the serial library's lock files on a tmpfs, as on Debian.
if [ "$(id -u)" = 0 ] && [ -z "${ORVA_BENCH_PRIVATE_LOCKS:-}" ] &&
    [ "$(stat -f -c %T /run/lock)" != tmpfs ]; then
    exec env ORVA_BENCH_PRIVATE_LOCKS=1 unshare -m sh -c \
        'mount -t tmpfs tmpfs /run/lock && exec "$0" "$@"' "$0" "$@"
fi
build=$(realpath "$1")
duration=${2:-300}
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
hz=$(getconf CLK_TCK)

wait_lines() { # FILE COUNT
    for _ in $(seq 500); do
        [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ] && return
        sleep 0.02
    done
    echo "timed out waiting for $1" >&2
    exit 1
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

echo "== 256 projectors, 10 s interval, ${duration} s"
"$sim" --count 256 >"$work/lines" &
pids+=($!)
wait_lines "$work/lines" 256
{
    echo "[Projectors]"
    awk '{ printf "Room %d=%s\n", NR, $0 }' "$work/lines"
} >"$XDG_CONFIG_HOME/ORVA.ini"
"$ctl" watch --interval 10 --log "$work/log" --metrics "$work/orva.prom" >"$work/changes" &
watcher=$!
pids+=($watcher)
sleep 60
start_ticks=$(cpu_ticks $watcher)
rss_minute=$(rss_kb $watcher)
sleep $((duration - 60))
end_ticks=$(cpu_ticks $watcher)
rss_end=$(rss_kb $watcher)
kill -TERM $watcher
wait $watcher || true
awk -v t=$((end_ticks - start_ticks)) -v hz="$hz" -v s=$((duration - 60)) \
    'BEGIN { printf "CPU after the first minute: %.2f %% of one core\n", 100 * t / hz / s }'
echo "RSS: ${rss_minute} kB after one minute, ${rss_end} kB at the end"
# The log's fields are separated by tabs: time, name, event, text, hex.
awk -F'\t' '$3 == "sent" {
        cmd = "date -d " $1 " +%s.%N"; cmd | getline t; close(cmd)
        if ($2 in last && t - last[$2] < min) min = t - last[$2]
        last[$2] = t; n++
    }
    BEGIN { min = 1e9 }
    END { printf "%d commands; shortest time between two on one line: %.3f s\n", n, min }' \
    <(grep -P '\tsent\t' "$work/log" | head -4000)
kill "${pids[0]}"

echo "== reconnect: the adapter's stable name comes back"
byid=$work/by-id
mkdir -p "$byid"
export ORVA_SERIAL_BY_ID=$byid
"$sim" >"$work/adapter1" &
pids+=($!)
wait_lines "$work/adapter1" 1
ln -s "$(head -1 "$work/adapter1")" "$byid/usb-Sim_Projector-if00-port0"
{
    echo "[Projectors]"
    echo "Adapter=$byid/usb-Sim_Projector-if00-port0"
} >"$XDG_CONFIG_HOME/ORVA.ini"
: >"$work/log2"
"$ctl" watch --interval 1 --log "$work/log2" >/dev/null &
pids+=($!)
sleep 2
kill "${pids[-2]}"
rm "$byid/usb-Sim_Projector-if00-port0"
sleep 9 # the backoff grows past 4 s
"$sim" >"$work/adapter2" &
pids+=($!)
wait_lines "$work/adapter2" 1
back=$(date +%s.%N)
ln -s "$(head -1 "$work/adapter2")" "$byid/usb-Sim_Projector-if00-port0"
for _ in $(seq 300); do
    grep -qP '\treconnect\t' "$work/log2" && break
    sleep 0.01
done
opened=$(grep -P '\treconnect\t' "$work/log2" | head -1 | cut -f1)
awk -v a="$back" -v b="$(date -d "$opened" +%s.%N)" \
    'BEGIN { printf "link back -> port open again: %.0f ms\n", (b - a) * 1000 }'
