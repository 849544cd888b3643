#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

"""Reads the running program through AT-SPI, the way a screen reader does,
while it is worked with keys typed on its display by xdotool.

Run by atspi_test.sh, which starts the program, the buses and the display.
Prints a line per check and ends with "N passed, N failed"; exits non-zero
on the first failure.
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

PROGRAM = "Quenlora"
LIST_NAME = "Načtené kódy"
INPUT_NAME = "Vstup QR kódu"

passed = 0


def fail(message):
    print(f"FAILED: {message}", flush=True)
    print(f"{passed} passed, 1 failed", flush=True)
    sys.exit(1)


def check(condition, message):
    global passed
    if not condition:
        fail(message)
    passed += 1
    print(f"ok: {message}", flush=True)


class Events:
    """The events the program sends, as a reader receives them: type, detail,
    and the role, name and states of the object at that moment."""

    KINDS = [
        "focus:",
        "object:state-changed:focused",
        "object:state-changed:checked",
        "object:text-changed",
        "object:property-change:accessible-name",
    ]

    def __init__(self):
        self.seen = []
        for kind in self.KINDS:
            pyatspi.Registry.registerEventListener(self.record, kind)

    def record(self, event):
        try:
            source = event.source
            source.clearCache()
            self.seen.append({
                "type": event.type,
                "detail1": event.detail1,
                "role": source.getRole(),
                "name": source.name,
                "states": set(source.getState().getStates()),
                "data": event.any_data if isinstance(event.any_data, str) else None,
            })
        except Exception as error:  # an object gone before it was read
            self.seen.append({"type": event.type, "error": str(error)})

    def clear(self):
        pump(0.2)
        self.seen = []

    def wait_for(self, what, matches, seconds=10):
        found = pump_until(lambda: next((e for e in self.seen if "error" not in e and matches(e)), None), seconds)
        if found is None:
            listed = "\n  ".join(f"{e}" for e in self.seen) or "(none)"
            fail(f"no event: {what}; the events were:\n  {listed}")
        return found


def pump(seconds):
    pump_until(lambda: None, seconds)


def pump_until(result, seconds):
    """Lets libatspi deliver events until result() gives something or the time is up."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        value = result()
        if value is not None or time.monotonic() >= deadline:
            return value
        time.sleep(0.02)


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "50", *names], check=True)


def scan(code):
    # A keyboard-wedge scanner types the code and presses Enter.
    subprocess.run(["xdotool", "type", "--delay", "30", code], check=True)
    keys("Return")


def find(root, role, name=None):
    return pyatspi.findDescendant(root, lambda o: o.getRole() == role and (name is None or o.name == name))


def text_of(obj):
    obj.clearCache()
    text = obj.queryText()
    return text.getText(0, text.characterCount)


def rows_of(lst):
    lst.clearCache()
    rows = [lst.getChildAtIndex(i) for i in range(lst.childCount)]
    for row in rows:
        row.clearCache()
    return rows


