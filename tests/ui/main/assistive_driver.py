#!/usr/bin/env python3
"""Drives the running program as a screen reader or voice control does, through AT-SPI alone.

Ticks "Show Text" off and on with the check box's own action and checks that the window
follows (shrinks to its button column, comes back); then presses "Fix File" with the
button's action and reads the fixed text back from the pane's text interface. The roles
of the window and the pane are checked on the way. Exits non-zero with a message on the
first fault; every wait is for a state, with a limit only against hangs.
Usage: assistive_driver.py FILE_NAME   (the file the program was started with)"""
import sys
import time

import pyatspi

LIMIT = 20  # seconds: a guard against hangs, ten times a quiet run


def wait_for(what, probe):
    deadline = time.monotonic() + LIMIT
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under us while the program starts
            found = None
        if found:
            return found
        time.sleep(0.05)
    sys.exit(f"FAIL: {what}")


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def by_name(root, role, name):
    return next((n for n in descendants(root) if n.getRoleName() == role and n.name == name), None)


def do(node, action):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    match = [i for i, n in enumerate(names) if n.lower() == action]
    if not match:
        sys.exit(f"FAIL: {node.name} offers no {action} action, only {names}")
    actions.doAction(match[0])


def width(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).width


def main():
    file_name = sys.argv[1]
    desktop = pyatspi.Registry.getDesktop(0)
    title = f"Norvane v2.1 - [{file_name}]"

    def main_window():
        for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
            for window in (app.getChildAtIndex(i) for i in range(app.childCount if app else 0)):
                if window is not None and window.name == title:
                    return window
        return None

    window = wait_for(f"no window titled {title!r} in the accessible tree", main_window)
    if window.getRoleName() not in ("frame", "window"):
        sys.exit(f"FAIL: the main window's role is {window.getRoleName()!r}, not frame or window")
    print(f"main window: role {window.getRoleName()}")

    pane = wait_for("no editable text named Text", lambda: by_name(window, "text", "Text"))
    if pane.queryEditableText() is None:
        sys.exit("FAIL: the pane offers no editable-text interface")

    box = wait_for("no Show Text check box", lambda: by_name(window, "check box", "Show Text"))
    full = width(window)
    do(box, "toggle")
    wait_for("Show Text still ticked", lambda: not box.getState().contains(pyatspi.STATE_CHECKED))
    compact = wait_for(f"the window stayed {full} px wide with Show Text unticked",
                       lambda: width(window) if width(window) < full / 2 else None)
    print(f"Show Text off: {full} -> {compact} px wide")
    do(box, "toggle")
    wait_for("Show Text not ticked again", lambda: box.getState().contains(pyatspi.STATE_CHECKED))
    wait_for(f"the window did not come back to {full} px", lambda: width(window) == full)
    print(f"Show Text on: {width(window)} px wide")

    fix = by_name(window, "push button", "Fix File")
    if fix is None:
        sys.exit("FAIL: no Fix File button")
    wait_for("Fix File stays disabled", lambda: fix.getState().contains(pyatspi.STATE_ENABLED))
    do(fix, "press")
    wait_for("the title does not say Fixed", lambda: window.name == title + " - Fixed")
    text = pane.queryText()
    shown = text.getText(0, text.characterCount)
    if "\n" in shown.replace("\r\n", ""):
        sys.exit(f"FAIL: a bare LF is left in the fixed text {shown!r}")
    print(f"fixed through AT-SPI: {shown!r}")


main()
