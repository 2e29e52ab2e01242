#!/usr/bin/env python3
"""Draws Norvane's program icon and writes it as PNG, SVG and ICO files.

The icon is a page of text with a red line-break arrow, in the 16 classic VGA colours: black
outlines one unit wide, flat fills, a grey drop shadow. The drawing is given once, as shapes on
the 32 x 32 grid; it is painted at every size from 32 px up (32 px point-sampled, so every
pixel has one of the 16 colours; larger sizes smoothed), and written as a scalable SVG of the
very same shapes. The 16 x 16 image is pixel art below, one character per pixel, as small
icons are drawn by hand. The PNGs are RGBA; the ICO holds every size from 256 px down to 16 in
full colour (32-bit with alpha), the 256 px image PNG-compressed as Windows Vista and later
read it, the others as bitmaps with a transparency mask for older readers. Standard library
only.

Usage: scripts/make_icon.py [OUTPUT_DIR]   (default: src/app/resources)
"""

import math
import os
import struct
import sys
import zlib

# The 16 colours in the order of the classic Windows 16-colour icon palette.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0x80, 0x80, 0x80),  # 7 grey
    (0xC0, 0xC0, 0xC0),  # 8 silver
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]

# Pixel-art characters and their palette indices; '.' is transparent.
KEY = {
    'K': 0, 'M': 1, 'g': 2, 'O': 3, 'N': 4, 'P': 5, 'T': 6, 'G': 7,
    'S': 8, 'R': 9, 'L': 10, 'Y': 11, 'B': 12, 'F': 13, 'A': 14, 'W': 15,
}
TRANSPARENT = '.'

# The drawing, in units of the 32 x 32 image: x to the right, y down; at 32 px a unit is a
# pixel, and n + 0.5 is the centre of pixel n. Paths run through pixel centres; a stroke is one
# unit wide around its path, with mitred corners and square ends. Painted in order:
#   ('fill', PATH, COLOUR)          the inside of a closed path
#   ('stroke', PATH, COLOUR)        a closed path's outline
#   ('line', PATH, COLOUR)          an open path
PAGE = [(3.5, 2.5), (20.5, 2.5), (26.5, 8.5), (26.5, 30.5), (3.5, 30.5)]
PAGE_SHADOW = [(x + 1, y + 1) for x, y in PAGE]
FOLD = [(20.5, 2.5), (20.5, 9.5), (26.5, 9.5)]
FOLD_SHADE = [(21.5, 4.5), (25.5, 8.5)]
# Lines of text: row, first and last pixel column.
TEXT = [(5, 6, 9), (5, 11, 16), (8, 6, 11), (8, 13, 16), (11, 6, 8), (11, 10, 15), (11, 17, 21),
        (14, 6, 10), (14, 12, 15), (14, 17, 20), (17, 6, 9), (20, 6, 8)]
ARROW = [(7.5, 23.5), (12.5, 18.5), (13.5, 18.5), (13.5, 21.5), (19.5, 21.5), (19.5, 16.5),
         (23.5, 16.5), (23.5, 25.5), (13.5, 25.5), (13.5, 28.5), (12.5, 28.5)]
ARROW_SHADES = [[(22.5, 17.5), (22.5, 21.5)], [(13.5, 24.5), (22.5, 24.5)], [(9.5, 24.5), (12.5, 27.5)]]

DRAWING = [
    ('fill', PAGE_SHADOW, 'G'), ('stroke', PAGE_SHADOW, 'G'),
    ('fill', PAGE, 'W'), ('line', FOLD_SHADE, 'S'), ('line', FOLD, 'K'), ('stroke', PAGE, 'K'),
    *[('line', [(first + 0.5, row + 0.5), (last + 0.5, row + 0.5)], 'N') for row, first, last in TEXT],
    ('fill', ARROW, 'R'), *[('line', shade, 'M') for shade in ARROW_SHADES], ('stroke', ARROW, 'K'),
]
GRID = 32
# The smoothed sizes, and the samples a pixel takes across and down.
LARGE_SIZES = (48, 64, 128, 256)
SMOOTHING = 4

