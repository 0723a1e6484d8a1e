#!/usr/bin/env bash
# Packs the build tree into a Debian package with CPack and checks it:
#   - lintian, run as an unprivileged user, finds no error and no tag that the
#     README does not accept (scripts/lintian);
#   - it declares the Qt libraries, the window system plugin and the font
#     among its dependencies;
#   - unpacked into a temporary root (dpkg -x), its orva answers --version
#     without a display, its orva-sim runs, and its orvactl loads the network
#     line (a closed loopback port is refused);
#   - the desktop entries' Exec and Icon name files of the package, the icon
#     at every size in its own folder, and its command opens a window;
#   - every program has a manual page;
#   - the watcher's systemd user unit runs a program of the package.
# Usage: tests/packaging/deb.sh BUILD-DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
pass() { echo "ok: $*"; }

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb="$(ls "$work"/out/orva_*.deb)"
pass "packed $(basename "$deb")"

# A build tree configured without Debian's hardening flags (by hand rather
# than by scripts/build) gets lintian's hardening tags; they are let through
# there, and said so.
hardened=--unhardened
grep -q '^CMAKE_EXE_LINKER_FLAGS:STRING=.*-z,now' "$build/CMakeCache.txt" && hardened=
[ -z "$hardened" ] || echo "note: this build tree lacks Debian's hardening flags; its hardening is not checked"
"$(dirname "$0")/../../scripts/lintian" $hardened "$deb" || fail "lintian (see above)"
pass "lintian: no error, and no tag that README.md does not accept"

depends="$(dpkg-deb -f "$deb" Depends)"
for want in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins \
  fonts-ipafont-gothic; do
  [[ ", $depends," == *", $want "* || ", $depends," == *", $want,"* ]] ||
    fail "Depends lacks $want: $depends"
done
pass "depends on $depends"

root="$work/root"
dpkg -x "$deb" "$root"
version="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$root/usr/bin/orva" --version)" ||
  fail "the installed orva --version failed"
[[ "$version" =~ ^orva\ [0-9]+(\.[0-9]+)+$ ]] || fail "orva --version said '$version'"
pass "the installed orva answers '$version' without a display"
mkdir -p "$work/config"
status=0
XDG_CONFIG_HOME="$work/config" "$root/usr/bin/orva-sim" --wired || status=$?
[ "$status" = 1 ] || fail "the installed orva-sim --wired ended with $status, want 1 (no port stored)"
pass "the installed orva-sim runs"

# The network line is a module the programs load from beside their bin
# folder: a port on loopback that nobody listens on must be refused by the
# network, not fail for want of the module.
closed="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
status=0
said="$(XDG_CONFIG_HOME="$work/config" "$root/usr/bin/orvactl" --device "tcp://127.0.0.1:$closed" \
  send C00 2>&1)" || status=$?
[ "$status" = 3 ] && [[ "$said" == *"connection refused"* ]] ||
  fail "the installed orvactl on a closed network port ended with $status: $said"
pass "the installed programs load the network line ($said)"

# The menu entries' commands open a window: on a private X display (Xvfb
# picks a free one), with no settings, the panel comes up with its port
# dialog and the venue window with an empty table.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb ${started:-} 2>/dev/null || true; rm -rf "$work"' EXIT
read -r number <"$work/displayfd"
entries=("$root"/usr/share/applications/*.desktop)
names="$(cd "$root/usr/share/applications" && echo *.desktop)"
[ "$names" = "org.orva.orva.desktop org.orva.venue.desktop" ] || fail "desktop entries: $names"
for entry in "${entries[@]}"; do
  exec_line="$(sed -n 's/^Exec=//p' "$entry")"
  program="${exec_line%% *}"
  [ -x "$root/usr/bin/$program" ] || fail "Exec=$exec_line: no /usr/bin/$program in the package"
  icon="$(sed -n 's/^Icon=//p' "$entry")"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon: no scalable icon"
  for size in 16 32 48 64 128 256; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
    [ -f "$png" ] || fail "Icon=$icon: no $size pixel icon"
    # Width and height from the PNG header.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
      awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w x $h" = "$size x $size" ] || fail "$png is $w x $h"
  done
  pass "$(basename "$entry") names /usr/bin/$program and the icon $icon at every size"

  rm -rf "$work/menu-config" && mkdir -p "$work/menu-config"
  DISPLAY=":$number" XDG_CONFIG_HOME="$work/menu-config" QT_QPA_PLATFORM=xcb \
    PATH="$root/usr/bin:$PATH" $exec_line >/dev/null 2>&1 &
  started=$!
  DISPLAY=":$number" timeout 60 xdotool search --sync --onlyvisible --pid "$started" >/dev/null ||
    fail "Exec=$exec_line opened no window"
  kill $started
  wait $started 2>/dev/null || true
  pass "Exec=$exec_line opens a window"
done
entry="$root/usr/share/applications/org.orva.orva.desktop"

metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "${metainfo[0]}" ||
  fail "the metadata does not launch $(basename "$entry")"
pass "the metadata launches $(basename "$entry")"

# The watcher's user unit, where a user's service manager finds it, runs a
# program of the package.
unit="$root/usr/lib/systemd/user/orva-watch.service"
[ -f "$unit" ] || fail "no user unit usr/lib/systemd/user/orva-watch.service"
exec_start="$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")"
[ -f "$root$exec_start" ] && [ -x "$root$exec_start" ] || fail "the user unit runs $exec_start, which the package lacks"
pass "the user unit runs $exec_start"

for bin in "$root"/usr/bin/*; do
  [ -f "$root/usr/share/man/man1/$(basename "$bin").1.gz" ] || fail "no manual page for $(basename "$bin")"
done
pass "every program has a manual page"
echo "all package checks passed"
