#!/usr/bin/env python3
"""Writes a small grey JPEG whose header holds a given number of tiny APP2 markers (pieces of an ICC
profile of no content), before its frame header, as a file crafted to make a reader walk a long list.

    mkjpegmarkers.py 200000 jpeg-200000-app2-markers.jpg  # 3.6 MB: minutes in Qt's reader
    mkjpegmarkers.py 20000 jpeg-20000-app2-markers.jpg    # 360 KB: the one kept, under a second there

Qt's reader keeps the segments in a list it walks to its end for every one it adds: the time grows with
the square of the count, so the smaller file shows the same fault at a tenth of the size.

The picture is 16 x 16 pixels of mid grey: every block codes a DC difference of 0 and ends at once."""
import struct
import sys


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def picture():
    quant = segment(0xDB, b"\x00" + b"\x01" * 64)
    frame = segment(0xC0, b"\x08" + struct.pack(">HH", 16, 16) + b"\x01" + b"\x01\x11\x00")
    # One code of one bit in each table: DC category 0, AC end of block.
    dc = segment(0xC4, b"\x00" + b"\x01" + b"\x00" * 15 + b"\x00")
    ac = segment(0xC4, b"\x10" + b"\x01" + b"\x00" * 15 + b"\x00")
    scan = segment(0xDA, b"\x01" + b"\x01\x00" + b"\x00\x3f\x00")
    # Four blocks of two bits each ("0" then "0"): one byte of zeros.
    return quant + frame + dc + ac + scan + b"\x00" + b"\xFF\xD9"


def main(args):
    count, path = int(args[0]), args[1]
    with open(path, "wb") as out:
        out.write(b"\xFF\xD8")
        for i in range(count):
            out.write(segment(0xE2, b"ICC_PROFILE\x00" + bytes([i % 255 + 1, 255])))
        out.write(picture())


if __name__ == "__main__":
    main(sys.argv[1:])