ICON_16 = """
.KKKKKKKKKK.....
.KWWWWWWWWKK....
.KWNNWNNNWKSK...
.KWWWWWWWWKKKK..
.KWNNNWNNNNWWKG.
.KWWWWWWWWWWWKG.
.KWNNWNNWWRMWKG.
.KWWWWWWWWRMWKG.
.KWWWRWWWWRMWKG.
.KWWRRWWWWRMWKG.
.KWRRRRRRRRMWKG.
.KWMRRMMMMMMWKG.
.KWWMRWWWWWWWKG.
.KWWWMWWWWWWWKG.
.KKKKKKKKKKKKKG.
..GGGGGGGGGGGGG.
"""


def parse(art, size):
    """Turns pixel art into rows of palette indices, None where transparent."""
    rows = [line for line in art.strip('\n').split('\n')]
    if len(rows) != size or any(len(r) != size for r in rows):
        raise ValueError(f'{size}x{size} art has the wrong shape')
    grid = []
    for r in rows:
        row = []
        for ch in r:
            if ch == TRANSPARENT:
                row.append(None)
            elif ch in KEY:
                row.append(KEY[ch])
            else:
                raise ValueError(f'unknown pixel character {ch!r}')
        grid.append(row)
    return grid


def offset_points(path, half, closed):
    """The path moved sideways by half a unit (to the left of its direction for a positive
    half), with mitred corners; an open path is first made half a unit longer at both ends."""
    points = list(path)
    if not closed:
        def extend(end, towards):
            dx, dy = end[0] - towards[0], end[1] - towards[1]
            length = (dx * dx + dy * dy) ** 0.5
            return (end[0] + dx / length * abs(half), end[1] + dy / length * abs(half))
        points = [extend(points[0], points[1])] + points[1:-1] + [extend(points[-1], points[-2])]

    def normal(a, b):
        dx, dy = b[0] - a[0], b[1] - a[1]
        length = (dx * dx + dy * dy) ** 0.5
        return (dy / length, -dx / length)

    count = len(points)
    moved = []
    for i, p in enumerate(points):
        before = normal(points[i - 1], p) if closed or i > 0 else None
        after = normal(p, points[(i + 1) % count]) if closed or i < count - 1 else None
        if before is None or after is None:
            n = before or after
            moved.append((p[0] + n[0] * half, p[1] + n[1] * half))
            continue
        scale = half / (1 + before[0] * after[0] + before[1] * after[1])
        moved.append((p[0] + (before[0] + after[0]) * scale, p[1] + (before[1] + after[1]) * scale))
    return moved


def outline(kind, path):
    """The rings (closed polygons, filled even-odd) of one painting step."""
    if kind == 'fill':
        return [list(path)]
    if kind == 'stroke':
        return [offset_points(path, 0.5, True), offset_points(path, -0.5, True)]
    return [offset_points(path, 0.5, False) + offset_points(path, -0.5, False)[::-1]]


