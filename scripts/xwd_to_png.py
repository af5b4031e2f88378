#!/usr/bin/env python3
"""Puts X window dumps (xwd -id, 24 or 32 bits a pixel, ZPixmap) together into one PNG, each at its
place on the screen, on a light grey ground: xwd_to_png.py OUT.png DUMP.xwd X Y [DUMP.xwd X Y ...].
Later dumps lie over earlier ones. Needs nothing but Python. (Under Xvfb a dump of the root window
misses what wine draws in its message boxes, so every window is dumped by itself.)"""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, pixmap_format, width, height = header[0], header[2], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    masks = header[14:17]
    colors = header[19]
    if pixmap_format != 2 or bits_per_pixel not in (24, 32):
        sys.exit(f"unsupported dump: format {pixmap_format}, {bits_per_pixel} bits a pixel")
    start = header_size + colors * 12
    step = bits_per_pixel // 8
    shifts = [(mask, (mask & -mask).bit_length() - 1) for mask in masks]
    order = "little" if byte_order == 0 else "big"
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line: start + y * bytes_per_line + width * step]
        row = bytearray()
        for x in range(width):
            value = int.from_bytes(line[x * step:(x + 1) * step], order)
            row += bytes((value & mask) >> shift for mask, shift in shifts)
        rows.append(row)
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(row) for row in rows)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


def main():
    out, rest = sys.argv[1], sys.argv[2:]
    if not rest or len(rest) % 3:
        sys.exit(__doc__)
    layers = [(read_xwd(rest[i]), int(rest[i + 1]), int(rest[i + 2])) for i in range(0, len(rest), 3)]
    margin = 8
    left = min(x for _, x, _ in layers) - margin
    top = min(y for _, _, y in layers) - margin
    right = max(x + w for (w, _, _), x, _ in layers) + margin
    bottom = max(y + h for (_, h, _), _, y in layers) + margin
    canvas = [bytearray(b"\xe0" * ((right - left) * 3)) for _ in range(bottom - top)]
    for (width, height, rows), x, y in layers:
        for dy in range(height):
            at = (x - left) * 3
            canvas[y - top + dy][at:at + width * 3] = rows[dy]
    write_png(out, right - left, bottom - top, canvas)


main()
