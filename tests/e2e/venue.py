#!/usr/bin/python3
"""Reads and drives the venue window over AT-SPI, as a screen reader does.

Usage: venue.py PID, with WORK, BUILD and LINE_LOG set by venue.sh. Checks
the rows of four projectors (one behind ser2net); a power on by orvactl; a
lost line and its return, counted by the bar; a row's recent exchanges;
"Power on" and "Power off" on two rows alone; "Open panel" on Desk, with its
address, leaving the settings file as it was; the size kept by Ctrl+Q.
"""
import os
import signal
import subprocess
import sys
import time

from atspicheck import Atspi, children, fail, poll, text_of, walk

WORK = os.environ["WORK"]
BUILD = os.environ["BUILD"]
COLUMNS = ["Name", "Port", "Link", "Power", "Input", "Lamp hours", "Temperatures", "Last answer"]


def find(root, role, name):
    return next((n for n in walk(root) if n.get_role() == role and n.get_name() == name), None)


def rows(table):
    """{name: {column: text}} as the table reads now."""
    cells = [[Atspi.Table.get_accessible_at(table, r, c).get_name() for c in range(len(COLUMNS))]
             for r in range(Atspi.Table.get_n_rows(table))]
    return {row[0]: dict(zip(COLUMNS, row)) for row in cells}


def wait_for(table, what, check):
    if not poll(lambda: check(rows(table))):
        fail(f"{what}; the table reads {rows(table)}")
    print("ok: " + what)


def row_of(table, name):
    return next(r for r in range(Atspi.Table.get_n_rows(table))
                if Atspi.Table.get_accessible_at(table, r, 0).get_name() == name)


def bar_text(window):
    """What the bar above the table reads (its description is its text)."""
    bar = find(window, Atspi.Role.LABEL, "Attention")
    return bar.get_description() if bar else ""


def select(table, names):
    for r in range(Atspi.Table.get_n_rows(table)):
        Atspi.Table.remove_row_selection(table, r)
    for r in range(Atspi.Table.get_n_rows(table)):
        if Atspi.Table.get_accessible_at(table, r, 0).get_name() in names:
            Atspi.Table.add_row_selection(table, r)


def said(dialog):
    """All that |dialog| reads: its nodes' names and texts."""
    return " ".join(n.get_name() + " " + (Atspi.Text.get_text(n, 0, -1) if "Text" in
                                          n.get_interfaces() else "") for n in walk(dialog))


def press(button):
    Atspi.Action.do_action(button, 0)


def log_lines(event, hex_bytes):
    """The projectors that the venue's log shows |hex_bytes| sent to."""
    with open(os.path.join(WORK, "venue.log"), encoding="utf-8") as log:
        return sorted({f[1] for f in (line.rstrip("\n").split("\t") for line in log)
                       if len(f) == 5 and f[2] == event and f[4] == hex_bytes})


