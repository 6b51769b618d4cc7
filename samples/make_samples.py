#!/usr/bin/env python3
"""Writes the sample pictures of samples/ (see samples/README.md).

Every picture is computed here from a few shapes, so the BMP files in the
repository can always be rebuilt byte for byte:

    python3 samples/make_samples.py [OUTPUT_DIR]      # default: samples/

Only +, -, *, / and sqrt are used on floats: those are exactly rounded on
every platform, so the bytes do not depend on the machine's maths library.
"""

import math
import os
import struct
import sys

WIDTH = 128
HEIGHT = 96

# The colours are named so the guide can quote them.
SKY_BLUE = (120, 190, 235)
KEY_MAGENTA = (255, 0, 255)


def bmp_bytes(width, height, pixel):
    """A 24-bit uncompressed BMP: 14-byte file header, 40-byte info header,
    rows bottom-up, each padded to a multiple of 4 bytes, pixels B, G, R."""
    stride = (width * 3 + 3) // 4 * 4
    image_size = stride * height
    header = struct.pack("<2sIHHI", b"BM", 54 + image_size, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += bytes(stride - width * 3)
        rows.append(bytes(row))
    return header + info + b"".join(rows)


def clamp_byte(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    """Colour A moved the fraction T towards colour B."""
    return tuple(clamp_byte(ca + (cb - ca) * t) for ca, cb in zip(a, b))


def inside_circle(x, y, cx, cy, r):
    # r * r + r instead of r * r: no lone pixel sticks out at the four ends
    # of the axes.
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r + r


# --- sprite.bmp: a character on a flat background with a soft shadow ---

def sprite(x, y):
    body = (60, 44)
    if inside_circle(x, y, *body, 24):
        if not inside_circle(x, y, *body, 21):
            return (40, 30, 40)  # outline
        for ex in (51, 69):
            if inside_circle(x, y, ex, 38, 2):
                return (20, 20, 20)  # pupil
            if inside_circle(x, y, ex, 38, 5):
                return (255, 255, 255)
        if 50 <= x <= 70 and 52 <= y <= 54:
            return (40, 30, 40)  # mouth
        return (220, 60, 50)
    # The shadow darkens the background by up to 40 %: fully inside half of
    # the ellipse, fading to nothing at one and a half times its size, so
    # neighbouring shadow pixels differ by only a few levels.
    e = math.sqrt(((x - 66) / 32.0) ** 2 + ((y - 76) / 12.0) ** 2)
    strength = min(1.0, max(0.0, 1.5 - e)) * 0.40
    return mix(SKY_BLUE, (0, 0, 0), strength)


# --- pair-original.bmp / pair-editing.bmp: a scene and a marked copy ---

def in_house(x, y):
    walls = 40 <= x < 76 and 44 <= y < 72
    roof = 30 <= y < 44 and abs(x - 58) <= (y - 30) * 22 // 14
    return walls or roof


def scene(x, y):
    if inside_circle(x, y, 104, 20, 11):
        return (255, 220, 60)  # sun
    if in_house(x, y):
        if 52 <= x < 62 and 56 <= y < 72:
            return (110, 70, 40)  # door
        if 66 <= x < 72 and 50 <= y < 56:
            return (250, 250, 200)  # window
        if y < 44:
            return (170, 50, 40)  # roof
        return (230, 210, 170)
    if y >= 72:
        return (70, 160, 70)  # grass
    # The sky brightens towards the horizon by one or two levels a row.
    return mix((110, 170, 240), (200, 225, 250), y / 71.0)


def scene_marked(x, y):
    """The copy a user has marked: the house painted over with a generous
    stroke of an unused colour, sky and grass around it included."""
    if 34 <= x < 82 and 26 <= y < 76:
        return KEY_MAGENTA
    return scene(x, y)


# --- keycolour.bmp: shapes on a key colour, with a key-coloured hole ---

def keycolour(x, y):
    # A ring whose hole shows the key colour but is not connected to the
    # key-coloured background around it.
    if inside_circle(x, y, 36, 48, 24) and not inside_circle(x, y, 36, 48, 10):
        return (40, 160, 60) if not inside_circle(x, y, 36, 48, 21) else (90, 200, 100)
    # A diamond.
    if abs(x - 94) + abs(y - 48) <= 22:
        return (40, 70, 200) if abs(x - 94) + abs(y - 48) > 18 else (110, 150, 250)
    return KEY_MAGENTA


# --- gradient.bmp: bands of slowly changing colour and one sharp edge ---

def gradient_level(x):
    """Bands 4 pixels wide, 4 levels apart; between columns 63 and 64 the
    level jumps by 64."""
    if x < 64:
        return 20 + 4 * (x // 4)
    return 140 + 4 * ((x - 64) // 4)


def gradient(x, y):
    v = gradient_level(x)
    return (v, v // 2 + 60, 220 - v // 2)


SAMPLES = {
    "sprite.bmp": sprite,
    "pair-original.bmp": scene,
    "pair-editing.bmp": scene_marked,
    "keycolour.bmp": keycolour,
    "gradient.bmp": gradient,
}


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out_dir, exist_ok=True)
    for name, pixel in SAMPLES.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(bmp_bytes(WIDTH, HEIGHT, pixel))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
