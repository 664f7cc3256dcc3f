#!/usr/bin/env python3
"""Draws the order panels' contract lock icons into assets/icon/trade/ as 16 px PNG files:
"锁.png" (a closed padlock, the contract is locked) and "解锁.png" (an open one)."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "icon", "trade")
SIZE = 16
SS = 4


def png(path, w, h, rows):
    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    def chunk(t, d):
        c = struct.pack(">I", len(d)) + t + d
        return c + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def padlock(x, y, shackle_shift):
    # Body: a rounded box in the lower half; shackle: a ring above it, lifted when open.
    if 0.18 <= x <= 0.82 and 0.46 <= y <= 0.92:
        return True
    cx, cy = 0.5, 0.44 - shackle_shift
    d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
    if y <= cy and 0.17 <= d <= 0.27:
        return True
    # The shackle's legs down to the body (only the left one when open).
    if cy <= y <= 0.5 and (0.23 <= x <= 0.33 or (shackle_shift == 0 and 0.67 <= x <= 0.77)):
        return True
    return False


def draw(name, shift, colour):
    rows = []
    for j in range(SIZE):
        row = []
        for i in range(SIZE):
            hits = 0
            for sj in range(SS):
                for si in range(SS):
                    if padlock((i + (si + 0.5) / SS) / SIZE, (j + (sj + 0.5) / SS) / SIZE, shift):
                        hits += 1
            a = int(255 * hits / (SS * SS))
            row += [colour[0], colour[1], colour[2], a]
        rows.append(row)
    png(os.path.join(OUT, name), SIZE, SIZE, rows)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    draw("锁.png", 0.0, (245, 200, 80))
    draw("解锁.png", 0.12, (170, 180, 195))
