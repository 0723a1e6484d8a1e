#!/usr/bin/env bash
# Checks the systemd user unit with systemd-analyze verify, as a user's
# service manager loads it, and fails on any warning. The unit runs
# /usr/bin/orvactl, which exists once the package is installed: the check
# reads a copy that runs the built orvactl instead, and finds the manual page
# in the source tree. verify needs no running service manager, only a runtime
# folder of the user's, made here; so it runs as root or as any user.
# Usage: tests/packaging/unit.sh UNIT-FILE BUILT-ORVACTL MANUAL-PAGE
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
grep -q '^ExecStart=/usr/bin/orvactl ' "$1" || { echo "FAIL: ExecStart does not run /usr/bin/orvactl"; exit 1; }
mkdir -m 700 "$work/run"
mkdir -p "$work/man/man1" "$work/unit"
cp "$3" "$work/man/man1/"
sed "s|^ExecStart=/usr/bin/orvactl |ExecStart=$2 |" "$1" >"$work/unit/$(basename "$1")"
status=0
said="$(XDG_RUNTIME_DIR="$work/run" MANPATH="$work/man" \
  systemd-analyze verify --user "$work/unit/$(basename "$1")" 2>&1)" || status=$?
[ "$status" = 0 ] && [ -z "$said" ] || { echo "FAIL: systemd-analyze verify (status $status): $said"; exit 1; }
echo "ok: systemd-analyze verify --user $(basename "$1"): no warning"
