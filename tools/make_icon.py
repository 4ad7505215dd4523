#!/usr/bin/env python3
"""Writes res/quorlane.ico: one 32 x 32, 16-colour image of a round spot
(rings of blue, magenta and red around a yellow core that sits below the
centre) on a transparent background.

Usage: python3 tools/make_icon.py [OUT.ico]
"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),
    (0x80, 0x00, 0x00),
    (0x00, 0x80, 0x00),
    (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80),
    (0x80, 0x00, 0x80),
    (0x00, 0x80, 0x80),
    (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80),
    (0xFF, 0x00, 0x00),
    (0x00, 0xFF, 0x00),
    (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF),
    (0xFF, 0x00, 0xFF),
    (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0xFF),
]
RED, YELLOW, BLUE, MAGENTA = 9, 11, 12, 13
SIZE = 32

# Discs from the outside in: (centre x, centre y, radius, palette index).
# Each inner disc lies a little lower, so the core sits below the centre.
DISCS = [
    (15.5, 15.5, 15.6, BLUE),
    (15.5, 17.0, 11.5, MAGENTA),
    (15.5, 18.5, 7.8, RED),
    (15.5, 19.5, 4.2, YELLOW),
]


def pixel(x, y):
    """Palette index of pixel (x, y), top-down, or None where transparent."""
    px, py = x + 0.5, y + 0.5
    colour = None
    for cx, cy, r, idx in DISCS:
        if (px - cx) ** 2 + (py - cy) ** 2 <= r * r:
            colour = idx
    return colour


def image_bytes():
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, 640, 0, 0, 0, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom row first
        row = [pixel(x, y) for x in range(SIZE)]
        for x in range(0, SIZE, 2):
            hi, lo = row[x] or 0, row[x + 1] or 0
            colour.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    data = header + palette + bytes(colour) + bytes(mask)
    assert len(data) == 744
    return data


def ico_bytes():
    img = image_bytes()
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(img), 6 + 16)
    return head + entry + img


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "res/quorlane.ico"
    with open(out, "wb") as f:
        f.write(ico_bytes())


if __name__ == "__main__":
    main()