def paint(size, samples_per_pixel):
    """The drawing at SIZE pixels. With one sample a pixel: rows of palette indices (None where
    transparent), each pixel the colour at its centre; with n: rows of RGBA, each pixel the
    average of n x n samples."""
    n = size * samples_per_pixel
    unit = n / GRID
    canvas = [[None] * n for _ in range(n)]
    for kind, path, colour in DRAWING:
        edges = [(ring[i - 1], ring[i]) for ring in outline(kind, path) for i in range(len(ring))]
        index = KEY[colour]
        for row in range(n):
            y = (row + 0.5) / unit
            crossings = sorted(a[0] + (y - a[1]) * (b[0] - a[0]) / (b[1] - a[1])
                               for a, b in edges if min(a[1], b[1]) <= y < max(a[1], b[1]))
            line = canvas[row]
            for left, right in zip(crossings[::2], crossings[1::2]):
                first = max(0, math.ceil(left * unit - 0.5))
                last = min(n, math.ceil(right * unit - 0.5))
                line[first:last] = [index] * max(0, last - first)
    if samples_per_pixel == 1:
        return canvas
    image = []
    for y in range(size):
        rows = canvas[y * samples_per_pixel:(y + 1) * samples_per_pixel]
        out = []
        for x in range(size):
            covered = [PALETTE[px] for r in rows for px in r[x * samples_per_pixel:(x + 1) * samples_per_pixel]
                       if px is not None]
            if not covered:
                out.append((0, 0, 0, 0))
                continue
            total = samples_per_pixel * samples_per_pixel
            out.append(tuple(round(sum(c[k] for c in covered) / len(covered)) for k in range(3))
                       + (round(255 * len(covered) / total),))
        image.append(out)
    return image


def encode_svg():
    """The drawing as SVG: the same shapes, one path a painting step."""
    def ring_data(ring):
        points = [f'{x:.4g},{y:.4g}' for x, y in ring]
        return f'M{points[0]} L' + ' '.join(points[1:]) + 'Z'
    lines = [f'<svg xmlns="http://www.w3.org/2000/svg" stroke="none" width="256" height="256" viewBox="0 0 {GRID} {GRID}">']
    for kind, path, colour in DRAWING:
        r, g, b = PALETTE[KEY[colour]]
        data = ''.join(ring_data(ring) for ring in outline(kind, path))
        lines.append(f'  <path fill="#{r:02x}{g:02x}{b:02x}" fill-rule="evenodd" d="{data}"/>')
    lines.append('</svg>')
    return ('\n'.join(lines) + '\n').encode()


def png_chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def rgba(grid):
    """Rows of palette indices as rows of RGBA; transparent pixels get alpha 0."""
    return [[(0, 0, 0, 0) if px is None else PALETTE[px] + (255,) for px in row] for row in grid]


def encode_png(image):
    """An 8-bit RGBA PNG of rows of RGBA pixels."""
    height, width = len(image), len(image[0])
    raw = bytearray()
    for row in image:
        raw.append(0)  # filter type: none
        for px in row:
            raw += bytes(px)
    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header)
            + png_chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + png_chunk(b'IEND', b''))


def encode_ico_bitmap(image):
    """One 32-bit icon image of rows of RGBA: BITMAPINFOHEADER, BGRA pixels, AND mask.

    Rows are stored bottom-up; the header's height counts both the colour bitmap and the
    mask, whose bit is set where a pixel is fully transparent (rows padded to 4 bytes).
    """
    size = len(image)
    and_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(image):
        bits = bytearray(and_stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def encode_ico(images):
    """An ICO file holding the given RGBA images in order: 256 px as PNG, smaller as bitmaps."""
    datas = [encode_png(image) if len(image) >= 256 else encode_ico_bitmap(image) for image in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for image, data in zip(images, datas):
        size = len(image)
        # width, height (0 means 256), colour count (0: no palette), reserved, planes, bits per
        # pixel, size, offset
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(datas)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'src', 'app',
                                                                 'resources')
    os.makedirs(out_dir, exist_ok=True)
    images = {16: rgba(parse(ICON_16, 16)), 32: rgba(paint(32, 1)),
              **{size: paint(size, SMOOTHING) for size in LARGE_SIZES}}
    files = {
        **{f'norvane-{size}.png': encode_png(image) for size, image in images.items()},
        'norvane.svg': encode_svg(),
        'norvane.ico': encode_ico([images[size] for size in sorted(images, reverse=True)]),
    }
    for name, data in files.items():
        path = os.path.join(out_dir, name)
        with open(path, 'wb') as f:
            f.write(data)
        print(f'wrote {os.path.normpath(path)} ({len(data)} bytes)')


if __name__ == '__main__':
    main()
