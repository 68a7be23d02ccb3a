#!/usr/bin/env python3
"""Draws pontevia.ico: a bridge over water on a blue tile, with two arrows
for the two directions. Run it again only to change the picture; the icon it
writes is committed beside it. Standard library only."""
import struct
import sys

SS = 4  # supersampling per axis


def inside_rounded(x, y, r):
    # the tile: a square from 0.5 to 15.5 (in 16ths) with rounded corners
    lo, hi = 0.5, 15.5
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and lo <= x <= hi and lo <= y <= hi


def colour_at(x, y):
    """Colour (r, g, b, a) at a point of the 16-unit design grid."""
    if not inside_rounded(x, y, 3.0):
        return None
    # water below the deck
    if y > 11.0:
        base = (30, 110, 200)
    else:
        t = y / 16.0
        base = (int(40 + 60 * t), int(90 + 60 * t), int(190 + 40 * t))
    # bridge deck
    if 8.0 <= y <= 9.0 and 1.5 <= x <= 14.5:
        return (255, 255, 255, 255)
    # arch: a ring under the deck
    d = ((x - 8.0) ** 2 / 36.0 + (y - 13.0) ** 2 / 16.0)
    if 0.75 <= d <= 1.0 and y <= 13.0:
        return (255, 255, 255, 255)
    # arrow to the right, above the deck
    if 4.0 <= y <= 5.0 and 3.0 <= x <= 11.0:
        return (255, 210, 60, 255)
    if 11.0 <= x <= 13.5 and abs(y - 4.5) <= (13.5 - x) * 0.9:
        return (255, 210, 60, 255)
    # arrow to the left, in the water
    if 13.0 <= y <= 14.0 and 5.0 <= x <= 13.0:
        return (255, 210, 60, 255)
    if 2.5 <= x <= 5.0 and abs(y - 13.5) <= (x - 2.5) * 0.9:
        return (255, 210, 60, 255)
    return base + (255,)


def render(size):
    px = []
    for row in range(size):
        line = []
        for col in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (col + (sx + 0.5) / SS) * 16.0 / size
                    y = (row + (sy + 0.5) / SS) * 16.0 / size
                    c = colour_at(x, y)
                    if c:
                        for i in range(3):
                            acc[i] += c[i] * c[3]
                        acc[3] += c[3]
            n = SS * SS
            a = acc[3] / n
            if acc[3]:
                rgb = [int(acc[i] / acc[3]) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            line.append((rgb[0], rgb[1], rgb[2], int(a)))
        px.append(line)
    return px


def bmp_entry(size):
    px = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for row in reversed(px):  # bottom-up
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    data += bytes(mask_row * size)  # AND mask: all opaque, alpha decides
    return header + bytes(data)


def main(path):
    sizes = [16, 24, 32, 48]
    images = [bmp_entry(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(sizes)))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "pontevia.ico")
