#!/usr/bin/env python3
"""Installs a build into a temporary DESTDIR with `cmake --install` and checks
what lands there: the exact file list, the programs, the desktop entry (also
through desktop-file-validate), the icons, the manual page and the licence.
The Debian package holds exactly these files.

    check_install.py --build-dir BUILD [--with-ui] [--cmake CMAKE]
"""

import argparse
import os
import re
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

ICON_SIZES = (16, 32, 48, 64, 128, 256)
LICENSE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "LICENSE")
OPTIONS = None  # set by main()


def expected_files(with_ui):
    files = {"usr/bin/vem-cli", "usr/share/man/man1/vem-cli.1", "usr/share/doc/vem/copyright"}
    if with_ui:
        files |= {"usr/bin/vem", "usr/share/applications/vem.desktop", "usr/share/man/man1/vem.1",
                  "usr/share/icons/hicolor/scalable/apps/vem.svg"}
        files |= {"usr/share/icons/hicolor/%dx%d/apps/vem.png" % (s, s) for s in ICON_SIZES}
    return files


def read_desktop_entry(path):
    """The keys of the [Desktop Entry] group; a key given twice is an error."""
    entry = {}
    group = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line
                continue
            key, sep, value = line.partition("=")
            if not sep:
                raise ValueError("not a key=value line: %r" % line)
            if group == "[Desktop Entry]":
                if key in entry:
                    raise ValueError("key %s given twice" % key)
                entry[key] = value
    return entry


def build_version():
    """The version the build was made with."""
    with open(os.path.join(OPTIONS.build_dir, "app", "generated", "vem_version.h"), encoding="utf-8") as f:
        return re.search(r'#define VEM_VERSION "([^"]+)"', f.read()).group(1)


def render_manual(path):
    """man's rendering of the page at PATH, with its warnings."""
    env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
    return subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", path], env=env, capture_output=True, text=True)


def png_header(path):
    """(width, height, bit depth, colour type) from the IHDR chunk."""
    with open(path, "rb") as f:
        data = f.read(33)
    if len(data) < 33 or data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("%s is not a PNG file" % path)
    return struct.unpack(">IIBB", data[16:26])


class InstallFixture(unittest.TestCase):
    """Each test class installs once into its own temporary DESTDIR."""

    @classmethod
    def setUpClass(cls):
        cls.destdir = tempfile.mkdtemp(prefix="vem-install-")
        env = dict(os.environ, DESTDIR=cls.destdir)
        result = subprocess.run([OPTIONS.cmake, "--install", OPTIONS.build_dir, "--prefix", "/usr"],
                                env=env, capture_output=True, text=True)
        if result.returncode != 0:
            shutil.rmtree(cls.destdir)
            raise RuntimeError("cmake --install failed:\n" + result.stdout + result.stderr)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.destdir)

    def path(self, relative):
        return os.path.join(self.destdir, relative)