def states_of(obj):
    obj.clearCache()
    return set(obj.getState().getStates())


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    app = pump_until(lambda: next((a for a in desktop if a is not None and a.name == PROGRAM), None), 60)
    check(app is not None, f"the program {PROGRAM} is on the accessibility bus")
    frame = pump_until(lambda: find(app, pyatspi.ROLE_FRAME, PROGRAM), 30)
    check(frame is not None, "its window is there")
    events = Events()

    input_box = find(frame, pyatspi.ROLE_TEXT, INPUT_NAME)
    check(input_box is not None and pump_until(
        lambda: pyatspi.STATE_FOCUSED in states_of(input_box) or None, 10) is not None,
        "the input box has the focus at start")
    lst = find(frame, pyatspi.ROLE_LIST, LIST_NAME)
    check(lst is not None, f"the list is a list named {LIST_NAME}")
    status_bar = find(frame, pyatspi.ROLE_STATUS_BAR)
    count = pyatspi.findDescendant(status_bar, lambda o: o.getRole() == pyatspi.ROLE_LABEL and o.name.startswith("Počet:"))
    check(count is not None and text_of(count) == "Počet: 0", "the count reads as text: Počet: 0")

    scan("AB12")
    events.wait_for("the count's new text after a scan",
                    lambda e: e["type"].startswith("object:text-changed:insert") and e["data"] == "Počet: 1")
    check(text_of(count) == "Počet: 1", "after a scan the count reads Počet: 1")
    scan("CD34")
    scan("EF56")
    events.wait_for("the count's new name", lambda e: e["type"] == "object:property-change:accessible-name"
                    and e["name"] == "Počet: 3")
    check(text_of(count) == "Počet: 3", "after three scans the count reads Počet: 3")

    rows = rows_of(lst)
    check([r.name for r in rows] == ["AB12", "CD34", "EF56"], f"the rows in order: {[r.name for r in rows]}")
    check(all(r.getRole() == pyatspi.ROLE_CHECK_BOX for r in rows), "each row is a check box")
    check(all(r.getIndexInParent() == i for i, r in enumerate(rows)), "each row knows its index")
    check(not any(pyatspi.STATE_CHECKED in states_of(r) for r in rows), "no row is ticked yet")
    check(pyatspi.STATE_MANAGES_DESCENDANTS in states_of(lst), "the list tells readers to ask for rows, not walk them")

    events.clear()
    keys("Tab")
    focus = events.wait_for("focus on the list after Tab",
                            lambda e: e["type"] == "object:state-changed:focused" and e["detail1"] == 1
                            and e["role"] == pyatspi.ROLE_LIST)
    check(focus["name"] == LIST_NAME, "Tab: the focus is on the list")

    events.clear()
    keys("Home")
    focus = events.wait_for("focus on the first row after Home",
                            lambda e: e["type"] == "object:state-changed:focused" and e["detail1"] == 1
                            and e["role"] == pyatspi.ROLE_CHECK_BOX)
    check(focus["name"] == "AB12", f"Home: the focus is on AB12 ({focus['name']})")
    first = rows_of(lst)[0]
    check({pyatspi.STATE_FOCUSED, pyatspi.STATE_SELECTED} <= states_of(first), "AB12 is focused and selected")

    events.clear()
    keys("space")
    ticked = events.wait_for("AB12 checked after Space",
                             lambda e: e["type"] == "object:state-changed:checked" and e["name"] == "AB12")
    check(ticked["detail1"] == 1 and pyatspi.STATE_CHECKED in states_of(first), "Space: AB12 is CHECKED")

    action = first.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check(any(n.lower() == "toggle" for n in names), f"a row offers a toggle action: {names}")
    events.clear()
    action.doAction([n.lower() for n in names].index("toggle"))
    unticked = events.wait_for("AB12 unchecked by the toggle action",
                               lambda e: e["type"] == "object:state-changed:checked" and e["name"] == "AB12")
    check(unticked["detail1"] == 0 and pyatspi.STATE_CHECKED not in states_of(first),
          "the toggle action unticks AB12")
    keys("space")
    events.wait_for("AB12 checked again", lambda e: e["type"] == "object:state-changed:checked"
                    and e["name"] == "AB12" and e["detail1"] == 1)

    events.clear()
    keys("Down", "Delete")
    events.wait_for("the count's new text after Delete",
                    lambda e: e["type"].startswith("object:text-changed:insert") and e["data"] == "Počet: 2")
    check(text_of(count) == "Počet: 2", "after Delete the count reads Počet: 2")
    rows = rows_of(lst)
    check([r.name for r in rows] == ["AB12", "EF56"], f"CD34 is gone: {[r.name for r in rows]}")
    check(pyatspi.STATE_CHECKED in states_of(rows[0]) and pyatspi.STATE_CHECKED not in states_of(rows[1]),
          "the tick stays with AB12")
    print(f"{passed} passed, 0 failed", flush=True)


if __name__ == "__main__":
    main()
