#!/usr/bin/env python3
"""Writes res/quorvel.ico: the program's robot face (as the Linux window
draws it) at 16, 32 and 48 pixels, 32-bit with alpha, for the Windows build."""
import struct
import sys


def face(size):
    """RGBA rows, top first: a blue rounded head, white eyes and mouth, an orange lamp."""
    s = size / 32.0
    blue, white, orange = (0x3A, 0x7B, 0xD5, 255), (255, 255, 255, 255), (0xF5, 0xA6, 0x23, 255)
    def inside_rounded(x, y, x0, y0, w, h, r):
        if not (x0 <= x < x0 + w and y0 <= y < y0 + h):
            return False
        cx = min(max(x, x0 + r), x0 + w - r)
        cy = min(max(y, y0 + r), y0 + h - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    def inside_circle(x, y, x0, y0, d):
        return (x - (x0 + d / 2)) ** 2 + (y - (y0 + d / 2)) ** 2 <= (d / 2) ** 2
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = (px + 0.5) / s, (py + 0.5) / s
            c = (0, 0, 0, 0)
            if inside_rounded(x, y, 4, 6, 24, 22, 5):
                c = blue
                if inside_circle(x, y, 9, 12, 5) or inside_circle(x, y, 18, 12, 5) or (11 <= x < 21 and 21 <= y < 23):
                    c = white
            if inside_circle(x, y, 14, 1, 4):
                c = orange
            row.append(c)
        rows.append(row)
    return rows


def bitmap(size):
    rows = face(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # the alpha channel decides; the AND mask is clear
    return header + pixels + mask


def main(path):
    sizes = (16, 32, 48)
    images = [bitmap(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "res/quorvel.ico")
