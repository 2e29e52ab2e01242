"""Finding and working the program's controls through AT-SPI, as assistive tools do: the
helpers of the drivers that reach the window through the accessibility bus alone. A fault
ends the driver with a message; every wait is for a state, with a limit only against hangs."""
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
    """The first node below `root` with the pyatspi role `role` (a constant: role names
    differ between AT-SPI versions, "push button" becoming "button") and the name `name`."""
    return next((n for n in descendants(root) if n.getRole() == role and n.name == name), None)


def do(node, action):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    match = [i for i, n in enumerate(names) if n.lower() == action]
    if not match:
        sys.exit(f"FAIL: {node.name} offers no {action} action, only {names}")
    actions.doAction(match[0])


def extents(node):
    """The node's place and size; a window's is its client area."""
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def width(node):
    return extents(node).width


def window_titled(title):
    """Waits for a top-level window with this title in the accessible tree; returns it."""
    desktop = pyatspi.Registry.getDesktop(0)

    def find():
        for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
            for window in (app.getChildAtIndex(i) for i in range(app.childCount if app else 0)):
                if window is not None and window.name == title:
                    return window
        return None

    return wait_for(f"no window titled {title!r} in the accessible tree", find)


def toggle_show_text(window):
    """Unticks "Show Text" with the box's own action and waits for the window to shrink to its
    button column, then ticks it again and waits for the window's width to come back.
    Returns the widths before and while unticked."""
    box = wait_for("no Show Text check box", lambda: by_name(window, pyatspi.ROLE_CHECK_BOX, "Show Text"))
    full = width(window)
    do(box, "toggle")
    wait_for("Show Text still ticked", lambda: not box.getState().contains(pyatspi.STATE_CHECKED))
    compact = wait_for(f"the window stayed {full} px wide with Show Text unticked",
                       lambda: width(window) if width(window) < full / 2 else None)
    do(box, "toggle")
    wait_for("Show Text not ticked again", lambda: box.getState().contains(pyatspi.STATE_CHECKED))
    wait_for(f"the window did not come back to {full} px", lambda: width(window) == full)
    return full, compact
