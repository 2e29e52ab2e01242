#!/usr/bin/env python3
"""Draws Norvane's program icon and writes it as PNG and ICO files.

The icon is a page of text with a red line-break arrow, in a 32 x 32 and a 16 x 16 image
that use only the 16 classic VGA colours. Both images are pixel art given below as text,
one character per pixel. The ICO holds both as 4-bit (16-colour) bitmaps with a
transparency mask; the PNGs are RGBA. Standard library only.

Usage: scripts/make_icon.py [OUTPUT_DIR]   (default: src/app/resources)
"""

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

ICON_32 = """
................................
................................
...KKKKKKKKKKKKKKKKKK...........
...KWWWWWWWWWWWWWWWWKK..........
...KWWWWWWWWWWWWWWWWKSK.........
...KWWNNNNWNNNNNNWWWKWSK........
...KWWWWWWWWWWWWWWWWKWWSK.......
...KWWWWWWWWWWWWWWWWKWWWSK......
...KWWNNNNNNWNNNNWWWKWWWWSK.....
...KWWWWWWWWWWWWWWWWKKKKKKKG....
...KWWWWWWWWWWWWWWWWWWWWWWKG....
...KWWNNNWNNNNNNWNNNNNWWWWKG....
...KWWWWWWWWWWWWWWWWWWWWWWKG....
...KWWWWWWWWWWWWWWWWWWWWWWKG....
...KWWNNNNNWNNNNWNNNNWWWWWKG....
...KWWWWWWWWWWWWWWWWWWWWWWKG....
...KWWWWWWWWWWWWWWWKKKKKWWKG....
...KWWNNNNWWWWWWWWWKRRMKWWKG....
...KWWWWWWWWKKWWWWWKRRMKWWKG....
...KWWWWWWWKRKWWWWWKRRMKWWKG....
...KWWNNNWKRRKWWWWWKRRMKWWKG....
...KWWWWWKRRRKKKKKKKRRMKWWKG....
...KWWWWKRRRRRRRRRRRRRRKWWKG....
...KWWWKRRRRRRRRRRRRRRRKWWKG....
...KWWWWKMRRRMMMMMMMMMMKWWKG....
...KWWWWWKMRRKKKKKKKKKKKWWKG....
...KWWWWWWKMRKWWWWWWWWWWWWKG....
...KWWWWWWWKMKWWWWWWWWWWWWKG....
...KWWWWWWWWKKWWWWWWWWWWWWKG....
...KWWWWWWWWWWWWWWWWWWWWWWKG....
...KKKKKKKKKKKKKKKKKKKKKKKKG....
....GGGGGGGGGGGGGGGGGGGGGGGG....
"""

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


def png_chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(grid):
    """An 8-bit RGBA PNG of the grid; transparent pixels get alpha 0."""
    height, width = len(grid), len(grid[0])
    raw = bytearray()
    for row in grid:
        raw.append(0)  # filter type: none
        for px in row:
            if px is None:
                raw += b'\x00\x00\x00\x00'
            else:
                raw += bytes(PALETTE[px]) + b'\xff'
    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header)
            + png_chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + png_chunk(b'IEND', b''))


def encode_ico_image(grid):
    """One 4-bit icon image: BITMAPINFOHEADER, palette, colour bitmap, AND mask.

    Rows are stored bottom-up and padded to 4 bytes; the header's height counts both
    the colour bitmap and the mask. Transparent pixels are black in the colour bitmap
    with their mask bit set.
    """
    size = len(grid)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(grid):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, px in enumerate(row):
            index = 0 if px is None else px
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if px is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def encode_ico(grids):
    """An ICO file holding the given images in order."""
    images = [encode_ico_image(g) for g in grids]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for grid, data in zip(grids, images):
        size = len(grid)
        # width, height, colour count, reserved, planes, bits per pixel, size, offset
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'src', 'app',
                                                                 'resources')
    os.makedirs(out_dir, exist_ok=True)
    big = parse(ICON_32, 32)
    small = parse(ICON_16, 16)
    files = {
        'norvane-32.png': encode_png(big),
        'norvane-16.png': encode_png(small),
        'norvane.ico': encode_ico([big, small]),
    }
    for name, data in files.items():
        path = os.path.join(out_dir, name)
        with open(path, 'wb') as f:
            f.write(data)
        print(f'wrote {os.path.normpath(path)} ({len(data)} bytes)')


if __name__ == '__main__':
    main()
