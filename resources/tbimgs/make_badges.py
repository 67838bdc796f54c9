#!/usr/bin/env python3
"""Draws the top-tier credit badge (a gold crown, 16 x 16) as jhuang.png and jhuang.gif."""
import struct
import zlib

CROWN = [
    "................",
    "................",
    ".#.....#.....#..",
    ".##...###...##..",
    ".###.#####.###..",
    ".#############..",
    ".#############..",
    ".##o###o###o##..",
    ".#############..",
    ".#############..",
    "..###########...",
    "..###########...",
    "..===========...",
    "................",
    "................",
    "................",
]
# index 0 transparent, 1 gold, 2 dark gold band, 3 red jewel
PALETTE = [(255, 255, 255), (255, 196, 0), (204, 128, 0), (223, 37, 37)]
INDEX = {".": 0, "#": 1, "=": 2, "o": 3}
PIXELS = [[INDEX[c] for c in row] for row in CROWN]
SIZE = 16


def png():
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(row) for row in PIXELS)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", bytes(v for rgb in PALETTE for v in rgb)) + chunk(b"tRNS", b"\x00")
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def gif():
    # 2-bit colour table; LZW with a clear code before every pixel keeps the codes at 3 bits.
    clear, end = 4, 5
    codes = []
    for row in PIXELS:
        for p in row:
            codes += [clear, p]
    codes.append(end)
    bits = 0
    nbits = 0
    out = bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += 3
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    blocks = b"".join(bytes([len(out[i:i + 255])]) + out[i:i + 255] for i in range(0, len(out), 255)) + b"\x00"
    header = b"GIF89a" + struct.pack("<HHBBB", SIZE, SIZE, 0x81, 0, 0) + bytes(v for rgb in PALETTE for v in rgb)
    control = b"\x21\xf9\x04\x01\x00\x00\x00\x00"  # colour 0 transparent
    image = b"\x2c" + struct.pack("<HHHHB", 0, 0, SIZE, SIZE, 0) + b"\x02" + blocks
    return header + control + image + b"\x3b"


with open("jhuang.png", "wb") as f:
    f.write(png())
with open("jhuang.gif", "wb") as f:
    f.write(gif())
