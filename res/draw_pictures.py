#!/usr/bin/env python3
"""Draws the window's pictures: icon 128 (kelvora-32.png, kelvora-16.png; also the desktop icon),
the pick cursor 105 (pick-cursor.xbm with its mask pick-cursor-mask.xbm) and the base-mark bitmap
129 (basemark.bmp). The outputs are committed; run this again only to change a picture:
    python3 res/draw_pictures.py res
"""
import math
import struct
import sys
import zlib
from pathlib import Path

# Sixteen colours at most, as the icon's images have always had.
PALETTE = {
    ".": None,          # transparent
    "k": "#000000",
    "g": "#808080",
    "l": "#C0C0C0",
    "b": "#0000FF",
    "n": "#000080",
    "r": "#FF0000",
    "w": "#FFFFFF",
    "y": "#FFFF00",
}


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def draw_arm(size):
    """A three-link arm on a grey base, reaching for a red target in the upper right."""
    s = size / 32.0
    grid = [["."] * size for _ in range(size)]

    def put(x, y, c):
        if 0 <= x < size and 0 <= y < size:
            grid[y][x] = c

    def disc(cx, cy, radius, c):
        for y in range(size):
            for x in range(size):
                if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius:
                    put(x, y, c)

    def ring(cx, cy, radius, width, c):
        for y in range(size):
            for x in range(size):
                if abs(math.hypot(x + 0.5 - cx, y + 0.5 - cy) - radius) <= width / 2:
                    put(x, y, c)

    def link(a, b, width, c):
        for y in range(size):
            for x in range(size):
                if segment_distance(x + 0.5, y + 0.5, *a, *b) <= width / 2:
                    put(x, y, c)

    # Ground and base block.
    for x in range(int(2 * s), int(30 * s)):
        put(x, size - 1 - int(1 * s), "g")
    for y in range(int(25 * s), int(30 * s)):
        for x in range(int(4 * s), int(14 * s)):
            put(x, y, "l" if (x + y) % 2 else "g")
    # Joints of the arm: base, elbow, wrist, tip.
    base = (9 * s, 25 * s)
    j1 = (11 * s, 15 * s)
    j2 = (20 * s, 9 * s)
    tip = (24.5 * s, 13.5 * s)
    # Target: a red ring with a white centre, where the tip is reaching.
    disc(26 * s, 15 * s, 4.2 * s, "w")
    ring(26 * s, 15 * s, 3.6 * s, max(1.2, 1.6 * s), "r")
    width = max(1.6, 3.2 * s)
    link(base, j1, width, "n")
    link(j1, j2, width, "b")
    link(j2, tip, max(1.4, 2.4 * s), "b")
    for j in (base, j1, j2):
        disc(j[0], j[1], max(0.9, 1.8 * s), "k")
    disc(tip[0], tip[1], max(0.6, 1.0 * s), "y")
    return grid


def write_png(path, grid):
    """An indexed-colour PNG (at most 16 colours, 4 bits a pixel) with "." transparent."""
    used = sorted({c for row in grid for c in row}, key=lambda c: (c != ".", c))
    assert len(used) <= 16, "an icon image has sixteen colours at most"
    index = {c: i for i, c in enumerate(used)}
    palette = b"".join(bytes.fromhex((PALETTE[c] or "#000000")[1:]) for c in used)
    alpha = bytes(0 if PALETTE[c] is None else 255 for c in used)
    width, height = len(grid[0]), len(grid)
    raw = bytearray()
    for row in grid:
        raw.append(0)  # no filter
        for x in range(0, width, 2):
            hi = index[row[x]]
            lo = index[row[x + 1]] if x + 1 < width else 0
            raw.append(hi << 4 | lo)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", palette) +
                     chunk(b"tRNS", alpha) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# The pick cursor, 32 x 32, hot spot (1, 1) at the arrow's tip: "k" black, "w" white, "." clear.
# An arrow pointing up and left, white with a black edge, and at its upper right a small black plus
# sign outlined in white, the mark of picking a point.
PICK_CURSOR_HOT_SPOT = (1, 1)
PICK_ARROW = [
    "k...........",
    "kk..........",
    "kwk.........",
    "kwwk........",
    "kwwwk.......",
    "kwwwwk......",
    "kwwwwwk.....",
    "kwwwwwwk....",
    "kwwwwwwwk...",
    "kwwwwwwwwk..",
    "kwwwwwwwwwk.",
    "kwwwwwwkkkkk",
    "kwwwkwwk....",
    "kwwk.kwwk...",
    "kwk..kwwk...",
    "kk....kwwk..",
    "k.....kwwk..",
    ".......kwwk.",
    ".......kwwk.",
    "........kk..",
]


def draw_pick_cursor():
    size = 32
    grid = [["."] * size for _ in range(size)]
    hx, hy = PICK_CURSOR_HOT_SPOT
    for y, row in enumerate(PICK_ARROW):
        for x, c in enumerate(row):
            if c != ".":
                grid[hy + y][hx + x] = c
    # The plus sign: one-pixel black bars seven pixels long centred on (19, 6), then a white pixel
    # around every black one that is still clear.
    cx, cy, arm = 19, 6, 3
    plus = {(cx + d, cy) for d in range(-arm, arm + 1)} | {(cx, cy + d) for d in range(-arm, arm + 1)}
    for x, y in plus:
        grid[y][x] = "k"
    for x, y in plus:
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                if grid[y + dy][x + dx] == ".":
                    grid[y + dy][x + dx] = "w"
    return grid


def write_xbm(path, name, bits, hot_spot=None):
    """A monochrome X bitmap: set bits are 1 (black in a cursor image, opaque in its mask)."""
    height, width = len(bits), len(bits[0])
    data = []
    for row in bits:
        for x0 in range(0, width, 8):
            data.append(sum(1 << i for i in range(8) if x0 + i < width and row[x0 + i]))
    lines = [f"#define {name}_width {width}", f"#define {name}_height {height}"]
    if hot_spot:
        lines += [f"#define {name}_x_hot {hot_spot[0]}", f"#define {name}_y_hot {hot_spot[1]}"]
    lines.append(f"static unsigned char {name}_bits[] = {{")
    for i in range(0, len(data), 12):
        lines.append("   " + ", ".join(f"0x{b:02x}" for b in data[i:i + 12]) + ("," if i + 12 < len(data) else ""))
    lines.append("};")
    path.write_text("\n".join(lines) + "\n")


def write_base_mark(path):
    """4 x 4 pixels, 16 colours (4 bits a pixel), every pixel black (palette index 0)."""
    width = height = 4
    row_bytes = ((width * 4 + 31) // 32) * 4
    palette = bytes([0, 0, 0, 0]) + bytes([255, 255, 255, 0]) * 15
    pixels = bytes(row_bytes * height)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    path.write_bytes(header + info + palette + pixels)


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    write_png(out / "kelvora-32.png", draw_arm(32))
    write_png(out / "kelvora-16.png", draw_arm(16))
    cursor = draw_pick_cursor()
    # Cursor image: black where "k"; mask: opaque where "k" or "w" (white is image 0, mask 1).
    write_xbm(out / "pick-cursor.xbm", "pick_cursor", [[c == "k" for c in row] for row in cursor],
              PICK_CURSOR_HOT_SPOT)
    write_xbm(out / "pick-cursor-mask.xbm", "pick_cursor_mask", [[c != "." for c in row] for row in cursor])
    write_base_mark(out / "basemark.bmp")


if __name__ == "__main__":
    main()
