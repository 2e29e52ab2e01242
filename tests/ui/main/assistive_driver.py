#!/usr/bin/env python3
"""Drives the running program as a screen reader or voice control does, through AT-SPI alone.

Ticks "Show Text" off and on with the check box's own action and checks that the window
follows (shrinks to its button column, comes back); then presses "Fix File" with the
button's action and reads the fixed text back from the pane's text interface. The roles
of the window and the pane are checked on the way. Exits non-zero with a message on the
first fault; every wait is for a state, with a limit only against hangs.
Usage: assistive_driver.py FILE_NAME   (the file the program was started with)"""
import sys

import pyatspi

from accessible import by_name, do, toggle_show_text, wait_for, width, window_titled


def main():
    file_name = sys.argv[1]
    title = f"Norvane v2.1 - [{file_name}]"
    window = window_titled(title)
    if window.getRole() not in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW):
        sys.exit(f"FAIL: the main window's role is {window.getRoleName()!r}, not frame or window")
    print(f"main window: role {window.getRoleName()}")

    pane = wait_for("no editable text named Text", lambda: by_name(window, pyatspi.ROLE_TEXT, "Text"))
    if pane.queryEditableText() is None:
        sys.exit("FAIL: the pane offers no editable-text interface")

    full, compact = toggle_show_text(window)
    print(f"Show Text off: {full} -> {compact} px wide")
    print(f"Show Text on: {width(window)} px wide")

    fix = by_name(window, pyatspi.ROLE_PUSH_BUTTON, "Fix File")
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
