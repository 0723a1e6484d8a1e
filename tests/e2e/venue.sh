#!/usr/bin/env bash
# End-to-end checks of the venue window on a private X display, read and
# driven over AT-SPI by tests/e2e/venue.py as a screen reader would, against
# two simulated projectors on pseudo-terminals, a third behind ser2net
# (RFC 2217) and the line of tests/e2e/line.py (address 002). See venue.py
# for the checks.
# Usage: tests/e2e/venue.sh [build-dir]   (default build/)
set -euo pipefail
cd "$(dirname "$0")/../.."
build="$(realpath "${1:-build}")"
for program in venue/orva-venue app/orva sim/orva-sim cli/orvactl; do
  [ -x "$build/$program" ] || { echo "no $build/$program: build first"; exit 2; }
done

if [ -z "${ORVA_A11Y_SESSION:-}" ]; then
  export ORVA_A11Y_SESSION=1
  exec dbus-run-session -- "$0" "$@"
fi

source tests/e2e/session.sh

# Hall A and Hall B are simulated; Hall B's line is a link that goes away
# with its simulator and comes back with the next one.
"$build/sim/orva-sim" --link "$work/hall-a" >/dev/null 2>&1 &
pids+=($!)
"$build/sim/orva-sim" --link "$work/hall-b" >/dev/null 2>&1 &
pids+=($!)
echo $! >"$work/sim-b.pid"
"$build/sim/orva-sim" --link "$work/annex" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  [ -e "$work/hall-a" ] && [ -e "$work/hall-b" ] && [ -e "$work/annex" ] && break
  sleep 0.1
done
# The annex's projector is reached through a serial device server.
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')"
cat >"$work/ser2net.yaml" <<YAML
connection: &annex
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port
  connector: serialdev,$(readlink "$work/annex"),9600n81,local
  options:
    kickolduser: true
YAML
/usr/sbin/ser2net -n -d -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do (: <"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.05; done
cat >>"$work/config/ORVA.ini" <<INI
[Projectors]
Annex=rfc2217://127.0.0.1:$port
Hall A=$work/hall-a
Hall B=$work/hall-b
Desk=$device, address=002
Spare=$work/hall-a, adress=003
INI
cp "$work/config/ORVA.ini" "$work/before.ini"

export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$build/venue/orva-venue" --interval 1 --log "$work/venue.log" >"$work/venue.out" 2>&1 &
venue_pid=$!
pids+=($venue_pid)

# The simulator that venue.py starts again, and the panel it opens, end too.
trap 'kill $(cat "$work/more.pids" 2>/dev/null) 2>/dev/null || true; cleanup' EXIT
if ! WORK="$work" BUILD="$build" LINE_LOG="$log" \
  /usr/bin/python3 -u tests/e2e/venue.py "$venue_pid"; then
  echo "--- program output"; cat "$work/venue.out"
  echo "--- its log"; tail -40 "$work/venue.log"
  exit 1
fi
echo "all venue checks passed"
