#!/usr/bin/env bash
# The PJLink bridge of orvactl watch --pjlink, driven by the npm client
# (tests/pjlink/client.js) through to two simulated projectors.
# Usage: tests/pjlink/client.sh BUILD-DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
[ -d "$here/node_modules/pjlink" ] || {
  echo "FAIL: no npm client in $here/node_modules: run scripts/install-deps --test"; exit 1; }
work="$(mktemp -d)"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/sim/orva-sim" --count 2 --tcp 0 --warm-ms 3000 --cool-ms 3000 >"$work/sim" &
pids+=($!)
for _ in $(seq 50); do [ "$(wc -l <"$work/sim")" = 2 ] && break; sleep 0.1; done
# Two free ports, from the kernel.
read -r locked open < <(python3 -c 'import socket
s=[socket.socket() for _ in range(2)]
[x.bind(("127.0.0.1", 0)) for x in s]
print(*[x.getsockname()[1] for x in s])')
mkdir -p "$work/config"
{ echo "[Projectors]"
  echo "Hall A=$(sed -n 1p "$work/sim"), pjlink=$locked, pjlink-password=JBMIAProjectorLink"
  echo "Hall B=$(sed -n 2p "$work/sim"), pjlink=$open"; } >"$work/config/ORVA.ini"
XDG_CONFIG_HOME="$work/config" "$build/cli/orvactl" watch --pjlink --interval 1 \
  >"$work/watch" 2>&1 &
pids+=($!)
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$open") 2>/dev/null && break; sleep 0.1; done
cd "$here" && node client.js "$locked" "$open" || { cat "$work/watch"; exit 1; }
