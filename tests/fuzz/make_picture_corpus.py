#!/usr/bin/env python3
"""Writes the small seed files of the picture fuzz targets (run from the repository root).

corpus/bmp: hand-made BMP files covering every run-length code (runs, absolute runs with
padding, end of line, delta, end of bitmap) at 4 and 8 bits, plain 1- and 24-bit files and a 32-bit file with colour masks.
corpus/jpeg: tiny baseline, gray and progressive JPEG files made with ImageMagick's convert.
"""
import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp(width, height, bits, compression, body, palette=None, masks=b""):
    entries = (1 << bits) if bits <= 8 else 0
    if palette is None:
        palette = [(i * 17 % 256, i * 5 % 256, 255 - i % 256) for i in range(entries)]
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in palette)
    off = 14 + 40 + len(masks) + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(body), 0, 0,
                       len(palette) if bits <= 8 else 0, 0)
    head = struct.pack("<2sIHHI", b"BM", off + len(body), 0, 0, off)
    return head + info + masks + pal + body


def main():
    out = os.path.join(HERE, "corpus", "bmp")
    os.makedirs(out, exist_ok=True)
    # RLE8, 6 x 4: run, absolute run with pad, delta, early end of line, end of bitmap.
    rle8 = bytes([3, 9, 0, 0, 0, 3, 1, 2, 3, 0, 2, 4, 0, 2, 0, 1, 1, 8, 0, 0, 0, 2, 1, 0, 2, 6, 0, 1])
    files = {
        "rle8.bmp": bmp(6, 4, 8, 1, rle8, [(i, i, i) for i in range(16)]),
        # RLE4, 6 x 2: alternating run, absolute run with pad, run of one.
        "rle4.bmp": bmp(6, 2, 4, 2, bytes([5, 0xAB, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 1, 0xE0, 0, 1])),
        "plain1.bmp": bmp(9, -3, 1, 0, bytes([0xAA, 0x80, 0, 0, 0x55, 0, 0, 0, 0xFF, 0x80, 0, 0])),
        "masks32.bmp": bmp(2, 2, 32, 3, bytes(range(16)), masks=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)),
        "plain24.bmp": bmp(2, 2, 24, 0, bytes([0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0])),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    out = os.path.join(HERE, "corpus", "jpeg")
    os.makedirs(out, exist_ok=True)
    makers = {
        "colour.jpg": ["-size", "16x8", "gradient:red-blue", "-quality", "50"],
        "gray.jpg": ["-size", "8x8", "gradient:", "-colorspace", "Gray", "-quality", "50"],
        "progressive.jpg": ["-size", "16x16", "gradient:yellow-navy", "-interlace", "JPEG",
                            "-quality", "40"],
    }
    for name, args in makers.items():
        subprocess.run(["convert"] + args + ["-strip", os.path.join(out, name)], check=True)


if __name__ == "__main__":
    main()