def main():
    pid = int(sys.argv[1])
    desktop = Atspi.get_desktop(0)
    app = poll(lambda: next((a for a in children(desktop) if a.get_process_id() == pid), None))
    window = app and poll(lambda: app.get_child_count() > 0 and app.get_child_at_index(0))
    if not window:
        fail("the venue window is not on the accessibility bus")
    table = poll(lambda: find(window, Atspi.Role.TABLE, "Projectors"))
    if not table:
        fail("no table named Projectors")
    buttons = {n: find(window, Atspi.Role.PUSH_BUTTON, n)
               for n in ("Power on", "Power off", "Open panel")}
    if not all(buttons.values()):
        fail(f"buttons not found by name: {buttons}")

    wait_for(table, "the four rows read their link, power and lamp",
             lambda t: sorted(t) == ["Annex", "Desk", "Hall A", "Hall B"]
             and all(t[n]["Link"] == "open" for n in t)
             and t["Hall A"]["Power"] == "standby" and t["Desk"]["Power"] == "on"
             and t["Hall A"]["Lamp hours"].endswith(" h") and t["Desk"]["Lamp hours"] == ""
             and t["Annex"]["Power"] == "standby" and t["Annex"]["Lamp hours"] == "1234 h"
             and t["Annex"]["Port"].startswith("rfc2217://127.0.0.1:")
             and t["Hall A"]["Port"] == os.path.join(WORK, "hall-a"))
    description = Atspi.Table.get_accessible_at(table, row_of(table, "Desk"), 3).get_description()
    if not description.startswith("Desk: link open, power on"):
        fail("a row's description reads " + repr(description))
    print("ok: a row's description reads " + repr(description))

    for _ in range(50):  # the venue may hold the line at that moment
        if subprocess.run([os.path.join(BUILD, "cli/orvactl"), "--device",
                           os.path.join(WORK, "hall-a"), "send", "C00"],
                          capture_output=True).returncode == 0:
            break
        time.sleep(0.1)
    wait_for(table, "a power on by orvactl shows in Hall A's row",
             lambda t: t["Hall A"]["Power"] == "on")

    with open(os.path.join(WORK, "sim-b.pid"), encoding="ascii") as f:
        os.kill(int(f.read()), signal.SIGTERM)
    wait_for(table, "Hall B's lost line shows as lost",
             lambda t: t["Hall B"]["Link"].startswith("lost"))
    if not poll(lambda: bar_text(window).startswith("2 projectors need attention: Spare (not "
                                                     "watched: ") and "; Hall B (lost" in bar_text(window)):
        fail("the bar reads " + repr(bar_text(window)))
    print("ok: the bar reads " + repr(bar_text(window)))
    sim = subprocess.Popen([os.path.join(BUILD, "sim/orva-sim"), "--link",
                            os.path.join(WORK, "hall-b")], stdout=subprocess.DEVNULL)
    with open(os.path.join(WORK, "more.pids"), "a", encoding="ascii") as f:
        f.write(f"{sim.pid}\n")
    wait_for(table, "Hall B's line comes back", lambda t: t["Hall B"]["Link"] == "open")
    if not poll(lambda: bar_text(window).startswith(
            '1 projector needs attention: Spare (not watched: "adress" is not a key')):
        fail("the bar reads " + repr(bar_text(window)))

    cell = Atspi.Table.get_accessible_at(table, row_of(table, "Hall A"), 0)
    box = Atspi.Component.get_extents(cell, Atspi.CoordType.SCREEN)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "--repeat", "2", "1"], check=True)
    view = poll(lambda: next((v for v in (find(d, Atspi.Role.TEXT, "Recent exchanges with Hall A")
                                          for d in children(app)[1:]) if v), None))
    if not view or not poll(lambda: "  sent      C R 0  [CR]" in text_of(view)):
        fail("a double click shows no exchanges of Hall A: " + repr(view and text_of(view)[:300]))
    print("ok: a double click shows Hall A's recent exchanges")

    select(table, {"Hall A", "Hall B"})
    press(buttons["Power on"])
    wait_for(table, "Power on switches on the two selected rows",
             lambda t: t["Hall A"]["Power"] == "on" and t["Hall B"]["Power"] == "on")
    press(buttons["Power off"])
    ask = poll(lambda: next((d for d in children(app)[1:]
                             if find(d, Atspi.Role.PUSH_BUTTON, "Yes")), None))
    if not ask:
        fail("Power off does not ask")
    question = said(ask)
    if "Hall A" not in question or "Hall B" not in question or "Desk" in question:
        fail("the question does not name Hall A and Hall B alone: " + question)
    press(find(ask, Atspi.Role.PUSH_BUTTON, "Yes"))
    wait_for(table, "Power off switches off the two selected rows",
             lambda t: t["Hall A"]["Power"] == "standby" and t["Hall B"]["Power"] == "standby"
             and t["Desk"]["Power"] == "on" and t["Annex"]["Power"] == "standby")
    if log_lines("sent", "43 30 31 0D") != ["Hall A", "Hall B"]:
        fail("C01 went to " + repr(log_lines("sent", "43 30 31 0D")))
    print("ok: C01 went to Hall A and Hall B alone")

    select(table, {"Desk"})
    press(buttons["Open panel"])
    panel = poll(lambda: next((a for a in children(desktop) if a.get_name() == "orva"
                               and a.get_process_id() != pid), None), tries=600)
    if not panel:
        fail("Open panel started no panel; on the bus: "
             + repr([(a.get_name(), a.get_process_id()) for a in children(desktop)])
             + "; the button is " + ("enabled" if buttons["Open panel"].get_state_set().contains(
                 Atspi.StateType.ENABLED) else "disabled"))
    with open(os.path.join(WORK, "more.pids"), "a", encoding="ascii") as f:
        f.write(f"{panel.get_process_id()}\n")
    wait_for(table, "Desk's row reads in the panel", lambda t: t["Desk"]["Link"] == "in the panel")
    status = poll(lambda: panel.get_child_count() > 0
                  and find(panel.get_child_at_index(0), Atspi.Role.PUSH_BUTTON, "STATUS"))
    if not status:
        fail("the panel has no STATUS button")
    size = os.path.getsize(os.environ["LINE_LOG"])
    press(status)
    if not poll(lambda: b"A002CR0\r" in open(os.environ["LINE_LOG"], "rb").read()[size:]):
        fail("the panel's STATUS did not reach Desk's line with address 002")
    print("ok: the panel talks to Desk's line with address 002")
    select(table, {"Desk", "Hall A"})
    press(buttons["Power on"])
    told = poll(lambda: next((d for d in children(app)[1:]
                              if find(d, Atspi.Role.PUSH_BUTTON, "OK")), None))
    if not told or "Left alone, because a control panel holds the line: Desk." not in said(told):
        fail("Power on with Desk in the panel does not say that Desk is left alone")
    press(find(told, Atspi.Role.PUSH_BUTTON, "OK"))
    wait_for(table, "Power on reaches Hall A and leaves Desk to its panel",
             lambda t: t["Hall A"]["Power"] == "on" and t["Desk"]["Link"] == "in the panel")
    press(find(panel.get_child_at_index(0), Atspi.Role.PUSH_BUTTON, "END"))
    wait_for(table, "Desk's row is watched again when the panel has ended",
             lambda t: t["Desk"]["Link"] == "open")
    with open(os.path.join(WORK, "before.ini"), "rb") as a, \
            open(os.path.join(WORK, "config/ORVA.ini"), "rb") as b:
        if a.read() != b.read():
            fail("the settings file changed")
    print("ok: the settings file is unchanged")

    def xdotool(*args):
        return subprocess.run(["xdotool", *args], capture_output=True, text=True,
                              check=True).stdout

    xid = xdotool("search", "--sync", "--onlyvisible", "--pid", str(pid)).split()[0]
    xdotool("windowsize", xid, "700", "300")
    time.sleep(0.3)
    xdotool("windowfocus", "--sync", xid)
    xdotool("key", "ctrl+q")
    settings = os.path.join(WORK, "config/ORVA.ini")
    with open(os.path.join(WORK, "before.ini"), "rb") as f:
        before = f.read()
    if not poll(lambda: b"Columns=" in open(settings, "rb").read()):
        fail("Ctrl+Q stored nothing")
    stored = open(settings, "rb").read()
    if not stored.startswith(before) or not stored[len(before):].lstrip(b"\n").startswith(
            b"[VenueWindow]\nSize=700,300\nColumns="):
        fail("the settings file reads " + repr(stored))
    print("ok: Ctrl+Q stores the size in [VenueWindow] and nothing else")
    again = subprocess.Popen([os.path.join(BUILD, "venue/orva-venue")], stderr=subprocess.DEVNULL)
    with open(os.path.join(WORK, "more.pids"), "a", encoding="ascii") as f:
        f.write(f"{again.pid}\n")
    xid = xdotool("search", "--sync", "--onlyvisible", "--pid", str(again.pid)).split()[0]
    if "Geometry: 700x300" not in xdotool("getwindowgeometry", xid):
        fail("the next window opens at " + xdotool("getwindowgeometry", xid))
    print("ok: the next window opens at 700x300")
    again.terminate()


if __name__ == "__main__":
    main()
