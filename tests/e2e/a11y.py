#!/usr/bin/python3
"""Reads the running program the way a screen reader does, over AT-SPI.

Usage: a11y.py PID. Finds the application of process PID on the
accessibility bus and checks, from its accessible tree only:
  - each of the eighteen arrow buttons has the name of what it does;
  - every other push button of the main window has a tooltip (description)
    that names the command it sends;
  - the lines "Sent", "Received" and "Status" are there, and after "STATUS"
    is pressed (through the button's own accessible action) their text reads
    what went out and what came back;
  - "Command Table" opens the console, whose three lists are named.
Prints one "ok:" line per check; exits 1 at the first failure.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

ARROWS = {
    "Menu up", "Menu down", "Menu left", "Menu right",
    "Keystone up", "Keystone down", "Keystone left", "Keystone right",
    "Lens shift up", "Lens shift down", "Lens shift left", "Lens shift right",
    "Zoom up", "Zoom down", "Focus up", "Focus down",
    "Digital zoom up", "Digital zoom down",
}
# Captioned buttons and the command their tooltip names.
COMMANDS = {
    "STATUS": "CR0", "INPUT MODE": "CR1", "TEMP": "CR6", "LAMP TIME": "CR3",
    "IMAGE": "C27", "HALF": "CF LAMPMODE HALF", "DISPLAY CLEAR": "C1E",
    "P-TIMER": "C8A", "INPUT 3": "C07", "Wide": "C10", "R/C": "CF KEYDIS RC",
}
# Captioned buttons that send nothing themselves.
NO_COMMAND = {"END", "COM", "Command Table"}
LISTS = {"Basic commands", "Extended setting commands", "Extended read commands"}


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def wait_for(probe, what, tries=200):
    """Polls |probe| until it gives a true value (the bus answers at its
    own pace); no bound on how fast is asserted."""
    for _ in range(tries):
        value = probe()
        if value:
            return value
        time.sleep(0.05)
    fail("gave up waiting for " + what)


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def walk(node):
    """The node and everything under it, but not the rows of a list."""
    yield node
    if node.get_role() in (Atspi.Role.COMBO_BOX, Atspi.Role.LIST):
        return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child)


def text_of(node):
    return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))


def main():
    pid = int(sys.argv[1])
    app = wait_for(lambda: application(pid), "the program on the accessibility bus")
    # The main window is the program's first top-level object.
    window = wait_for(lambda: app.get_child_count() > 0 and app.get_child_at_index(0),
                      "the main window")

    nodes = list(walk(window))
    buttons = [n for n in nodes if n.get_role() == Atspi.Role.PUSH_BUTTON]
    names = [b.get_name() for b in buttons]
    arrows = [n for n in names if n in ARROWS]
    if sorted(arrows) != sorted(ARROWS):
        fail("arrow names: missing %s, read %s" % (sorted(ARROWS - set(arrows)), names))
    print("ok: the 18 arrows are named " + ", ".join(sorted(arrows)))

    unnamed = [b for b in buttons if not b.get_name()]
    if unnamed:
        fail("%d buttons without a name" % len(unnamed))
    for button in buttons:
        name, tip = button.get_name(), button.get_description()
        if name in ARROWS or name in NO_COMMAND:
            continue
        if not tip.startswith("Sends "):
            fail("%s: tooltip %r names no command" % (name, tip))
        if name in COMMANDS and tip != "Sends " + COMMANDS[name]:
            fail("%s: tooltip %r, want the command %s" % (name, tip, COMMANDS[name]))
    arrow = next(b for b in buttons if b.get_name() == "Zoom up")
    if "C47" not in arrow.get_description():
        fail("Zoom up: tooltip %r does not name C47" % arrow.get_description())
    print("ok: the tooltips name the commands")

    lines = {}
    for name in ("Sent", "Received", "Status"):
        line = next((n for n in nodes if n.get_name() == name), None)
        if line is None:
            fail("no line named " + name)
        if "Text" not in line.get_interfaces():
            fail(name + ": text not readable")
        lines[name] = line
    print("ok: the lines Sent, Received and Status are named")

    status = next(b for b in buttons if b.get_name() == "STATUS")
    want = {"Sent": "C R 0", "Received": "0 0", "Status": "Power ON"}

    def exchange_shown():
        texts = {name: text_of(line) for name, line in lines.items()}
        return texts if all(want[n] in texts[n] for n in want) else None

    # The program clears the lines a second after a send, so the reading
    # tries again with a new press when the bus was slower than that.
    texts = None
    for _ in range(5):
        Atspi.Action.do_action(status, 0)
        for _ in range(20):
            texts = exchange_shown()
            if texts:
                break
            time.sleep(0.05)
        if texts:
            break
    if not texts:
        fail("the lines never read the exchange: " +
             repr({n: text_of(line) for n, line in lines.items()}))
    print("ok: the lines read " + repr(texts))

    table = next(b for b in buttons if b.get_name() == "Command Table")
    Atspi.Action.do_action(table, 0)

    def console_lists():
        # The console is a top-level window of its own, next to the main one.
        # A list's name is that of the label that names it (its accessible
        # name proper is the row shown).
        found = set()
        for i in range(1, app.get_child_count()):
            console = app.get_child_at_index(i)
            for j in range(console.get_child_count() if console else 0):
                child = console.get_child_at_index(j)
                if child is None or child.get_role() != Atspi.Role.COMBO_BOX:
                    continue
                for relation in child.get_relation_set():
                    if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
                        found.add(relation.get_target(0).get_name())
        return found if LISTS <= found else None

    wait_for(console_lists, "the console's three named lists")
    print("ok: the console's lists are named " + ", ".join(sorted(LISTS)))


if __name__ == "__main__":
    main()
