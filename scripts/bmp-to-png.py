#!/usr/bin/env python3
"""Turns the 24-bit BMP that `quillmarsh.exe --screenshot` writes into a PNG,
with the standard library only.

    bmp-to-png.py window.bmp window.png
"""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{source}: not a BMP")
    offset = struct.unpack("<I", data[10:14])[0]
    width, height, _, bits, compression = struct.unpack("<iiHHI", data[18:34])
    if bits != 24 or compression != 0:
        sys.exit(f"{source}: only uncompressed 24-bit BMPs are handled")
    stride = (width * 3 + 3) & ~3
    bottom_up = height > 0
    height = abs(height)
    raw = bytearray()
    for y in range(height):
        row = (height - 1 - y) if bottom_up else y
        start = offset + row * stride
        pixels = data[start:start + width * 3]
        raw.append(0)  # no filter
        for x in range(0, width * 3, 3):
            b, g, r = pixels[x:x + 3]
            raw += bytes((r, g, b))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    open(target, "wb").write(png)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: bmp-to-png.py WINDOW.bmp WINDOW.png")
    main(sys.argv[1], sys.argv[2])
