#!/usr/bin/python3
"""Reads the running program over AT-SPI, as a screen reader does.

Usage: a11y.py PID. Checks that the eighteen arrow buttons are named for what
they do, that the lines "Sent", "Received" and "Status" read the exchange of
the STATUS button (pressed through its accessible action), and that the
console's three lists are named. Exits 1 at the first failure.
"""
import sys

from atspicheck import Atspi, children, fail, poll, text_of, walk

ARROWS = sorted(f"{group} {way}" for group in ("Menu", "Keystone", "Lens shift")
                for way in ("up", "down", "left", "right")) + sorted(
    f"{group} {way}" for group in ("Zoom", "Focus", "Digital zoom") for way in ("up", "down"))
LINES = {"Sent": "C R 0", "Received": "0 0", "Status": "Power ON"}
LISTS = {"Basic commands", "Extended setting commands", "Extended read commands"}


def main():
    pid = int(sys.argv[1])
    desktop = Atspi.get_desktop(0)
    app = poll(lambda: next((a for a in children(desktop) if a.get_process_id() == pid), None))
    window = app and poll(lambda: app.get_child_count() > 0 and app.get_child_at_index(0))
    if not window:
        fail("the program's window is not on the accessibility bus")
    nodes = list(walk(window))
    buttons = {n.get_name(): n for n in nodes if n.get_role() == Atspi.Role.PUSH_BUTTON}
    missing = [a for a in ARROWS if a not in buttons]
    if missing:
        fail(f"arrows not found by name: {missing}; buttons: {sorted(buttons)}")
    print("ok: the 18 arrows are named " + ", ".join(ARROWS))

    lines = {n.get_name(): n for n in nodes if n.get_name() in LINES}
    if sorted(lines) != sorted(LINES) or any("Text" not in n.get_interfaces()
                                             for n in lines.values()):
        fail(f"readable lines: {sorted(lines)}")

    def shown():
        texts = {name: text_of(line) for name, line in lines.items()}
        return texts if all(LINES[n] in texts[n] for n in LINES) else None

    # The program clears the lines a second after a send; a slow bus gets
    # another press.
    for _ in range(5):
        Atspi.Action.do_action(buttons["STATUS"], 0)
        texts = poll(shown, tries=20)
        if texts:
            break
    else:
        fail("the lines never read the exchange: " + repr({n: text_of(l) for n, l in lines.items()}))
    print("ok: the lines read " + repr(texts))

    def list_names():
        # The console is a window of its own; a list is named by the label
        # that labels it (its own name is the row shown).
        names = {r.get_target(0).get_name()
                 for console in children(app)[1:] for c in children(console)
                 if c.get_role() == Atspi.Role.COMBO_BOX for r in c.get_relation_set()
                 if r.get_relation_type() == Atspi.RelationType.LABELLED_BY}
        return names if LISTS <= names else None

    Atspi.Action.do_action(buttons["Command Table"], 0)
    if not poll(list_names):
        fail("the console's lists are not named")
    print("ok: the console's lists are named " + ", ".join(sorted(LISTS)))


if __name__ == "__main__":
    main()
