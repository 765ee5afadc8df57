#!/usr/bin/env python3
"""Writes a pcap of hand-made frames of EtherType 0x6262 that break the link's
own rules, for the dissector test: a data frame with sequence 0, one whose data
length is over 1024, and a discovery reply whose 2.4 GHz SSID has no terminator.
Usage: handmade_frames.py OUT.pcap"""
import struct
import sys

TOOL = bytes.fromhex("020000000a01")
DEVICE = bytes.fromhex("020000000001")


def frame(dst, src, category, sequence, opcode, file_count=0, info=b"", position=0,
          data=b"", data_length=0):
    body = struct.pack(">HHHH", category, sequence, opcode, file_count)
    body += info.ljust(200, b"\0")[:200]
    body += struct.pack(">H", position) + bytes(36)
    body += data.ljust(1024, b"\0")[:1024]
    body += struct.pack(">H", data_length)
    out = dst + src + b"\x62\x62" + body
    assert len(out) == 1286
    return out


def main():
    frames = [
        frame(DEVICE, TOOL, 1, 0, 2, file_count=1, position=1, data=b"abc", data_length=3),
        frame(DEVICE, TOOL, 2, 7, 3, file_count=1, position=0, data=b"x" * 1024,
              data_length=2000),
        frame(TOOL, DEVICE, 0, 0, 4, info=b"S" * 34 + b"five\0" + bytes(29) + b"k2\0"),
    ]
    with open(sys.argv[1], "wb") as out:
        out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for n, f in enumerate(frames):
            out.write(struct.pack("<IIII", 1000 + n, 0, len(f), len(f)))
            out.write(f)


if __name__ == "__main__":
    main()
