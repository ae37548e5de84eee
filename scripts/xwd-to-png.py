#!/usr/bin/env python3
"""Converts an X window dump (what `Xvfb -fbdir` keeps its screen in) with
24- or 32-bit pixels into a PNG, with nothing but the standard library.

Usage: xwd-to-png.py SCREEN.xwd OUT.png
"""
import struct
import sys
import zlib


def read_xwd(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    if version != 7:
        sys.exit(f"xwd-to-png: {path} is not an X window dump (version {version})")
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        sys.exit(f"xwd-to-png: {bits_per_pixel}-bit pixels are not handled")
    offset = header_size + 12 * ncolors
    step = bits_per_pixel // 8
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    order = "<" if byte_order == 0 else ">"
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        if step == 4:
            pixels = struct.unpack(f"{order}{width}I", line)
        else:
            pixels = [int.from_bytes(line[i:i + 3], "little" if order == "<" else "big")
                      for i in range(0, len(line), 3)]
        row = bytearray(b"\0")  # filter: none
        for p in pixels:
            row += bytes(((p & m) >> s) & 0xFF for m, s in zip(masks, shifts))
        rows.append(bytes(row))
    return width, height, b"".join(rows)


def write_png(path, width, height, raw):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    write_png(sys.argv[2], *read_xwd(sys.argv[1]))
