#!/usr/bin/env python3
"""Writes the small seed files of fuzz/corpus/<target>/.

The BMP target also starts from tests/data/bmpsuite (scripts/fuzz.sh passes
those folders); the seeds here add the tiny, well-formed pictures the unit
tests build, which mutate into interesting damage faster than large files.
Run from anywhere; the files are committed, so this is only needed to change them.
"""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


# --- BMP -------------------------------------------------------------------

def bmp(width, height, bits, pixels, table=b"", compression=0, masks=b"", header_size=40, core=False):
    if core:
        header = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression,
                             len(pixels), 2835, 2835, len(table) // 4 if table else 0, 0)
        header += masks if header_size > 40 else b""
        header = header.ljust(header_size, b"\0")
    after = header + (masks if header_size == 40 else b"") + table
    return b"BM" + struct.pack("<IHHI", 14 + len(after) + len(pixels), 0, 0, 14 + len(after)) + after + pixels


def gray_table(n, size=4):
    return b"".join(bytes([i * 255 // max(n - 1, 1)] * 3) + (b"\0" if size == 4 else b"") for i in range(n))


def rows(width, height, bits, fill):
    return b"".join(bytes((fill + y * 7 + x) & 0xFF for x in range(stride(width, bits))) for y in range(height))


write("fuzz_bmp", "rgb24_3x2.bmp", bmp(3, 2, 24, rows(3, 2, 24, 1)))
write("fuzz_bmp", "rgb24_topdown_2x3.bmp", bmp(2, -3, 24, rows(2, 3, 24, 9)))
write("fuzz_bmp", "pal8_16colours.bmp", bmp(4, 2, 8, bytes([0, 5, 10, 15] * 2), gray_table(16)))
write("fuzz_bmp", "pal1_core.bmp", bmp(9, 2, 1, rows(9, 2, 1, 3), gray_table(2, 3), core=True))
write("fuzz_bmp", "pal4_core.bmp", bmp(3, 3, 4, rows(3, 3, 4, 5), gray_table(16, 3), core=True))
write("fuzz_bmp", "rgb565_masks.bmp",
      bmp(3, 2, 16, rows(3, 2, 16, 2), compression=3, masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F)))
write("fuzz_bmp", "rgb32_masks_v4header.bmp",
      bmp(2, 2, 32, rows(2, 2, 32, 4), compression=3, header_size=108,
          masks=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)))
write("fuzz_bmp", "rgb32_table.bmp", bmp(2, 1, 32, rows(2, 1, 32, 6), gray_table(3)))
rle8 = bytes([3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 1, 2, 7, 0, 1])
write("fuzz_bmp", "rle8_delta.bmp", bmp(6, 3, 8, rle8, gray_table(8), compression=1))
rle4 = bytes([5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 4, 0x67, 0, 1])
write("fuzz_bmp", "rle4.bmp", bmp(6, 2, 4, rle4, gray_table(16), compression=2))
write("fuzz_bmp", "empty.bmp", b"")

# --- Icons -------------------------------------------------------------------

def dib_image(w, h, bits):
    colours = 1 << bits if bits <= 8 else 0
    head = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bits, 0, 0, 0, 0, 0, 0)
    return head + gray_table(colours) + b"\x55" * (stride(w, bits) * h + stride(w, 1) * h)


def png_image(w, h):
    return b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0) + b"\0" * 4


def icon(entries, kind=1):
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    for w, h, image in entries:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(image for _, _, image in entries)


write("fuzz_icon", "dib4_16x16.ico", icon([(16, 16, dib_image(16, 16, 4))]))
write("fuzz_icon", "dib1_8x8_type0.ico", icon([(8, 8, dib_image(8, 8, 1))], kind=0))
write("fuzz_icon", "two_images.ico", icon([(8, 8, dib_image(8, 8, 8)), (4, 4, dib_image(4, 4, 24))]))
write("fuzz_icon", "png_256.ico", icon([(256, 256, png_image(256, 256))]))

# --- Metafiles -----------------------------------------------------------------

def wmf_record(function, params=()):
    return struct.pack("<IH", 3 + len(params), function) + struct.pack("<%dh" % len(params), *params)


def plain_wmf(records, version=0x0300):
    body = b"".join(records) + wmf_record(0)
    words = (18 + len(body)) // 2
    return struct.pack("<HHHIHIH", 1, 9, version, words, 0, 5, 0) + body


def placeable(box, inch, body):
    head = struct.pack("<IHhhhhH", 0x9AC6CDD7, 0, *box, inch) + b"\0" * 4
    checksum = 0
    for (word,) in struct.iter_unpack("<H", head):
        checksum ^= word
    return head + struct.pack("<H", checksum) + body


write("fuzz_wmf", "plain_extent.wmf", plain_wmf([wmf_record(0x0103, (8,)), wmf_record(0x020C, (50, 100))]))
write("fuzz_wmf", "plain_no_extent.wmf", plain_wmf([], 0x0100))
write("fuzz_wmf", "placeable_inch.wmf", placeable((0, 0, 1440, 720), 1440, plain_wmf([wmf_record(0x0103, (8,))])))


