#!/usr/bin/env python3
"""Draws the window's pictures: icon 128 (app-32.xpm, app-16.xpm) and the base-mark bitmap 129
(basemark.bmp). The outputs are committed; run this again only to change a picture:
    python3 res/draw_pictures.py res
"""
import math
import struct
import sys
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


def write_xpm(path, name, grid):
    used = sorted({c for row in grid for c in row})
    lines = [
        "/* XPM */",
        f"static const char *{name}[] = {{",
        f'"{len(grid[0])} {len(grid)} {len(used)} 1",',
    ]
    for c in used:
        colour = PALETTE[c]
        lines.append(f'"{c} c {colour if colour else "None"}",')
    for i, row in enumerate(grid):
        lines.append('"' + "".join(row) + '"' + ("," if i + 1 < len(grid) else ""))
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
    write_xpm(out / "app-32.xpm", "app_32", draw_arm(32))
    write_xpm(out / "app-16.xpm", "app_16", draw_arm(16))
    write_base_mark(out / "basemark.bmp")


if __name__ == "__main__":
    main()
