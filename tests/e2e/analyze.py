#!/usr/bin/env python3
"""Reads screenshots (binary PPM) for the end-to-end checks.

  analyze.py blocks FILE X0 Y0 X1 Y1      pixels in the area that break 2 x 2 blocks
  analyze.py table FILE X0 Y0 X1 Y1       the colour-table entry seen most often in the
                                          area, as "<index> <count>" (-1 0 when none)
  analyze.py step FILE1 FILE2 X0 Y0 X1 Y1 the fewest steps forward through the colour
                                          cycle from FILE1's overlay colour to FILE2's
"""
import re
import sys


def read_ppm(path):
    data = open(path, "rb").read()
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not header:
        raise SystemExit(f"{path}: not a binary 8-bit PPM")
    width, height = int(header[1]), int(header[2])
    return width, height, data[header.end():header.end() + width * height * 3]


def pixel(image, x, y):
    width, _, pixels = image
    i = (y * width + x) * 3
    return pixels[i], pixels[i + 1], pixels[i + 2]


def colour_table():
    """The intro's 192-step hue cycle as (r, g, b), built the way the intro builds it."""
    table = [None] * 192
    for i in range(32):
        up, down = 8 * i, 248 - 8 * i
        table[i] = (0, up, 248)
        table[32 + i] = (0, 248, down)
        table[64 + i] = (up, 248, 0)
        table[96 + i] = (248, down, 0)
        table[128 + i] = (248, 0, up)
        table[160 + i] = (down, 0, 248)
    return table


def blocks(image, x0, y0, x1, y1):
    bad = 0
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            p = pixel(image, x, y)
            for dx, dy in ((1, 0), (0, 1), (1, 1)):
                if pixel(image, x + dx, y + dy) != p:
                    bad += 1
    return bad


def table_colour(image, x0, y0, x1, y1):
    table = colour_table()
    counts = {}
    for y in range(y0, y1):
        for x in range(x0, x1):
            p = pixel(image, x, y)
            if p in table:
                counts[p] = counts.get(p, 0) + 1
    if not counts:
        return -1, 0
    best = max(counts, key=counts.get)
    return table.index(best), counts[best]


def cycle_step(first, second, x0, y0, x1, y1):
    """Entries 32k - 1 and 32k of the cycle are the same colour (each corner of the hue
    cycle is reached twice), so a colour may stand for two neighbouring entries."""
    table = colour_table()
    a, _ = table_colour(first, x0, y0, x1, y1)
    b, _ = table_colour(second, x0, y0, x1, y1)
    if a < 0 or b < 0:
        return -1
    starts = [i for i, c in enumerate(table) if c == table[a]]
    ends = [i for i, c in enumerate(table) if c == table[b]]
    return min((e - s) % 192 or 192 for s in starts for e in ends)


def main(argv):
    command = argv[1]
    if command == "step":
        area = (int(v) for v in argv[4:8])
        print(cycle_step(read_ppm(argv[2]), read_ppm(argv[3]), *area))
        return
    image = read_ppm(argv[2])
    x0, y0, x1, y1 = (int(v) for v in argv[3:7])
    if command == "blocks":
        print(blocks(image, x0, y0, x1, y1))
    elif command == "table":
        print(*table_colour(image, x0, y0, x1, y1))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
