#!/usr/bin/env python3
"""Draws the terminal's icons into assets/icon/ as PNG (pure Python, supersampled).

tarnclient.png (256 px) and tarnclient_32.png: a dark rounded tile with three candles and a
rising line, the terminal's mark."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "icon")
SS = 4  # samples per pixel per axis


def png(path, w, h, rows):
    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    def chunk(t, d):
        c = struct.pack(">I", len(d)) + t + d
        return c + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


# Shapes in a 0..1 unit square, drawn in order: (test, colour function).
RED = (235, 72, 64)
GREEN = (46, 196, 120)
GOLD = (245, 200, 80)


def tile_color(x, y):
    # Navy to deep blue, top to bottom.
    t = y
    return (int(16 + 14 * t), int(34 + 26 * t), int(70 + 50 * t))


CANDLES = [  # x centre, body top, body bottom, wick top, wick bottom, colour
    (0.30, 0.50, 0.70, 0.42, 0.78, GREEN),
    (0.50, 0.36, 0.58, 0.28, 0.66, RED),
    (0.70, 0.24, 0.46, 0.16, 0.54, RED),
]
LINE = [(0.16, 0.80), (0.36, 0.62), (0.52, 0.66), (0.84, 0.26)]


def sample(x, y):
    """Colour and alpha of one sample point."""
    if not in_round_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.18):
        return None
    col = tile_color(x, y)
    # A thin light rim.
    if not in_round_rect(x, y, 0.06, 0.06, 0.94, 0.94, 0.16):
        col = (70, 110, 170)
    for cx, bt, bb, wt, wb, c in CANDLES:
        if abs(x - cx) <= 0.012 and wt <= y <= wb:
            col = c
        if abs(x - cx) <= 0.065 and bt <= y <= bb:
            col = c
    for (ax, ay), (bx, by) in zip(LINE, LINE[1:]):
        if seg_dist(x, y, ax, ay, bx, by) <= 0.028:
            col = GOLD
    return col


def render(size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SS):
                for sx in range(SS):
                    s = sample((px + (sx + 0.5) / SS) / size, (py + (sy + 0.5) / SS) / size)
                    if s:
                        r += s[0]; g += s[1]; b += s[2]; a += 1
            n = SS * SS
            if a:
                row += [r // a, g // a, b // a, 255 * a // n]
            else:
                row += [0, 0, 0, 0]
        rows.append(row)
    return rows


def main():
    os.makedirs(OUT, exist_ok=True)
    for size, name in ((256, "tarnclient.png"), (32, "tarnclient_32.png")):
        png(os.path.join(OUT, name), size, size, render(size))


if __name__ == "__main__":
    main()
