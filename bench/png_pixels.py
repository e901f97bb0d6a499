#!/usr/bin/env python3
"""Exits 0 when two PNG files hold the same pixels (as 8-bit RGBA), whatever
their colour type, bit depth, filters or compression; 1 otherwise."""
import struct
import sys
import zlib


def pixels(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, palette, trns = 8, b"", None, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if zlib.crc32(kind + body) != struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]:
            sys.exit(f"{path}: bad CRC in {kind}")
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert interlace == 0 and depth <= 8, path
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ctype]
    bpp = max(1, channels * depth // 8)
    stride = (w * channels * depth + 7) // 8
    raw = zlib.decompress(idat)
    rows, prev = [], bytearray(stride)
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], (prev[i - bpp] if i >= bpp else 0)
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    out = []
    for line in rows:
        values = []
        for x in range(w * channels):
            bit = x * depth
            values.append((line[bit // 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1))
        for x in range(w):
            v = values[x * channels:(x + 1) * channels]
            if ctype == 3:
                out.append(palette[v[0]] + ((trns[v[0]] if v[0] < len(trns) else 255),))
            elif ctype == 2:
                out.append(tuple(v) + (255,))
            elif ctype == 6:
                out.append(tuple(v))
            else:
                g = v[0] * 255 // ((1 << depth) - 1)
                out.append((g, g, g, v[1] if ctype == 4 else 255))
    return w, h, out


a, b = pixels(sys.argv[1]), pixels(sys.argv[2])
sys.exit(0 if a == b else 1)
