"""What the end-to-end checks share to read a program over AT-SPI."""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402,F401


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def poll(probe, tries=300):
    """The first true answer of |probe|, asked every 50 ms, or None."""
    for _ in range(tries):
        value = probe()
        if value:
            return value
        time.sleep(0.05)
    return None


def children(node):
    return [c for c in (node.get_child_at_index(i) for i in range(node.get_child_count())) if c]


def text_of(node):
    return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))


def walk(node, leaves=(Atspi.Role.COMBO_BOX, Atspi.Role.LIST, Atspi.Role.TABLE)):
    """The node and everything under it, but not the rows of a list or table."""
    yield node
    if node.get_role() not in leaves:
        for child in children(node):
            yield from walk(child, leaves)
