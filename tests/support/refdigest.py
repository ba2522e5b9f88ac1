#!/usr/bin/env python3
"""Pixel digest of a reference decode, the same as PixelDigestFromRgba in ImageCheck.cpp.

Usage: convert FILE -depth 8 rgba:- | refdigest.py WIDTH HEIGHT
       refdigest.py WIDTH HEIGHT FILE.rgba
Prints the 16-hex-digit digest of the premultiplied pixels.
"""
import sys


def main():
    w, h = int(sys.argv[1]), int(sys.argv[2])
    data = open(sys.argv[3], 'rb').read() if len(sys.argv) > 3 else sys.stdin.buffer.read()
    if len(data) < w * h * 4:
        sys.exit(f"refdigest: {len(data)} bytes, expected {w * h * 4}")
    hsh = 0xcbf29ce484222325
    mask = (1 << 64) - 1

    def mul(c, a):
        t = c * a + 128
        return (t + (t >> 8)) >> 8

    for i in range(w * h):
        r, g, b, a = data[4 * i:4 * i + 4]
        if a != 255:
            r, g, b = mul(r, a), mul(g, a), mul(b, a)
        for byte in (b, g, r, a):  # the word 0xAARRGGBB, lowest byte first
            hsh ^= byte
            hsh = (hsh * 0x100000001b3) & mask
    print(f"{hsh:016x}")


main()
