# Sourced by the end-to-end scripts, from the top of the source tree. Makes
# a private folder $work and the array pids of processes to end on exit (a
# script adds the programs it starts). Starts a private X display (Xvfb picks
# a free number and writes it to fd 3 once it accepts clients), a
# pseudo-terminal line played by tests/e2e/line.py (its bytes logged in
# $log), and a settings folder ($work/config) in which COM3 is that line at
# 9600 baud with no address.

work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

log="$work/line.log"
: >"$log"
coproc LINE { exec /usr/bin/python3 tests/e2e/line.py "$log"; }
pids+=($LINE_PID)
read -r device <&"${LINE[0]}"
mkdir -p "$work/config"
cat >"$work/config/ORVA.ini" <<INI
[StartUP]
ComPort=3
BaudRate=96
ADRESS=
[Ports]
COM3=$device
INI
