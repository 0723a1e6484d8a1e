#!/usr/bin/env bash
# End-to-end checks of the main window on a real X server (Xvfb), driven by
# xdotool, with the serial line played by tests/e2e/line.py:
#   - the window opens at the compact height, Ctrl+H switches to the full
#     height and back;
#   - "STATUS" sends CR0 and CR;
#   - a held arrow repeats every 100 ms and stops on release, also when the
#     pointer left the arrow before the release, and with the right button;
#   - "END" ends the program and stores the address.
# Usage: tests/e2e/panel.sh [build-dir]   (default build/)
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
orva="$build/app/orva"
[ -x "$orva" ] || { echo "no $orva: build first"; exit 2; }

fail() { echo "FAIL: $*"; exit 1; }
pass() { echo "ok: $*"; }

source tests/e2e/session.sh

XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$orva" >/dev/null 2>&1 &
orva_pid=$!
pids+=($orva_pid)
win="$(xdotool search --sync --onlyvisible --pid "$orva_pid" | head -1)"
[ -n "$win" ] || fail "no window"
sleep 0.5

height() { xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p'; }
frames() { { grep -o "$1" "$log" || true; } | wc -l; }
# Moves the pointer to the middle of a control given in twips (left, top,
# width, height, relative to the client area).
point() { xdotool mousemove --window "$win" $((($1 + $3 / 2) / 15)) $((($2 + $4 / 2) / 15)); }

# The first size may still be settling on a busy machine: wait up to 5 s.
for _ in $(seq 50); do [ "$(height)" = 312 ] && break; sleep 0.1; done
[ "$(height)" = 312 ] || fail "compact height: client $(height) px, want 312"
pass "opens at the compact height (monitor area hidden)"

xdotool windowfocus --sync "$win"
xdotool key ctrl+h
sleep 0.3
[ "$(height)" = 512 ] || fail "Ctrl+H: client $(height) px, want 512"
xdotool key ctrl+shift+h
sleep 0.3
[ "$(height)" = 512 ] || fail "Ctrl+Shift+H changed the height"
pass "Ctrl+H shows the monitor area, Ctrl+Shift+H does nothing"

point 8520 4687 1500 346 # STATUS
xdotool click 1
sleep 0.5
grep -q $'CR0\r' "$log" || fail "STATUS sent nothing"
pass "STATUS sends CR0"

xdotool key ctrl+h
sleep 0.3
[ "$(height)" = 312 ] || fail "second Ctrl+H: client $(height) px, want 312"
pass "a second Ctrl+H hides it again"

# ZOOM up arrow: frame at 6840,1680; arrow at 120,480 inside it.
before=$(frames C47)
point $((6840 + 120)) $((1680 + 480)) 735 300
xdotool mousedown 1
sleep 1
xdotool mouseup 1
sleep 0.4
held=$(($(frames C47) - before))
[ "$held" -ge 7 ] && [ "$held" -le 16 ] || fail "held 1 s: $held frames, want about 11"
after=$(frames C47)
sleep 0.4
[ "$(frames C47)" = "$after" ] || fail "repeats went on after the release"
pass "a held arrow repeats ($held frames in 1 s) and stops on release"

# Pressed on MENU up, released over POWER On: the hold still ends.
before=$(frames C3C)
point $((120 + 1440)) $((1680 + 460)) 735 300
xdotool mousedown 1
sleep 0.3
point $((120 + 180)) $((0 + 600)) 870 300
sleep 0.2
xdotool mouseup 1
sleep 0.3
after=$(frames C3C)
sleep 0.4
[ "$(frames C3C)" = "$after" ] || fail "hold went on after a release off the arrow"
[ "$(frames C00)" = 0 ] || fail "the release off the arrow clicked POWER On"
[ $((after - before)) -ge 2 ] || fail "MENU up did not repeat"
pass "a release off the arrow ends the hold"

before=$(frames C5F)
point $((4890 + 120)) $((1680 + 960)) 735 300 # LENS SHIFT left
xdotool mousedown 3
sleep 0.5
xdotool mouseup 3
sleep 0.3
[ $(($(frames C5F) - before)) -ge 3 ] || fail "the right button did not hold"
pass "the right mouse button holds too"

xdotool key ctrl+h
sleep 0.3
point $((120 + 4800)) $((6840 + 240)) 700 255 # address 001
xdotool click 1
point 8520 4080 1500 375 # END
xdotool click 1
for _ in $(seq 50); do kill -0 "$orva_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$orva_pid" 2>/dev/null && fail "END did not end the program"
grep -q '^ADRESS=A001$' "$work/config/ORVA.ini" || fail "END did not store the address"
pass "END stores the address and ends the program"
echo "all end-to-end checks passed"
