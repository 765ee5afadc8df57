#!/usr/bin/env python3
"""Writes the smallest baseline JPEG there is: one 8x8 grey block (a logo
within any device's limits). Usage: tiny_jpeg.py OUT.jpg"""
import struct
import sys


def segment(marker, body):
    return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body


def main():
    quant = segment(0xDB, bytes([0]) + bytes([1] * 64))
    frame = segment(0xC0, struct.pack(">BHHB", 8, 8, 8, 1) + bytes([1, 0x11, 0]))
    # One code of one bit in each table: DC category 0, AC end of block.
    one_code = bytes([1] + [0] * 15) + bytes([0])
    dc = segment(0xC4, bytes([0x00]) + one_code)
    ac = segment(0xC4, bytes([0x10]) + one_code)
    scan = segment(0xDA, bytes([1, 1, 0x00, 0, 63, 0]))
    data = bytes([0x3F])  # "0" (DC 0), "0" (end of block), padded with ones
    with open(sys.argv[1], "wb") as out:
        out.write(b"\xFF\xD8" + quant + frame + dc + ac + scan + data + b"\xFF\xD9")


if __name__ == "__main__":
    main()
