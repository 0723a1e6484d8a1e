#!/usr/bin/env bash
# Checks the main window from outside, as a screen reader does: the program
# runs on a private virtual X display (Xvfb, which picks a free display
# itself) inside a private D-Bus session with the accessibility bus, on a
# pseudo-terminal line played by tests/e2e/line.py, and tests/e2e/a11y.py
# reads it over AT-SPI.
# Usage: tests/e2e/a11y.sh [build-dir]   (default build/)
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
orva="$build/app/orva"
[ -x "$orva" ] || { echo "no $orva: build first"; exit 2; }

if [ -z "${ORVA_A11Y_SESSION:-}" ]; then
  export ORVA_A11Y_SESSION=1
  exec dbus-run-session -- "$0" "$@"
fi

source tests/e2e/session.sh

XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
  "$orva" >"$work/orva.log" 2>&1 &
orva_pid=$!
pids+=($orva_pid)

if ! /usr/bin/python3 tests/e2e/a11y.py "$orva_pid"; then
  echo "--- program output"; cat "$work/orva.log"
  exit 1
fi
echo "all accessibility checks passed"
