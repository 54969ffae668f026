#!/usr/bin/env python3
"""Draws tornak's icon and writes it as a Windows .ico: 32x32 and 16x16, 24-bit colour.

Run it again after changing the drawing; the .ico beside it is committed so that a build
needs no Python:  python3 window/res/make_icon.py window/res/tornak.ico
"""
import struct
import sys

BACKGROUND = (0x1F, 0x4E, 0x8C)   # deep blue tile
EDGE = (0x0E, 0x2A, 0x52)
PLUG = (0xF2, 0xF2, 0xF2)         # white USB plug
CONTACT = (0x1F, 0x4E, 0x8C)
ARROW = (0xF5, 0x9E, 0x1B)        # orange arrow: an ID being rewritten


def draw(size):
    """Returns rows (top first) of (r, g, b), drawn on a 32-unit grid scaled to size."""
    s = size / 32.0
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            # Sample the 32-unit design at the pixel centre.
            u, v = (x + 0.5) / s, (y + 0.5) / s
            colour = None
            # Rounded tile with a darker rim; corners stay black under the AND mask anyway.
            corner = 5.0
            cx = min(max(u, corner), 32 - corner)
            cy = min(max(v, corner), 32 - corner)
            d = ((u - cx) ** 2 + (v - cy) ** 2) ** 0.5
            if d > corner:
                colour = None
            elif d > corner - 1.5 or u < 1.5 or v < 1.5 or u > 30.5 or v > 30.5:
                colour = EDGE
            else:
                colour = BACKGROUND
            # Plug body and its connector on the left half.
            if 5 <= u < 15 and 12 <= v < 26:
                colour = PLUG
            if 7 <= u < 13 and 5 <= v < 12:
                colour = PLUG
            if (8 <= u < 9.5 or 10.5 <= u < 12) and 7 <= v < 9:
                colour = CONTACT
            if 9 <= u < 11 and 26 <= v < 29:
                colour = PLUG
            # Arrow pointing right on the right half.
            if 17 <= u < 23 and 17 <= v < 21:
                colour = ARROW
            if 23 <= u < 29 and abs(v - 19) <= (29 - u) * 0.9:
                colour = ARROW
            row.append(colour)
        pixels.append(row)
    return pixels


def bitmap(size):
    """One icon image: BITMAPINFOHEADER, 24-bit XOR bitmap, 1-bit AND mask, both bottom-up."""
    pixels = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    colour_stride = (size * 3 + 3) & ~3
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                line += b'\0\0\0'
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                line += bytes((c[2], c[1], c[0]))
        line += b'\0' * (colour_stride - len(line))
        colour += line
        mask += bits
    return header + bytes(colour) + bytes(mask)


def main(path):
    images = [(32, bitmap(32)), (16, bitmap(16))]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'tornak.ico')
