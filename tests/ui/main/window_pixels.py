#!/usr/bin/env python3
"""Reads what a user sees in a screenshot (a binary PPM of the screen), for the end-to-end test.

Regions are given in screen pixels as X Y WIDTH HEIGHT.
  caption SHOT X Y W H EDGES MARGIN
                               exit 1 if the caption's ink comes within MARGIN pixels of the
                               control's EDGES ("lr" for a button, "r" for a check box)
  edge SHOT X Y DX DY COLOUR_X COLOUR_Y
                               prints how many pixels from (X, Y) on, in steps of (DX, DY),
                               have the colour at (COLOUR_X, COLOUR_Y), before another one
  ink-width SHOT X Y W H       prints how many columns of the strip differ from its first column
  contrast SHOT X Y W H        prints the contrast ratio of the region's text to its background
"""

import sys
from collections import Counter


class Shot:
    """A screenshot: its size, and pixel(x, y) for the colour at a point as (r, g, b)."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        fields, pos = [], 0
        while len(fields) < 4:  # magic, width, height, maximum, with comments between
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        assert fields[0] == b"P6" and fields[3] == b"255", "an 8-bit binary PPM"
        self.width, self.height = int(fields[1]), int(fields[2])
        self.rows = data[pos + 1:]

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return tuple(self.rows[at:at + 3])

    def bounds(self, background):
        """The smallest box (left, top, right, bottom) holding every pixel not of the background."""
        stride = 3 * self.width
        plain = bytes(background) * self.width
        left, top, right, bottom = self.width, self.height, -1, -1
        for y in range(self.height):
            row = self.rows[y * stride:(y + 1) * stride]
            if row == plain:
                continue
            columns = [x for x in range(self.width) if row[3 * x:3 * x + 3] != plain[:3]]
            left, right = min(left, columns[0]), max(right, columns[-1])
            top, bottom = min(top, y), y
        return left, top, right, bottom


def read_ppm(path):
    return Shot(path).pixel


def luminance(colour):
    def channel(v):
        v /= 255
        return v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = colour
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b)


def differs(a, b, threshold=60):
    return sum(abs(p - q) for p, q in zip(a, b)) > threshold


def caption(pixel, x, y, w, h, edges, margin):
    # Ink is what differs from the same column just inside the top frame, in the text's rows.
    top = y + max(3, h // 8)
    rows = range(y + h // 4, y + h - h // 4)
    ink = [cx for cx in range(x, x + w) if any(differs(pixel(cx, cy), pixel(cx, top)) for cy in rows)]
    if not ink:
        print(f"no caption seen in {w}x{h} at ({x}, {y})")
        return 1
    clipped = ("l" in edges and ink[0] < x + margin) or ("r" in edges and ink[-1] > x + w - 1 - margin)
    print(f"caption ink from {ink[0] - x} to {ink[-1] - x} in a control {w} wide: {'clipped' if clipped else 'fits'}")
    return 1 if clipped else 0


def main(argv):
    command, pixel, numbers = argv[1], read_ppm(argv[2]), [int(a) for a in argv[3:7]]
    if command == "caption":
        return caption(pixel, *numbers, argv[7], int(argv[8]))
    if command == "edge":
        x, y, dx, dy = numbers
        colour = pixel(int(argv[7]), int(argv[8]))
        steps = 0
        while not differs(pixel(x + dx * steps, y + dy * steps), colour, 30):
            steps += 1
        print(steps)
        return 0
    x, y, w, h = numbers
    if command == "ink-width":
        columns = [cx for cx in range(x, x + w) if any(differs(pixel(cx, cy), pixel(x, cy)) for cy in range(y, y + h))]
        print(columns[-1] - columns[0] + 1 if columns else 0)
        return 0
    if command == "contrast":
        colours = Counter(pixel(cx, cy) for cx in range(x, x + w) for cy in range(y, y + h))
        background = luminance(colours.most_common(1)[0][0])
        ink = max((luminance(c) for c in colours), key=lambda l: abs(l - background))
        print(f"{(max(ink, background) + 0.05) / (min(ink, background) + 0.05):.2f}")
        return 0
    raise SystemExit(f"unknown command {command}")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
