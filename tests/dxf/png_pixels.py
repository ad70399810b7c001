"""Colours of a PNG screenshot, read with the standard library alone, for
the test that checks what headless Chromium drew of a session's page. A
browser's screenshot is thousands of rows tall: rows are undone a whole row
at a time where the filter allows, and colours counted in one pass.

    python3 png_pixels.py colours PICTURE.png RRGGBB...
prints, as JSON, how many pixels have each colour."""
import collections
import json
import struct
import sys
import zlib


def png_rows(path):
    """The rows of an 8-bit RGB or RGBA PNG, as Chromium writes them:
    (width, bytes per pixel, rows)."""
    with open(path, "rb") as f:
        data = f.read()
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    if depth != 8 or colour not in (2, 6):
        sys.exit("not an 8-bit RGB or RGBA PNG")
    size = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * size
    previous = bytearray(stride)
    rows = []
    for row in range(height):
        start = row * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 2:
            line = bytearray((x + y) & 255 for x, y in zip(line, previous))
        elif kind != 0:
            for i in range(stride):
                a = line[i - size] if i >= size else 0
                b = previous[i]
                c = previous[i - size] if i >= size else 0
                if kind == 1:
                    line[i] = (line[i] + a) & 255
                elif kind == 3:
                    line[i] = (line[i] + (a + b) // 2) & 255
                elif kind == 4:
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                    line[i] = (line[i] + pred) & 255
        rows.append(line)
        previous = line
    return width, size, rows


def colours(path, wanted):
    """Prints, as JSON, how many pixels have each colour of WANTED (hex
    RRGGBB), give or take a little for smoothing."""
    width, size, rows = png_rows(path)
    seen = collections.Counter()
    for line in rows:
        seen.update(zip(line[0::size], line[1::size], line[2::size]))
    counts = {}
    for name in wanted:
        target = bytes.fromhex(name)
        counts[name] = sum(n for pixel, n in seen.items()
                           if all(abs(p - t) <= 6 for p, t in zip(pixel, target)))
    print(json.dumps(counts))


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] != "colours":
        sys.exit(__doc__)
    colours(sys.argv[2], sys.argv[3:])
