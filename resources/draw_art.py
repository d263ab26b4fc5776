#!/usr/bin/env python3
"""Draws the program's icon (orvane.ico) and logo bitmap (logo.bmp, 340 x 92).

Run once; the outputs are committed. Plain struct writing, no imaging library.
"""
import math
import struct

NAVY = (0x1B, 0x2A, 0x4A)
TEAL = (0x1F, 0xA3, 0x9A)
WHITE = (0xF4, 0xF6, 0xF8)

# 5 x 7 block letters for the word mark.
GLYPHS = {
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
}


def key_mark(x, y, cx, cy, r):
    """A rounded steno key with a stroke bar: True where the mark is."""
    dx, dy = x - cx, y - cy
    inside = max(abs(dx) - r * 0.55, 0) ** 2 + max(abs(dy) - r * 0.55, 0) ** 2 <= (r * 0.45) ** 2
    bar = abs(dy) < r * 0.18 and abs(dx) < r * 0.7
    return inside and not bar


def logo():
    w, h = 340, 92
    px = [[NAVY for _ in range(w)] for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if key_mark(x, y, 46, 46, 34):
                px[y][x] = TEAL
            if 80 <= y <= 83 and 96 <= x <= 330:
                px[y][x] = TEAL
    scale, x0, y0 = 8, 100, 12
    for i, ch in enumerate("ORVANE"):
        for gy, row in enumerate(GLYPHS[ch]):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for yy in range(scale):
                        for xx in range(scale - 1):
                            px[y0 + gy * scale + yy][x0 + i * 38 + gx * (scale - 1) + xx] = WHITE
    row_bytes = (w * 3 + 3) & ~3
    data = b""
    for y in reversed(range(h)):
        row = b"".join(struct.pack("BBB", b, g, r) for (r, g, b) in px[y])
        data += row + b"\0" * (row_bytes - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def icon_image(size):
    pixels = b""
    for y in reversed(range(size)):
        for x in range(size):
            c = (x + 0.5, y + 0.5)
            r = size / 2 - 0.5
            dist = math.hypot(c[0] - size / 2, c[1] - size / 2)
            if dist > r:
                pixels += b"\0\0\0\0"
            elif key_mark(c[0], c[1], size / 2, size / 2, size * 0.36):
                pixels += struct.pack("BBBB", TEAL[2], TEAL[1], TEAL[0], 255)
            else:
                pixels += struct.pack("BBBB", NAVY[2], NAVY[1], NAVY[0], 255)
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return info + pixels + mask


def icon():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


if __name__ == "__main__":
    with open("logo.bmp", "wb") as f:
        f.write(logo())
    with open("orvane.ico", "wb") as f:
        f.write(icon())
