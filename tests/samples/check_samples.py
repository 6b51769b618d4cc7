#!/usr/bin/env python3
"""Checks the samples and the guide's pictures against the program:

- samples/make_samples.py still writes exactly the committed samples/*.bmp,
  and samples/README.md says what each one is for;
- vem-cli, run as docs/guide-examples.txt lists, still gives exactly the
  pictures committed in docs/images/ (pixel by pixel), and the guide shows
  every one of them and links no missing picture;
- the BMP reader and PNG writer/reader used for this are right themselves.

    check_samples.py --cli PATH/vem-cli
"""

import argparse
import filecmp
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "docs"))
import guide_pictures  # noqa: E402

CLI = None  # set by main()


def bmp24(width, height, pixels, top_down=False):
    """A 24-bit BMP built here, independently of the code under test; PIXELS
    are (r, g, b) rows, top row first."""
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for row in pixels:
        data = b"".join(bytes((b, g, r)) for r, g, b in row)
        rows.append(data + bytes(stride - len(data)))
    if not top_down:
        rows.reverse()
    body = b"".join(rows)
    return (struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
            + struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, 24, 0, len(body), 0, 0, 0, 0)
            + body)


def pattern(width, height):
    return [[(x * 40 % 256, y * 70 % 256, (x + y) * 13 % 256) for x in range(width)] for y in range(height)]


class PictureCodec(unittest.TestCase):
    def test_bmp_rows_and_padding_at_edge_widths(self):
        for width, height in ((1, 1), (2, 3), (3, 2), (4, 1), (5, 5)):
            for top_down in (False, True):
                with self.subTest(width=width, height=height, top_down=top_down):
                    expected = pattern(width, height)
                    picture = guide_pictures.read_bmp(bmp24(width, height, expected, top_down))
                    self.assertEqual((picture.width, picture.height), (width, height))
                    got = [[picture.pixel(x, y) for x in range(width)] for y in range(height)]
                    self.assertEqual(got, expected)

    def test_png_round_trip_at_edge_widths(self):
        for width, height in ((1, 1), (3, 2), (7, 5)):
            with self.subTest(width=width, height=height):
                rows = [bytes(v for px in row for v in px) for row in pattern(width, height)]
                png = guide_pictures.write_png(guide_pictures.Picture(width, height, rows))
                back = guide_pictures.read_png(png)
                self.assertEqual((back.width, back.height, back.rows), (width, height, rows))

    def test_bad_input_is_refused(self):
        good_bmp = bmp24(3, 2, pattern(3, 2))
        rows = [bytes(v for px in row for v in px) for row in pattern(3, 2)]
        good_png = guide_pictures.write_png(guide_pictures.Picture(3, 2, rows))
        huge = bytearray(good_bmp)
        struct.pack_into("<ii", huge, 18, 100000, 100000)
        eight_bit = bytearray(good_bmp)
        struct.pack_into("<H", eight_bit, 28, 8)
        corrupt_png = bytearray(good_png)
        corrupt_png[45] ^= 0xFF  # inside the IDAT data: the CRC no longer fits
        cases = [
            ("bmp truncated", guide_pictures.read_bmp, good_bmp[:-1]),
            ("bmp header only", guide_pictures.read_bmp, good_bmp[:30]),
            ("bmp too large", guide_pictures.read_bmp, bytes(huge)),
            ("bmp 8-bit", guide_pictures.read_bmp, bytes(eight_bit)),
            ("png truncated", guide_pictures.read_png, good_png[:-5]),
            ("png bad crc", guide_pictures.read_png, bytes(corrupt_png)),
            ("png signature", guide_pictures.read_png, b"GIF89a" + good_png[6:]),
        ]
        for name, reader, data in cases:
            with self.subTest(name):
                with self.assertRaises(guide_pictures.PictureError):
                    reader(data)


class Samples(unittest.TestCase):
    def test_script_writes_exactly_the_committed_samples(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, os.path.join(ROOT, "samples", "make_samples.py"), out], check=True)
            made = sorted(os.listdir(out))
            self.assertEqual(made, guide_pictures.sample_names())
            _, mismatch, errors = filecmp.cmpfiles(out, guide_pictures.SAMPLES, made, shallow=False)
            self.assertEqual(mismatch + errors, [], "run samples/make_samples.py")

    def test_readme_describes_every_sample(self):
        with open(os.path.join(ROOT, "samples", "README.md"), encoding="utf-8") as f:
            readme = f.read()
        for name in guide_pictures.sample_names():
            self.assertIn("`%s`" % name, readme)


class Guide(unittest.TestCase):
    def test_vem_cli_still_gives_the_pictures_the_guide_shows(self):
        with tempfile.TemporaryDirectory() as work_dir:
            for name, picture in guide_pictures.wanted_pictures(CLI, work_dir):
                with self.subTest(name):
                    path = os.path.join(guide_pictures.IMAGES, name)
                    self.assertTrue(os.path.exists(path), "missing; run docs/make_guide_pictures.sh")
                    with open(path, "rb") as f:
                        shown = guide_pictures.read_png(f.read())
                    self.assertIsNone(guide_pictures.first_difference(picture, shown),
                                      "run docs/make_guide_pictures.sh if the change is intended")

    def test_guide_and_its_pictures_match_one_to_one(self):
        with open(os.path.join(ROOT, "docs", "guide.md"), encoding="utf-8") as f:
            guide = f.read()
        links = set(re.findall(r"!\[[^\]]*\]\(images/([^)]+)\)", guide))
        for link in sorted(links):
            self.assertTrue(os.path.exists(os.path.join(guide_pictures.IMAGES, link)), link)
        for example in guide_pictures.load_examples():
            for picture in example.pictures:
                self.assertIn(example.image_name(picture), links)
        for name in guide_pictures.sample_names():
            self.assertIn(guide_pictures.sample_image_name(name), links)
        for name in os.listdir(guide_pictures.IMAGES):
            self.assertIn(name, links, "a picture the guide no longer shows")


def main():
    global CLI
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    options, rest = parser.parse_known_args()
    CLI = os.path.abspath(options.cli)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
