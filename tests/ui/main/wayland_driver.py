#!/usr/bin/env python3
"""The Wayland row of the end-to-end table: the real program as a Wayland client of weston,
driven through AT-SPI (no X input reaches a Wayland window) and measured in the compositor's
own screenshots, taken with weston-screenshooter (weston must run with --debug, which lets a
client take them).

A Wayland client is not told where its window is, so the window is found in the screenshot:
every pixel that is not the desktop's plain background is the window, with the frame the
program draws itself. The pane's left and top edges are where its white face ends; the
client area's corner follows from them and the layout; its size is the one the window
reports on the accessibility bus. Checks, as the X rows of the table do, that every caption
fits its control and that the pane stands one pixel from the client area's right and bottom
edges, after start and after three hide/show round trips of "Show Text".
Usage: wayland_driver.py PROGRAM OUTPUT_FOLDER CONFIGURATION CAPTION...
  CAPTION: "NAME LEFT TOP WIDTH HEIGHT EDGES", a control and the edges its caption keeps clear
  of, in twips from the client area's corner.   (WAYLAND_DISPLAY names weston's socket)"""
import contextlib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter

from accessible import LIMIT, extents, toggle_show_text, window_titled
from window_pixels import Shot, caption


def px(twips):
    """Screen pixels for twips at 96 dpi, at scale factor 1."""
    return (twips * 100 + 750) // 1500


class Unseen(Exception):
    """The screenshot does not show what a check looks for (yet)."""


class Desktop:
    def __init__(self, out, config):
        self.out, self.config = out, config
        self.work = tempfile.mkdtemp()

    def shoot(self, name):
        """The compositor's image of its output, kept in the output folder as CONFIG-NAME.png."""
        folder = tempfile.mkdtemp(dir=self.work)
        subprocess.run(["weston-screenshooter"], cwd=folder, timeout=LIMIT, check=True)
        [image] = os.listdir(folder)
        kept = os.path.join(self.out, f"{self.config}-{name}.png")
        shutil.move(os.path.join(folder, image), kept)
        ppm = os.path.join(self.work, "shot.ppm")
        subprocess.run(["convert", kept, ppm], check=True)
        return Shot(ppm)


def run_until(what, check):
    """Runs a check on fresh screenshots until it passes, as a window may not be drawn yet,
    then once more to report; returns whether it passed."""
    deadline = time.monotonic() + LIMIT
    while time.monotonic() < deadline:
        try:
            with contextlib.redirect_stdout(io.StringIO()):
                if check():
                    break
        except Unseen:
            pass
    try:
        if check():
            return True
    except Unseen as unseen:
        print(f"{what}: {unseen}")
    return False


def layout(shot, window):
    """The client area's corner and size, and the pane's size, in the screenshot."""
    background = Counter(shot.pixel(x, y) for x in range(0, shot.width, 16)
                         for y in range(0, shot.height, 16)).most_common(1)[0][0]
    left, top, right, bottom = shot.bounds(background)
    if right < 0:
        raise Unseen("no window on the screen")
    # A point in the pane, which takes the window's right part from near its top to near its
    # bottom; its white face runs to the pane's left and top edges.
    x, y = left + (right - left) * 13 // 20, top + (bottom - top) * 11 // 20
    face = shot.pixel(x, y)
    pane_left, pane_top = x, y
    while pane_left > left and shot.pixel(pane_left - 1, y) == face:
        pane_left -= 1
    while pane_top > top and shot.pixel(x, pane_top - 1) == face:
        pane_top -= 1
    pane_left, pane_top = pane_left - 1, pane_top - 1  # the pane's frame
    # Right of and under the pane: the client area's empty band, then the window's own frame.
    window_face = shot.pixel(pane_left - px(30), y)
    pane_right = right
    while pane_right > x and shot.pixel(pane_right, y) in (window_face, shot.pixel(right, y)):
        pane_right -= 1
    pane_bottom = bottom
    while pane_bottom > y and shot.pixel(x, pane_bottom) in (window_face, shot.pixel(x, bottom)):
        pane_bottom -= 1
    size = extents(window)
    client_x, client_y = pane_left - px(1560), pane_top - px(120)
    if client_x < left or client_y < top or client_x + size.width - 1 > right or client_y + size.height - 1 > bottom:
        raise Unseen(f"a client area of {size.width}x{size.height} at ({client_x}, {client_y}) from the pane's "
                     f"place does not fit in the window drawn from ({left}, {top}) to ({right}, {bottom})")
    return (client_x, client_y, size.width, size.height), (pane_right - pane_left + 1, pane_bottom - pane_top + 1)


def main():
    program, out, config = sys.argv[1:4]
    captions = [row.split() for row in sys.argv[4:]]
    desktop = Desktop(out, config)
    failures = 0

    def fail(message):
        nonlocal failures
        print(f"FAIL ({config}): {message}")
        failures += 1

    environment = dict(os.environ, QT_QPA_PLATFORM="wayland", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    child = subprocess.Popen([program], env=environment)
    try:
        window = window_titled("Norvane v2.1 - [No File]")

        def captions_fit():
            shot = desktop.shoot("start")
            (x, y, _, _), _ = layout(shot, window)
            fits = True
            for name, left, top, width, height, edges in captions:
                print(f"{name}: ", end="")
                fits &= caption(shot.pixel, x + px(int(left)), y + px(int(top)), px(int(width)), px(int(height)),
                                edges, px(45)) == 0
            return fits

        if not run_until("captions", captions_fit):
            fail("a caption does not fit its control")

        def pane_fits(after):
            (_, _, width, height), (got_w, got_h) = layout(desktop.shoot(f"pane-{after}"), window)
            want_w, want_h = width - px(1560) - 1, height - px(120) - 1
            print(f"pane {after}: {got_w}x{got_h}, window gives {want_w}x{want_h} (client {width}x{height})")
            return (got_w, got_h) == (want_w, want_h)

        if not run_until("pane", lambda: pane_fits("start")):
            fail("after start the pane does not stand one pixel from the client area's right and bottom edges")
        for _ in range(3):
            toggle_show_text(window)
        after = "three hide-show round trips"
        if not run_until("pane", lambda: pane_fits(after)):
            fail(f"after {after} the pane does not stand one pixel from the client area's right and bottom edges")
        print("resize, message box title, About box: not checked on Wayland, where no client can resize "
              "another's window or learn where a window is")
    finally:
        child.terminate()
        child.wait()
        shutil.rmtree(desktop.work, ignore_errors=True)
    sys.exit(1 if failures else 0)


main()
