#!/usr/bin/env python3
"""Draws the loader's application icon: a 16x16 16-colour and a 32x32 256-colour image.

A parcel (the carried installer) with a downward arrow (extraction), on a transparent ground.
Run once to regenerate loader/resources/loader.ico; the result is committed.
"""
import struct
import sys

BROWN, DARK, TAPE, ARROW, WHITE = 1, 2, 3, 4, 5
PALETTE = [(0, 0, 0), (196, 140, 72), (120, 78, 30), (236, 210, 150), (30, 110, 200), (255, 255, 255)]


def draw(size):
    px = [[0] * size for _ in range(size)]
    s = size / 16.0
    # parcel body
    for y in range(int(7 * s), int(15 * s)):
        for x in range(int(2 * s), int(14 * s)):
            edge = y in (int(7 * s), int(15 * s) - 1) or x in (int(2 * s), int(14 * s) - 1)
            px[y][x] = DARK if edge else BROWN
    # tape across the lid
    for y in range(int(7 * s), int(15 * s)):
        for x in range(int(7 * s), int(9 * s)):
            px[y][x] = TAPE
    # arrow pointing into the parcel
    for y in range(0, int(6 * s)):
        for x in range(int(7 * s), int(9 * s)):
            px[y][x] = ARROW
    tip = int(6 * s)
    for i in range(int(3 * s)):
        for x in range(int(5 * s) + i, int(11 * s) - i):
            if tip - int(2 * s) + i < size:
                px[tip - int(2 * s) + i][x] = ARROW
    return px


def image(size, bpp):
    colors = 1 << bpp
    px = draw(size)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in
                       (PALETTE + [(0, 0, 0)] * colors)[:colors])
    row_bytes = ((size * bpp + 31) // 32) * 4
    xor = b""
    for y in reversed(range(size)):
        if bpp == 8:
            row = bytes(px[y])
        else:
            row = bytes((px[y][x] << 4) | px[y][x + 1] for x in range(0, size, 2))
        xor += row + b"\0" * (row_bytes - len(row))
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for y in reversed(range(size)):
        bits = 0
        row = bytearray(mask_row)
        for x in range(size):
            if px[y][x] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + palette + xor + mask


def main(out):
    images = [(16, 4), (32, 8)]
    blobs = [image(s, b) for s, b in images]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), blob in zip(images, blobs):
        data += struct.pack("<BBBBHHII", size, size, 16 if bpp == 4 else 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    open(out, "wb").write(data + b"".join(blobs))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "loader.ico")
