#!/usr/bin/env python3
"""Makes the Windows icon (.ico) from the program's PNG, with the standard
library only: the 32 x 32 picture as it is, and a 16 x 16 one averaged from it,
both as 32-bit bitmaps with alpha, which every Windows from XP on shows.

    png-to-ico.py quillmarsh.png quillmarsh.ico
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


def halved(rows):
    """Each 2 x 2 block averaged, colours weighted by their alpha."""
    out = []
    for y in range(0, len(rows), 2):
        line = []
        for x in range(0, len(rows[0]), 2):
            block = [rows[y + dy][x + dx] for dy in (0, 1) for dx in (0, 1)]
            alpha = sum(p[3] for p in block)
            colour = tuple((sum(p[c] * p[3] for p in block) // alpha) if alpha else 0 for c in range(3))
            line.append(colour + (alpha // 4,))
        out.append(line)
    return out


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
    source, target = sys.argv[1:3]
    width, height, rows = read_png(source)
    images = [rows]
    while len(images[-1]) > 16 and len(images[-1]) % 2 == 0:
        images.append(halved(images[-1]))
    blobs = [bitmap(image) for image in images]
    offset = 6 + 16 * len(blobs)
    out = struct.pack("<HHH", 0, 1, len(blobs))
    for image, blob in zip(images, blobs):
        size = len(image)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    open(target, "wb").write(out + b"".join(blobs))


if __name__ == "__main__":
    main()