class InstalledTree(InstallFixture):
    def test_installs_exactly_the_expected_files(self):
        found = set()
        for directory, _, names in os.walk(self.destdir):
            for name in names:
                found.add(os.path.relpath(os.path.join(directory, name), self.destdir))
        wanted = expected_files(OPTIONS.with_ui)
        self.assertEqual(sorted(wanted - found), [], "missing")
        self.assertEqual(sorted(found - wanted), [], "unexpected")

    def test_programs_are_executable_and_data_files_are_not(self):
        for relative in expected_files(OPTIONS.with_ui):
            mode = os.stat(self.path(relative)).st_mode
            executable = bool(mode & stat.S_IXOTH)
            self.assertEqual(executable, relative.startswith("usr/bin/"), relative)
            self.assertTrue(mode & stat.S_IROTH, relative + " is not readable by everyone")

    def test_installed_cli_runs(self):
        result = subprocess.run([self.path("usr/bin/vem-cli"), "--help"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("convert", result.stdout)

    def test_manual_page_covers_every_command_and_option(self):
        with open(self.path("usr/share/man/man1/vem-cli.1"), encoding="utf-8") as f:
            page = f.read().replace("\\-", "-")
        # Up to the next section or subsection (.SH or .SS).
        options_section = page.partition("\n.SH OPTIONS\n")[2].partition("\n.S")[0]
        cli = self.path("usr/bin/vem-cli")
        for command in ("info", "copy", "convert", "erase"):
            self.assertTrue(re.search(r"^\.B vem-cli %s$" % command, page, re.M), "no synopsis of " + command)
            help_text = subprocess.run([cli, command, "--help"], capture_output=True, text=True).stdout
            for option in set(re.findall(r"--[a-z][a-z-]+", help_text)) - {"--help"}:
                entry = r"^\.B[IR]? %s( |$)" % re.escape(option)
                self.assertTrue(re.search(entry, options_section, re.M),
                                "%s, listed by vem-cli %s --help, is not documented" % (option, command))

    def test_copyright_file_carries_the_licence(self):
        """Debian's machine-readable format: one paragraph for every file,
        the MIT (Expat) licence's text as LICENSE has it."""
        with open(self.path("usr/share/doc/vem/copyright"), encoding="utf-8") as f:
            header, files = f.read().split("\n\n", 1)
        self.assertEqual(header.splitlines()[0],
                         "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/")
        fields = files.split("\n License text follows\n")[0].splitlines()
        self.assertEqual(fields[:3], ["Files: *", "Copyright: 2026 The VEM developers", "License: Expat"])
        body = "\n".join("" if line == " ." else line[1:] for line in fields[3:])
        with open(LICENSE, encoding="utf-8") as f:
            licence = f.read()
        self.assertTrue(licence.startswith("MIT License\n\nCopyright (c) 2026 The VEM developers\n"))
        self.assertEqual(body.strip(), licence[licence.index("Permission is hereby granted"):].strip())

    def test_manual_page_names_the_version_of_the_build(self):
        version = build_version()
        with open(self.path("usr/share/man/man1/vem-cli.1"), encoding="utf-8") as f:
            title = next(line for line in f if line.startswith(".TH "))
        self.assertIn('"VEM %s"' % version, title)

    def test_manual_page_renders_without_warnings(self):
        if shutil.which("man") is None:
            self.fail("man is not installed (package man-db)")
        result = render_manual(self.path("usr/share/man/man1/vem-cli.1"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        self.assertIn("vem-cli - read, convert and mask BMP pictures", result.stdout)


class InstalledDesktopProgram(InstallFixture):
    @classmethod
    def setUpClass(cls):
        if not OPTIONS.with_ui:
            raise unittest.SkipTest("built without the desktop program")
        super().setUpClass()

    def desktop_entry(self):
        return read_desktop_entry(self.path("usr/share/applications/vem.desktop"))

    def test_desktop_entry_passes_desktop_file_validate(self):
        validator = shutil.which("desktop-file-validate")
        if validator is None:
            self.fail("desktop-file-validate is not installed (package desktop-file-utils)")
        result = subprocess.run([validator, self.path("usr/share/applications/vem.desktop")],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout + result.stderr, "", "warnings or hints")

    def test_desktop_entry_names_and_starts_the_program(self):
        entry = self.desktop_entry()
        self.assertEqual(entry.get("Type"), "Application")
        self.assertEqual(entry.get("Name"), "VEM")
        self.assertEqual(entry.get("Name[ja]"), "ヴェム～VEM～")
        self.assertEqual(entry.get("Categories"), "Graphics;2DGraphics;RasterGraphics;")
        self.assertEqual(entry.get("Terminal"), "false")
        # "Open with": one local file, and only the kinds the program reads.
        self.assertEqual(entry.get("Exec"), "vem %f")
        self.assertEqual(entry.get("MimeType"), "image/bmp;image/x-bmp;")
        self.assertTrue(os.path.isfile(self.path("usr/bin/" + entry["Exec"].split()[0])),
                        "Exec names no installed program")

    def test_desktop_entry_icon_exists_in_every_size(self):
        icon = self.desktop_entry().get("Icon")
        self.assertEqual(icon, "vem")
        for size in ICON_SIZES:
            path = self.path("usr/share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, icon))
            width, height, depth, colour_type = png_header(path)
            self.assertEqual((width, height), (size, size), path)
            # Rounded corners need an alpha channel: 8-bit RGBA.
            self.assertEqual((depth, colour_type), (8, 6), path)

    def test_scalable_icon_is_a_square_svg(self):
        root = ElementTree.parse(self.path("usr/share/icons/hicolor/scalable/apps/vem.svg")).getroot()
        self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")
        _, _, width, height = (float(v) for v in root.get("viewBox").split())
        self.assertEqual(width, height)

    def test_manual_page_documents_the_file_argument_and_options(self):
        page = self.path("usr/share/man/man1/vem.1")
        result = render_manual(page)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        with open(page, encoding="utf-8") as f:
            text = f.read().replace("\\-", "-")
        version = build_version()
        self.assertIn('"VEM %s"' % version, next(line for line in text.splitlines() if line.startswith(".TH ")))
        options = text.partition("\n.SH OPTIONS\n")[2].partition("\n.SH")[0]
        for entry in (r"^\.I FILE$", r'^\.BR -h ", " --help$', r'^\.BR -v ", " --version$'):
            self.assertTrue(re.search(entry, options, re.M), "no entry %s under OPTIONS" % entry)

    def test_program_answers_help_and_version(self):
        # As on a text console: no display to connect to, no platform chosen.
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        program = self.path("usr/bin/vem")
        result = subprocess.run([program, "--help"], env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("FILE", result.stdout)
        result = subprocess.run([program, "--version"], env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        version = build_version()
        self.assertEqual(result.stdout, "vem %s\n" % version)

    def test_program_is_an_executable_file(self):
        with open(self.path("usr/bin/vem"), "rb") as f:
            self.assertEqual(f.read(4), b"\x7fELF")


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--with-ui", action="store_true", help="the build has the desktop program")
    parser.add_argument("--cmake", default="cmake")
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
