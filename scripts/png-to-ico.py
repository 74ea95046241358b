#!/usr/bin/env python3
"""Makes the Windows icon (.ico) from the program's PNGs, one image per PNG,
with the standard library only. Pictures below 256 pixels go in as 32-bit
bitmaps with alpha, which every Windows from XP on shows; the 256-pixel one
goes in as the PNG itself, as Windows Vista and later read it (a bitmap of
that size would be 256 KiB).

    png-to-ico.py quillmarsh.ico quillmarsh-16.png quillmarsh-32.png ...
"""
import struct
import sys
import zlib


def read_png(path):
    """Width, height and rows of (r, g, b, a) tuples of an 8-bit RGB(A) PNG."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        sys.exit(f"{path}: only 8-bit RGB or RGBA PNGs without interlacing are handled")
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upleft = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upleft
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upleft)
                predictor = left if pa <= pb and pa <= pc else up if pb <= pc else upleft
                line[i] = (line[i] + predictor) & 0xFF
        previous = line
        pixels = [tuple(line[x * channels:(x + 1) * channels]) for x in range(width)]
        rows.append([p if channels == 4 else p + (255,) for p in pixels])
    return width, height, rows


def bitmap(rows):
    """An icon image: BITMAPINFOHEADER, BGRA pixels bottom up, AND mask."""
    height, width = len(rows), len(rows[0])
    mask_stride = ((width + 31) // 32) * 4
    pixels, mask = b"", b""
    for row in reversed(rows):
        pixels += b"".join(bytes((b, g, r, a)) for r, g, b, a in row)
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main():
    target, sources = sys.argv[1], sys.argv[2:]
    entries = []
    for source in sources:
        width, height, rows = read_png(source)
        if width != height or width > 256:
            sys.exit(f"{source}: an icon picture is square and at most 256 pixels wide")
        blob = open(source, "rb").read() if width == 256 else bitmap(rows)
        entries.append((width, blob))
    entries.sort(key=lambda entry: entry[0])
    offset = 6 + 16 * len(entries)
    out = struct.pack("<HHH", 0, 1, len(entries))
    for size, blob in entries:
        # A width or height of 256 is written 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    open(target, "wb").write(out + b"".join(blob for _, blob in entries))


if __name__ == "__main__":
    main()