def emf(frame, extra_records=b""):
    header = struct.pack("<II", 1, 108) + struct.pack("<iiii", 0, 0, 95, 47) + struct.pack("<iiii", *frame)
    header += struct.pack("<IIIIHHIII", 0x464D4520, 0x10000, 0, 3, 0, 0, 0, 0, 0)
    header += struct.pack("<iiii", 1920, 1080, 508, 286)
    header = header.ljust(108, b"\0")
    end = struct.pack("<IIIII", 14, 20, 0, 16, 20)
    return header + extra_records + end


write("fuzz_emf", "emf_inch.emf", emf((0, 0, 2540, 1270)))
write("fuzz_emf", "emf_with_record.emf", emf((100, 100, 1000, 2000), struct.pack("<IIii", 9, 16, 640, 480)))
write("fuzz_wmf", "emf_in_wmf.wmf", emf((0, 0, 254, 254)))

# --- Region grower ------------------------------------------------------------------
# Layout in fuzz/fuzz_grower.cpp: kind, width, height, flags, table size,
# masks, levels, target, start, table, then one palette choice per pixel.

LEVELS = {-1: 4, 0: 5, 3: 8, 16: 11, 32: 12, 255: 17, 1000: 19}


def grower_seed(kind, width, height, table_size, masks=((0, 0),) * 3, limit=32, approx=16,
                target=(0, 0), start=(0, 0), topdown=False):
    rnd = random.Random(kind * 1000 + width)
    # Through the workspace with a lending editing picture, and again with
    # room for only four waiting spans.
    flags = 2 | 4 | 8 | 16 | (3 << 5) | (1 if topdown else 0)
    out = bytes([kind, width - 1, height - 1, flags]) + struct.pack("<H", table_size)
    out += b"".join(bytes(m) for m in masks)
    out += bytes([LEVELS[limit], LEVELS[approx]])
    tkind, tvalue = target
    out += bytes([tkind]) + struct.pack("<I", tvalue)
    out += bytes([0, start[0] + 2, start[1] + 2])
    out += bytes(rnd.randrange(256) for _ in range(4 * table_size))
    out += b"".join(struct.pack("<I", rnd.getrandbits(32)) for _ in range(8))
    # Blocks of one palette value with a stripe of another through them.
    out += bytes((x // 6 + y // 5) % 3 if x != y else 7 for y in range(height) for x in range(width))
    return out


write("fuzz_grower", "pal1.bin", grower_seed(0, 30, 20, 2, target=(0, 0x0505), start=(5, 5)))
write("fuzz_grower", "pal4_short_table.bin", grower_seed(1, 31, 21, 5, target=(0, 0x0909), start=(9, 9), topdown=True))
write("fuzz_grower", "pal8_full_table.bin", grower_seed(2, 32, 22, 256, target=(0, 0x0303), start=(3, 3)))
write("fuzz_grower", "rgb555.bin", grower_seed(3, 33, 23, 0, target=(0, 0x0404), start=(4, 4), topdown=True))
write("fuzz_grower", "rgb565.bin", grower_seed(4, 34, 24, 0, target=(0, 0x0606), start=(6, 6)))
write("fuzz_grower", "masked16_444.bin",
      grower_seed(5, 35, 25, 0, masks=((8, 4), (4, 4), (0, 4)), target=(0, 0x0202), start=(2, 2), topdown=True))
write("fuzz_grower", "rgb24.bin", grower_seed(6, 36, 26, 0, target=(0, 0x0A0A), start=(10, 10)))
write("fuzz_grower", "rgb32_topdown.bin", grower_seed(7, 37, 27, 0, target=(0, 0x0101), start=(1, 1), topdown=True))
write("fuzz_grower", "masked32_101010.bin",
      grower_seed(8, 38, 28, 0, masks=((20, 10), (10, 10), (0, 10)), target=(0, 0x0707), start=(7, 7)))
write("fuzz_grower", "device.bin", grower_seed(9, 48, 48, 0, limit=255, approx=3, target=(2, 15), start=(0, 47)))
write("fuzz_grower", "rgb24_negative_levels.bin", grower_seed(6, 12, 9, 0, limit=-1, approx=-1, target=(1, 0x10), start=(11, 8)))
write("fuzz_grower", "rgb24_start_outside.bin", grower_seed(6, 12, 9, 0, limit=1000, approx=1000, target=(3, 0x12345678), start=(-1, 4)))

# --- Integer text -----------------------------------------------------------------

for i, text in enumerate(["0", "  -2147483648", "2147483647", "+0x7FFFFFFF", "$FFFFFFFF", "-x80000000",
                          "0X1f", "00000000000000000042", "2147483648", "$100000000", "1 ", "-$"]):
    write("fuzz_inttext", "text%02d.txt" % i, text.encode())
