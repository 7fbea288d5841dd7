#!/usr/bin/env python3
"""Writes the busy strip's picture, app/busy_strip.gif.

The main window stretches the picture over a strip two pixels high across its
top while a read is under way. It is a GIF89a of one 600 x 1 row: a light band
with a long fading tail runs along a blue strip, one eleventh of the width per
frame, 60 ms per frame, wrapping round so that the loop shows no seam. Each
frame covers the whole screen (disposal 0, no transparency); the loop block
asks for 1000 runs (the window's animator loops for as long as it runs) and a
comment after the last frame says what the picture is.

Usage: python3 app/make_busy_strip.py [output file]
"""

import math
import struct
import sys
from pathlib import Path

WIDTH = 600
FRAMES = 11
DELAY = 6  # hundredths of a second
LOOP_COUNT = 1000
COLOURS = 256
BASE = (0x20, 0x50, 0xA0)  # the strip's blue
LIGHT = (0xE8, 0xF4, 0xFF)  # the band's head
HEAD = 24  # pixels over which the band's head rises ahead of its peak
TAIL = 170  # pixels over which its tail fades behind the peak
COMMENT = b"Zintareko busy strip: a light band running along a blue strip"


def palette():
    """256 colours from the strip's blue (0) to the band's light (255)."""
    table = bytearray()
    for index in range(COLOURS):
        share = index / (COLOURS - 1)
        table += bytes(round(b + (l - b) * share) for b, l in zip(BASE, LIGHT))
    return bytes(table)


def brightness(distance):
    """0..1 at a distance from the peak (positive: ahead of it)."""
    span = HEAD if distance >= 0 else TAIL
    if abs(distance) >= span:
        return 0.0
    return math.cos(math.pi / 2 * abs(distance) / span) ** 2


def frame_pixels(frame):
    """Colour indices of one frame's row: the band's peak at frame / FRAMES of the width."""
    peak = frame * WIDTH / FRAMES
    row = bytearray()
    for x in range(WIDTH):
        # The distance on a ring of the strip's width, so the band wraps round.
        distance = (x - peak + WIDTH / 2) % WIDTH - WIDTH / 2
        row.append(round(brightness(distance) * (COLOURS - 1)))
    return bytes(row)


def lzw_encode(pixels, code_size):
    """The GIF LZW code stream of pixels as data sub-blocks with their terminator."""
    clear = 1 << code_size
    end = clear + 1
    codes = []  # (code, width in bits)

    def reset():
        return {bytes([i]): i for i in range(clear)}, end + 1, code_size + 1

    table, next_code, width = reset()
    codes.append((clear, width))
    current = b""
    for pixel in pixels:
        extended = current + bytes([pixel])
        if extended in table:
            current = extended
            continue
        codes.append((table[current], width))
        if next_code < 4096:
            table[extended] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            codes.append((clear, width))
            table, next_code, width = reset()
        current = bytes([pixel])
    codes.append((table[current], width))
    # The decoder adds its last entry on reading that code and may widen for the end code.
    if next_code >= (1 << width) and width < 12:
        width += 1
    codes.append((end, width))

    data = bytearray()
    accumulator = 0
    bits = 0
    for code, size in codes:
        accumulator |= code << bits
        bits += size
        while bits >= 8:
            data.append(accumulator & 0xFF)
            accumulator >>= 8
            bits -= 8
    if bits:
        data.append(accumulator)
    return bytes([code_size]) + sub_blocks(bytes(data))


def sub_blocks(data):
    """Data as sub-blocks of up to 255 bytes and a zero terminator."""
    out = bytearray()
    for start in range(0, len(data), 255):
        chunk = data[start : start + 255]
        out += bytes([len(chunk)]) + chunk
    return bytes(out + b"\0")


def busy_strip():
    gif = bytearray(b"GIF89a")
    # Logical screen: a global table of 256 colours (8 bits, resolution 8).
    gif += struct.pack("<HHBBB", WIDTH, 1, 0xF7, 0, 0)
    gif += palette()
    gif += b"\x21\xff\x0bNETSCAPE2.0" + struct.pack("<BBHB", 3, 1, LOOP_COUNT, 0)
    for frame in range(FRAMES):
        # Graphic control: disposal 0, no transparency, the frame's delay.
        gif += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0, DELAY, 0, 0)
        gif += struct.pack("<BHHHHB", 0x2C, 0, 0, WIDTH, 1, 0)
        gif += lzw_encode(frame_pixels(frame), 8)
    gif += b"\x21\xfe" + sub_blocks(COMMENT)
    gif += b";"
    return bytes(gif)


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("busy_strip.gif")
    target.write_bytes(busy_strip())


if __name__ == "__main__":
    main()
