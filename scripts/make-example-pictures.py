#!/usr/bin/env python3
"""Draws the pictures of examples/first-show as 24-bit BMP files (no libraries needed)."""
import math
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 192, 108


def bmp(path, pixel):
    row_size = (WIDTH * 3 + 3) & ~3
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = pixel(x / (WIDTH - 1), y / (HEIGHT - 1))
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    path.write_bytes(header + info + data)


def clamp(v):
    return max(0, min(255, int(round(v))))


def sunrise(u, v):
    sun = math.hypot((u - 0.5) * 1.78, v - 0.7)
    glow = max(0.0, 1.0 - sun * 3.0)
    sky = 1.0 - v
    return clamp(60 + 180 * v + 120 * glow), clamp(40 + 90 * v * v + 150 * glow), clamp(120 * sky + 40 * glow)


def sea(u, v):
    wave = 0.5 + 0.5 * math.sin(u * 18.0 + v * 6.0)
    return clamp(20 + 30 * wave * v), clamp(80 + 90 * v + 30 * wave), clamp(140 + 90 * (1 - v))


def forest(u, v):
    stripe = 0.5 + 0.5 * math.sin(u * 40.0)
    return clamp(30 + 40 * v), clamp(90 + 110 * (1 - v) * stripe + 30 * v), clamp(30 + 30 * stripe)


def main(folder):
    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    for name, pixel in (("sunrise", sunrise), ("sea", sea), ("forest", forest)):
        bmp(out / f"{name}.bmp", pixel)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/first-show/Pictures")
