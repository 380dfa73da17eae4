#!/usr/bin/env python3
"""Writes tandrel_pro.ico: one 32x32, 16-colour image with a transparency mask showing two black
chip packages with grey pins, one above and to the left of the other.

Run it from anywhere: python3 frontend/icon/make_icon.py [output.ico]
The output is byte-for-byte the same on every run, so the committed file can be checked with it.
"""
import os
import struct
import sys

SIZE = 32
TRANSPARENT = None

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK = 0
SILVER = 7
GREY = 8

CHIP_SIZE = 17  # pins included
PIN_LENGTH = 2


def draw_chip(pixels, left, top):
    """A square package: a black body with pins on all four sides and a pin-1 mark."""
    body_first = PIN_LENGTH
    body_last = CHIP_SIZE - 1 - PIN_LENGTH
    for y in range(body_first, body_last + 1):
        for x in range(body_first, body_last + 1):
            pixels[top + y][left + x] = BLACK
    # Pins on every second position along each side, clear of the body's corners.
    for along in range(body_first + 1, body_last, 2):
        for depth in range(PIN_LENGTH):
            pixels[top + depth][left + along] = SILVER
            pixels[top + CHIP_SIZE - 1 - depth][left + along] = SILVER
            pixels[top + along][left + depth] = SILVER
            pixels[top + along][left + CHIP_SIZE - 1 - depth] = SILVER
    mark = body_first + 2
    pixels[top + mark][left + mark] = GREY


def make_pixels():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    draw_chip(pixels, 0, 0)
    # The lower chip is drawn last, so it lies on top where the two meet.
    draw_chip(pixels, SIZE - CHIP_SIZE, SIZE - CHIP_SIZE)
    return pixels


def icon_bytes(pixels):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    colour_rows = []
    mask_rows = []
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        colour = bytearray()
        for x in range(0, SIZE, 2):
            high = row[x] if row[x] is not None else BLACK
            low = row[x + 1] if row[x + 1] is not None else BLACK
            colour.append(high << 4 | low)
        colour_rows.append(bytes(colour))
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (1 if row[x] is None else 0)
        mask_rows.append(struct.pack(">I", bits))  # 32 pixels: exactly one DWORD per row
    image = header + palette + b"".join(colour_rows) + b"".join(mask_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "tandrel_pro.ico")
    with open(output, "wb") as file:
        file.write(icon_bytes(make_pixels()))


if __name__ == "__main__":
    main()
