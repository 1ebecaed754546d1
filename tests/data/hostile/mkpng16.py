#!/usr/bin/env python3
"""Writes a PNG of 16 bits a channel with alpha, every pixel the same grey, as a scanner or a raw
converter at 16 bits writes one.

    mkpng16.py 10000 10000 out.png                # 1.2 MB; 800 MB once decoded
    mkpng16.py --header-only 10000 10000 out.png  # the header and a first piece of the data

A file cut after the header is enough for a reader to tell the picture's size and depth."""
import struct
import sys
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def main(args):
    header_only = args[:1] == ["--header-only"]
    if header_only:
        args = args[1:]
    width, height, path = int(args[0]), int(args[1]), args[2]
    row = b"\0" + b"\x80\x00\x80\x00\x80\x00\xff\xff" * width
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 16, 6, 0, 0, 0)))
        packer = zlib.compressobj(9)
        for _ in range(1 if header_only else height):
            data = packer.compress(row)
            if data:
                out.write(chunk(b"IDAT", data))
        if header_only:
            out.write(chunk(b"IDAT", packer.flush(zlib.Z_SYNC_FLUSH)))
            return
        out.write(chunk(b"IDAT", packer.flush()))
        out.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    main(sys.argv[1:])
