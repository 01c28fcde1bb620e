#!/usr/bin/env python3
"""Draws the program icon (a label tag marked with braces) in the 16 standard colours and
writes tagwright-32.png, tagwright-16.png and tagwright.ico next to this script."""
import os
import struct
import zlib

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
NAVY, GREEN, SILVER, GRAY, YELLOW, BLUE, WHITE = 4, 2, 7, 8, 11, 12, 15
CLEAR = 13  # magenta, unused by the artwork, stands for transparent

BRACES = {
    32: [
        "..XXX....XXX..",
        ".XX........XX.",
        ".XX........XX.",
        ".XX........XX.",
        "XX..........XX",
        ".XX........XX.",
        ".XX........XX.",
        ".XX........XX.",
        "..XXX....XXX..",
    ],
    16: [
        ".XX.XX.",
        ".X...X.",
        ".X...X.",
        "X.....X",
        ".X...X.",
        ".X...X.",
        ".XX.XX.",
    ],
}


def draw(size):
    s = size / 32.0
    img = [[CLEAR] * size for _ in range(size)]
    top, bottom = 6 * s, 26 * s
    mid = (top + bottom) / 2
    left, shoulder, right = 2 * s, 10 * s, 30 * s
    half = (bottom - top) / 2

    def inside(x, y):
        cx, cy = x + 0.5, y + 0.5
        if not (top <= cy < bottom and left <= cx < right):
            return False
        if cx >= shoulder:
            return True
        return abs(cy - mid) <= (cx - left) * half / (shoulder - left)

    for y in range(size):
        for x in range(size):
            if inside(x, y):
                edge = any(not inside(x + dx, y + dy) for dx, dy in
                           ((1, 0), (-1, 0), (0, 1), (0, -1)))
                img[y][x] = NAVY if edge else YELLOW
    # The eyelet and its string.
    hx, hy, r = 8 * s, mid, max(1.0, 2 * s)
    for y in range(size):
        for x in range(size):
            d = ((x + 0.5 - hx) ** 2 + (y + 0.5 - hy) ** 2) ** 0.5
            if d <= r * 0.75:
                img[y][x] = WHITE
            elif d <= r + 0.5 and img[y][x] != CLEAR:
                img[y][x] = GRAY
    steps = int(8 * s)
    for i in range(steps):
        x, y = int(hx - r - i * 0.7), int(hy - r - i)
        if 0 <= x < size and 0 <= y < size and img[y][x] == CLEAR:
            img[y][x] = GREEN
    # The braces that mark every label.
    art = BRACES[size]
    ox = int(round((shoulder + right) / 2 - len(art[0]) / 2))
    oy = int(round(mid - len(art) / 2))
    for j, row in enumerate(art):
        for i, c in enumerate(row):
            if c == "X":
                img[oy + j][ox + i] = BLUE
    return img


def png(img):
    size = len(img)
    raw = b"".join(b"\0" + bytes((row[i] << 4) | row[i + 1] for i in range(0, size, 2))
                   for row in img)
    plte = b"".join(bytes(c) for c in PALETTE)
    trns = bytes(0 if i == CLEAR else 255 for i in range(16))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", plte) + chunk(b"tRNS", trns) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def dib(img):
    """The 4-bit bitmap of an icon entry: header, palette, colour rows, transparency mask."""
    size = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    rows = []
    for row in reversed(img):
        line = bytes(((0 if row[i] == CLEAR else row[i]) << 4) |
                     (0 if row[i + 1] == CLEAR else row[i + 1]) for i in range(0, size, 2))
        rows.append(line + b"\0" * ((4 - len(line) % 4) % 4))
    mask = []
    for row in reversed(img):
        bits = 0
        for x, c in enumerate(row):
            if c == CLEAR:
                bits |= 1 << (size - 1 - x)
        line = bits.to_bytes(size // 8, "big")
        mask.append(line + b"\0" * ((4 - len(line) % 4) % 4))
    return header + palette + b"".join(rows) + b"".join(mask)


def ico(images):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for img in images:
        blob = dib(img)
        size = len(img)
        entries.append(struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


here = os.path.dirname(os.path.abspath(__file__))
big, small = draw(32), draw(16)
for name, data in (("tagwright-32.png", png(big)), ("tagwright-16.png", png(small)),
                   ("tagwright.ico", ico([big, small]))):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
