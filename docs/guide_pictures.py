#!/usr/bin/env python3
"""The guide's pictures: runs vem-cli on the samples as listed in
docs/guide-examples.txt and turns the samples and the results into PNG files
in docs/images/. tests/samples/check_samples.py uses the same functions to
check that the committed PNG files still show exactly what vem-cli produces.

    python3 docs/guide_pictures.py --cli PATH/vem-cli [--images DIR]

Standard library only: the PNG files are written by hand with zlib.
"""

import argparse
import os
import shlex
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = os.path.join(ROOT, "docs", "guide-examples.txt")
SAMPLES = os.path.join(ROOT, "samples")
IMAGES = os.path.join(ROOT, "docs", "images")

# Pictures larger than this are not ours: refuse them before allocating.
MAX_PIXELS = 4096 * 4096

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class PictureError(Exception):
    pass


class Picture:
    """Width, height and rows of (r, g, b) bytes, top row first."""

    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows

    def pixel(self, x, y):
        row = self.rows[y]
        return tuple(row[3 * x:3 * x + 3])


def check_size(width, height):
    if width <= 0 or height <= 0 or width * height > MAX_PIXELS:
        raise PictureError("unsupported picture size %dx%d" % (width, height))


def read_bmp(data):
    """Reads the BMP files this project writes: BITMAPINFOHEADER or later,
    24 bits, uncompressed, bottom-up or top-down rows padded to 4 bytes."""
    if len(data) < 54 or data[:2] != b"BM":
        raise PictureError("not a BMP file")
    (offset,) = struct.unpack_from("<I", data, 10)
    header_size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if header_size < 40 or bits != 24 or compression != 0:
        raise PictureError("only uncompressed 24-bit BMP files are read here")
    top_down = height < 0
    height = abs(height)
    check_size(width, height)
    stride = (width * 3 + 3) // 4 * 4
    if offset < 14 + header_size or offset + stride * height > len(data):
        raise PictureError("truncated BMP file")
    rows = []
    for i in range(height):
        start = offset + stride * i
        bgr = data[start:start + 3 * width]
        rgb = bytearray(3 * width)
        rgb[0::3] = bgr[2::3]
        rgb[1::3] = bgr[1::3]
        rgb[2::3] = bgr[0::3]
        rows.append(bytes(rgb))
    if not top_down:
        rows.reverse()
    return Picture(width, height, rows)


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def write_png(picture):
    """8-bit RGB, no interlace, filter 0 on every row: the simplest PNG that
    every viewer shows."""
    header = struct.pack(">IIBBBBB", picture.width, picture.height, 8, 2, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in picture.rows)
    return (PNG_SIGNATURE + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))


def read_png(data):
    """Reads the PNG files write_png makes (and checks every CRC); anything
    else is refused rather than misread."""
    if not data.startswith(PNG_SIGNATURE):
        raise PictureError("not a PNG file")
    pos = len(PNG_SIGNATURE)
    header = None
    idat = bytearray()
    while True:
        if pos + 8 > len(data):
            raise PictureError("truncated PNG file")
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length or pos + 12 + length > len(data):
            raise PictureError("truncated PNG file")
        (crc,) = struct.unpack_from(">I", data, pos + 8 + length)
        if crc != zlib.crc32(kind + body):
            raise PictureError("PNG chunk %r has a wrong CRC" % kind)
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None or header[2:] != (8, 2, 0, 0, 0):
        raise PictureError("only 8-bit RGB PNG files without filters are read here")
    width, height = header[0], header[1]
    check_size(width, height)
    stride = 1 + 3 * width
    decoder = zlib.decompressobj()
    raw = decoder.decompress(bytes(idat), stride * height + 1)
    if len(raw) != stride * height or decoder.unconsumed_tail:
        raise PictureError("PNG pixel data of the wrong size")
    rows = []
    for y in range(height):
        if raw[y * stride] != 0:
            raise PictureError("only 8-bit RGB PNG files without filters are read here")
        rows.append(raw[y * stride + 1:(y + 1) * stride])
    return Picture(width, height, rows)


def first_difference(a, b):
    """None when the pictures are equal, else a sentence saying where not."""
    if (a.width, a.height) != (b.width, b.height):
        return "size %dx%d instead of %dx%d" % (a.width, a.height, b.width, b.height)
    count = 0
    first = None
    for y in range(a.height):
        if a.rows[y] == b.rows[y]:
            continue
        for x in range(a.width):
            if a.pixel(x, y) != b.pixel(x, y):
                count += 1
                if first is None:
                    first = "(%d, %d) is %s instead of %s" % (x, y, a.pixel(x, y), b.pixel(x, y))
    if count == 0:
        return None
    return "%d pixels differ; first: %s" % (count, first)


class Example:
    """One line of guide-examples.txt: a name, the pictures the guide shows
    (finished, editing or both) and vem-cli's arguments."""

    def __init__(self, name, pictures, args):
        self.name = name
        self.pictures = pictures
        self.args = args

    def image_name(self, picture):
        return "%s-%s.png" % (self.name, picture)


def load_examples(path=EXAMPLES):
    examples = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = shlex.split(line, comments=False)
            if len(fields) < 3:
                raise ValueError("%s:%d: expected NAME PICTURES ARGUMENTS..." % (path, number))
            pictures = fields[1].split(",")
            if not set(pictures) <= {"finished", "editing"}:
                raise ValueError("%s:%d: pictures are finished and/or editing" % (path, number))
            examples.append(Example(fields[0], pictures, fields[2:]))
    return examples


def run_example(cli, example, work_dir):
    """Runs one example; returns {"finished": Picture, "editing": Picture}."""
    outputs = {p: os.path.join(work_dir, "%s-%s.bmp" % (example.name, p)) for p in ("finished", "editing")}
    command = [cli] + example.args + ["--out", outputs["finished"], "--mask-out", outputs["editing"]]
    result = subprocess.run(command, cwd=ROOT, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("%s: vem-cli failed (%d): %s" % (example.name, result.returncode, result.stderr.strip()))
    pictures = {}
    for picture in example.pictures:
        with open(outputs[picture], "rb") as f:
            pictures[picture] = read_bmp(f.read())
    return pictures


def sample_names():
    return sorted(n for n in os.listdir(SAMPLES) if n.endswith(".bmp"))


def sample_image_name(bmp_name):
    return "sample-" + bmp_name[:-len(".bmp")] + ".png"


def wanted_pictures(cli, work_dir):
    """Every picture of the guide: (PNG file name, Picture)."""
    for name in sample_names():
        with open(os.path.join(SAMPLES, name), "rb") as f:
            yield sample_image_name(name), read_bmp(f.read())
    for example in load_examples():
        for picture, image in run_example(cli, example, work_dir).items():
            yield example.image_name(picture), image


def render(cli, images):
    os.makedirs(images, exist_ok=True)
    with tempfile.TemporaryDirectory() as work_dir:
        for name, picture in wanted_pictures(cli, work_dir):
            with open(os.path.join(images, name), "wb") as f:
                f.write(write_png(picture))
            print("wrote", os.path.join(images, name))
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="the vem-cli program")
    parser.add_argument("--images", default=IMAGES, help="folder of the guide's PNG files")
    options = parser.parse_args(argv[1:])
    return render(os.path.abspath(options.cli), options.images)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
