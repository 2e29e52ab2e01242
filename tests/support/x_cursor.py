#!/usr/bin/env python3
"""Watches which pointer the X server shows, as XFixes reports it to a screen recorder.

Prints a line whenever it changes: the cursor's name (the one the program asked the cursor
theme for, as "left_ptr_watch"; "-" for a cursor made without a name), a tab, and the title
of the top-level window under the pointer ("-" for none). The first line comes at once.
Runs until it is ended; exits 2 at once when $DISPLAY has no XFixes that names cursors.
Usage: x_cursor.py"""
import ctypes
import sys
import time

c_ulong_p = ctypes.POINTER(ctypes.c_ulong)


class CursorImage(ctypes.Structure):  # XFixesCursorImage, version 2 of the extension on
    _fields_ = [
        ("x", ctypes.c_short), ("y", ctypes.c_short),
        ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
        ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
        ("cursor_serial", ctypes.c_ulong),
        ("pixels", c_ulong_p),
        ("atom", ctypes.c_ulong),
        ("name", ctypes.c_char_p),
    ]


def give_up(message):
    print(f"x_cursor: {message}", file=sys.stderr)
    sys.exit(2)


class Display:
    def __init__(self):
        try:
            self.x11 = x11 = ctypes.CDLL("libX11.so.6")
            self.xfixes = xfixes = ctypes.CDLL("libXfixes.so.3")
        except OSError as error:
            give_up(error)
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XQueryPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, c_ulong_p, c_ulong_p] + \
            [ctypes.POINTER(ctypes.c_int)] * 4 + [ctypes.POINTER(ctypes.c_uint)]
        x11.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
            ctypes.c_ulong, c_ulong_p, ctypes.POINTER(ctypes.c_int), c_ulong_p, c_ulong_p,
            ctypes.POINTER(ctypes.c_void_p)]
        x11.XFree.argtypes = [ctypes.c_void_p]
        xfixes.XFixesQueryExtension.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 2
        xfixes.XFixesQueryVersion.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 2
        xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
        xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]

        self.display = x11.XOpenDisplay(None)
        if not self.display:
            give_up("cannot open the display")
        # A window that goes between two requests about it is no fault here.
        self.ignore = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda *_: 0)
        x11.XSetErrorHandler(self.ignore)
        event, error, major, minor = (ctypes.c_int() for _ in range(4))
        if not xfixes.XFixesQueryExtension(self.display, ctypes.byref(event), ctypes.byref(error)):
            give_up("the X server has no XFixes")
        # The names of cursors come with version 2: asking for it is what makes the server send them.
        major.value = 6
        xfixes.XFixesQueryVersion(self.display, ctypes.byref(major), ctypes.byref(minor))
        if major.value < 2:
            give_up(f"XFixes {major.value}.{minor.value} names no cursors")
        self.root = x11.XDefaultRootWindow(self.display)
        self.net_wm_name = x11.XInternAtom(self.display, b"_NET_WM_NAME", 0)
        self.utf8 = x11.XInternAtom(self.display, b"UTF8_STRING", 0)

    def cursor(self):
        image = self.xfixes.XFixesGetCursorImage(self.display)
        if not image:
            return "-"
        name = image.contents.name.decode() if image.contents.name else "-"
        self.x11.XFree(image)
        return name or "-"

    def title(self, window):
        kind, size, after = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_ulong()
        unit, data = ctypes.c_int(), ctypes.c_void_p()
        if self.x11.XGetWindowProperty(self.display, window, self.net_wm_name, 0, 1024, 0, self.utf8,
                                       ctypes.byref(kind), ctypes.byref(unit), ctypes.byref(size),
                                       ctypes.byref(after), ctypes.byref(data)) != 0 or not data.value:
            return None
        text = ctypes.string_at(data.value, size.value).decode(errors="replace")
        self.x11.XFree(data)
        return text

    def title_under_pointer(self):
        """The title of the window under the pointer: the first named one from the root down."""
        window = self.root
        for _ in range(8):
            root, child = ctypes.c_ulong(), ctypes.c_ulong()
            numbers = [ctypes.c_int() for _ in range(4)]
            mask = ctypes.c_uint()
            if not self.x11.XQueryPointer(self.display, window, ctypes.byref(root), ctypes.byref(child),
                                          *(ctypes.byref(n) for n in numbers), ctypes.byref(mask)):
                return "-"
            if not child.value:
                return "-"
            window = child.value
            title = self.title(window)
            if title is not None:
                return title
        return "-"


def main():
    display = Display()
    shown = None
    while True:
        now = f"{display.cursor()}\t{display.title_under_pointer()}"
        if now != shown:
            print(now, flush=True)
            shown = now
        time.sleep(0.01)


main()
