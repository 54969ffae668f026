#!/usr/bin/env python3
"""Draws tornak's icon and writes it as a Windows .ico: one image per common scale, so that
Windows never stretches one (16, 20, 24 px for the caption at 100, 125 and 150 %; 32, 40, 48,
64 for the taskbar and Alt+Tab; 256 for Explorer's large views). Up to 64 px 24-bit colour with
an AND mask; 256 px as PNG, the form Windows takes an image that large in.

Run it again after changing the drawing; the .ico beside it is committed so that a build
needs no Python:  python3 window/res/make_icon.py window/res/tornak.ico
"""
import struct
import sys
import zlib

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


def png(size):
    """One icon image as PNG: 8-bit RGBA, transparent where the AND mask would be set."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    rows = b''.join(b'\0' + b''.join(bytes((*c, 255)) if c else b'\0\0\0\0' for c in row) for row in draw(size))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


# The 32 px image first, as it always was; Windows picks by size, whatever the order.
SIZES = (32, 16, 20, 24, 40, 48, 64, 256)


def main(path):
    images = [(size, png(size) if size == 256 else bitmap(size), 32 if size == 256 else 24) for size in SIZES]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data, bits in images:
        # The directory's byte for 256 is 0.
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, data, _ in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'tornak.ico')
