"""A real desktop for one road: an Xvfb server on a free display, the openbox
window manager, and the built program with an empty HOME of its own, driven
through xdotool and read back through xprop, xwininfo and screenshots.

Standard library only. Every wait polls a condition with a time limit; a road
that fails leaves a screenshot and the program's output under the build
folder (see Desktop.save_failure).
"""

import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import sys
import zlib

# The sample pictures' BMP writer serves the roads' pictures too.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples"))
import make_samples  # noqa: E402

SCREEN = (1280, 900)
DEFAULT_TIMEOUT = 20.0


class RoadFailure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise RoadFailure(message)


def poll(condition, what, timeout=DEFAULT_TIMEOUT, interval=0.05):
    """Calls CONDITION until it returns something true and returns that;
    fails naming WHAT after TIMEOUT seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise RoadFailure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# --- Pictures ---------------------------------------------------------------

def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP; PIXEL(x, y) gives (r, g, b) with y from the top."""
    return make_samples.bmp_bytes(width, height, pixel)


def write_solid_bmp(path, width, height, rgb):
    with open(path, "wb") as f:
        f.write(bmp24(width, height, lambda x, y: rgb))


def read_png_rgba(path):
    """(width, height, pixels) of an 8-bit RGBA PNG without interlacing,
    PIXELS[y][x] = (r, g, b, a) from the top; None for any other file. The
    five row filters are undone here, so no image library is needed."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    at, header, idat = 8, None, b""
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    if header is None or header[2:] != (8, 6, 0, 0, 0):
        return None
    width, height = header[:2]
    raw, stride, rows, previous = zlib.decompress(idat), 4 * width, [], bytearray(4 * width)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = previous[i], previous[i - 4] if i >= 4 else 0
            if kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                predictor = a if pa <= pb and pa <= pc else b if pb <= pc else c
            else:
                predictor = (0, a, b, (a + b) // 2)[kind]
            line[i] = (line[i] + predictor) & 0xFF
        rows.append([tuple(line[4 * x:4 * x + 4]) for x in range(width)])
        previous = line
    return width, height, rows


class Screenshot:
    """Pixels of the screen or of one window as rows of RGB bytes, read from
    xwd's ZPixmap output (24 or 32 bits a pixel)."""

    def __init__(self, data=None, width=0, height=0):
        if data is None:
            self.width, self.height = width, height
            self.data = bytearray(3 * width * height)
            return
        fields = struct.unpack(">25I", data[:100])
        header_size, self.width, self.height = fields[0], fields[4], fields[5]
        byte_order, bits, bytes_per_line, colours = fields[7], fields[11], fields[12], fields[19]
        # The same server writes 32 or packed 24 bits a pixel depending on
        # the visuals its clients asked for.
        check(fields[2] == 2 and bits in (24, 32), "xwd gave no 24- or 32-bit ZPixmap")
        step = bits // 8
        if byte_order == 0:
            offsets = (2, 1, 0)
        else:
            offsets = (1, 2, 3) if step == 4 else (0, 1, 2)
        start = header_size + 12 * colours
        self.data = bytearray(3 * self.width * self.height)
        for y in range(self.height):
            line = data[start + y * bytes_per_line:start + y * bytes_per_line + step * self.width]
            out = 3 * self.width * y
            for channel, offset in enumerate(offsets):
                self.data[out + channel:out + 3 * self.width:3] = line[offset::step]

    def rgb(self, x, y):
        o = 3 * (y * self.width + x)
        return tuple(self.data[o:o + 3])

    def paste(self, other, left, top):
        """Copies OTHER onto this picture with its top-left at (LEFT, TOP)."""
        x0, x1 = max(left, 0), min(left + other.width, self.width)
        if x0 >= x1:
            return
        for y in range(max(top, 0), min(top + other.height, self.height)):
            sy = y - top
            self.data[3 * (y * self.width + x0):3 * (y * self.width + x1)] = \
                other.data[3 * (sy * other.width + x0 - left):3 * (sy * other.width + x1 - left)]

    def corners(self, rgb, area=None):
        """Top-left corners of the areas of exactly colour RGB: pixels of that
        colour whose left and upper neighbours are of another colour. A picture
        of one flat colour shown in a window gives its top-left pixel."""
        x0, y0, x1, y1 = area or (0, 0, self.width, self.height)
        x0, y0, x1, y1 = max(x0, 0), max(y0, 0), min(x1, self.width), min(y1, self.height)
        mask = bytes(rgb)
        found = []
        for y in range(y0, y1):
            base = 3 * y * self.width
            i = self.data.find(mask, base + 3 * x0, base + 3 * x1)
            while i != -1:
                if (i - base) % 3 == 0:
                    x = (i - base) // 3
                    left = x == 0 or self.rgb(x - 1, y) != rgb
                    up = y == 0 or self.rgb(x, y - 1) != rgb
                    if left and up:
                        found.append((x, y))
                i = self.data.find(mask, i + 1, base + 3 * x1)
        return found

    def save_png(self, path):
        raw = bytearray()
        for y in range(self.height):
            raw.append(0)
            raw += self.data[3 * self.width * y:3 * self.width * (y + 1)]

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 6)))
            f.write(chunk(b"IEND", b""))


# --- The desktop ------------------------------------------------------------

class Window:
    """A top-level X window: its id, and its client area on the screen."""

    def __init__(self, desktop, wid):
        self.desktop = desktop
        self.id = wid

    def geometry(self):
        """(x, y, width, height) of the client area in screen pixels."""
        out = self.desktop.run(["xwininfo", "-id", str(self.id)])
        values = {}
        for line in out.splitlines():
            key, sep, value = line.strip().partition(":")
            if sep:
                values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def viewable(self):
        out = self.desktop.run(["xwininfo", "-id", str(self.id)], check=False)
        return "Map State: IsViewable" in out

    def title(self):
        return self.desktop.run(["xdotool", "getwindowname", str(self.id)], check=False).rstrip("\n")

    def prop(self, name):
        """The property as xprop prints it after the name, or None when unset."""
        out = self.desktop.run(["xprop", "-id", str(self.id), name], check=False)
        if "not found" in out or "no such atom" in out:
            return None
        _, sep, value = out.partition("=")
        if not sep:
            _, sep, value = out.partition(":")
        return value.strip() if sep else None

    def click(self, x, y, button=1, repeat=1):
        """Presses at client pixel (X, Y)."""
        gx, gy, _, _ = self.geometry()
        self.desktop.click(gx + x, gy + y, button, repeat)

    def __repr__(self):
        kind = (self.prop("_NET_WM_WINDOW_TYPE") or "").replace("_NET_WM_WINDOW_TYPE_", "").lower()
        x, y, w, h = self.geometry()
        return "%s window %r %dx%d+%d+%d" % (kind or "untyped", self.title(), w, h, x, y)


class Desktop:
    def __init__(self, name, artifacts_root, vem, screen=SCREEN):
        self.name = name
        self.vem_path = vem
        self.artifacts = os.path.join(artifacts_root, name)
        self.root = tempfile.mkdtemp(prefix="vem-desktop-%s-" % name)
        # The program's HOME, empty but for the XDG folders inside it, which
        # must stay as they are.
        self.home = os.path.join(self.root, "home")
        self.xdg = {"XDG_CONFIG_HOME": ".config", "XDG_CACHE_HOME": ".cache",
                    "XDG_DATA_HOME": ".local/share", "XDG_STATE_HOME": ".local/state"}
        for sub in self.xdg.values():
            os.makedirs(os.path.join(self.home, sub))
        # The window manager and the runtime folder live apart from it.
        self.wm_home = os.path.join(self.root, "wm-home")
        os.makedirs(self.wm_home)
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.work = os.path.join(self.root, "work")
        os.makedirs(self.work)
        self.screen = screen
        self.procs = []
        self.vem = None
        self.display = None
        self.home_before = self.home_listing()
        self.findings = []

    def expect(self, condition, message):
        """A check that lets the road go on, so one run shows every fault on
        its way; the road fails at its end if any did not hold."""
        if not condition:
            print("FAULT: " + message, flush=True)
            self.findings.append(message)
        return condition

    # --- Processes ---

    def start(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                 "%dx%dx24" % self.screen, "-dpi", "96", "-nolisten", "tcp", "-noreset"],
                                pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                                stderr=open(os.path.join(self.root, "xvfb.log"), "wb"))
        os.close(write_fd)
        self.procs.append(xvfb)
        number = b""
        deadline = time.monotonic() + DEFAULT_TIMEOUT
        while not number.endswith(b"\n"):
            check(time.monotonic() < deadline and xvfb.poll() is None, "Xvfb did not start")
            chunk = os.read(read_fd, 16)
            check(chunk != b"", "Xvfb did not say its display number")
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(home=self.wm_home),
                              stdout=subprocess.DEVNULL, stderr=open(os.path.join(self.root, "openbox.log"), "wb"))
        self.procs.append(wm)
        poll(lambda: "window id #" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False),
             "openbox to manage the screen")
        return self

    def env(self, home=None):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "XDG_", "DBUS_", "WAYLAND"))}
        if "QT_LOGGING_RULES" in os.environ:
            env["QT_LOGGING_RULES"] = os.environ["QT_LOGGING_RULES"]
        env.update(DISPLAY=self.display, HOME=home or self.home, XDG_RUNTIME_DIR=self.runtime,
                   QT_QPA_PLATFORM="xcb", LANG="C.UTF-8", LC_ALL="C.UTF-8")
        for key, sub in self.xdg.items():
            env[key] = os.path.join(home or self.home, sub)
        return env

    def launch_vem(self, *args):
        """Starts the program in the work folder and waits for its main window."""
        self.vem_out = os.path.join(self.root, "vem.stdout")
        self.vem_err = os.path.join(self.root, "vem.stderr")
        self.vem = subprocess.Popen([self.vem_path, *args], cwd=self.work, env=self.env(),
                                    stdout=open(self.vem_out, "wb"), stderr=open(self.vem_err, "wb"))
        self.procs.append(self.vem)
        self.main = poll(lambda: self.find_window("^ヴェム～VEM～"), "the main window")
        return self.main

    def close_vem(self):
        """Ends the program (by its own id) and waits for it."""
        self.vem.terminate()
        self.vem.wait(10)

    def launch(self, argv, name):
        proc = subprocess.Popen(argv, cwd=self.work, env=self.env(),
                                stdout=open(os.path.join(self.root, name + ".stdout"), "wb"),
                                stderr=open(os.path.join(self.root, name + ".stderr"), "wb"))
        self.procs.append(proc)
        return proc

    def close(self):
        # Only the processes started here, newest first, each by its own id.
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self.procs = []

    def cleanup(self):
        self.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def run(self, argv, check=True):
        result = subprocess.run(argv, env=self.env(), capture_output=True, text=True)
        if check and result.returncode != 0:
            raise RoadFailure("%s failed: %s" % (" ".join(argv), result.stderr.strip()))
        return result.stdout

    def program_alive(self):
        check(self.vem.poll() is None, "the program ended (exit status %s)" % self.vem.returncode)

    # --- Windows ---

    def top_windows(self, pid=None):
        """The viewable top-level windows of the program (or of process PID),
        override-redirect popups included, newest last."""
        pid = pid or self.vem.pid
        out = self.run(["xwininfo", "-root", "-children"])
        windows = []
        for line in out.splitlines():
            line = line.strip()
            if not line.startswith("0x"):
                continue
            wid = int(line.split()[0], 16)
            # Frames of the window manager hold the client one level down.
            candidates = [wid]
            sub = self.run(["xwininfo", "-id", str(wid), "-children"], check=False)
            candidates += [int(l.split()[0], 16) for l in (s.strip() for s in sub.splitlines()) if l.startswith("0x")]
            for c in candidates:
                w = Window(self, c)
                if w.prop("_NET_WM_PID") == str(pid) and w.viewable():
                    windows.append(w)
        return windows

    def find_window(self, pattern, pid=None):
        """The newest viewable window of the program whose title matches PATTERN."""
        argv = ["xdotool", "search", "--onlyvisible", "--pid", str(pid or self.vem.pid), "--name", pattern]
        ids = [int(i) for i in self.run(argv, check=False).split()]
        return Window(self, ids[-1]) if ids else None

    def wait_window(self, pattern, what, timeout=DEFAULT_TIMEOUT):
        return poll(lambda: self.find_window(pattern), what, timeout)

    def wait_gone(self, window, what, timeout=DEFAULT_TIMEOUT):
        poll(lambda: not window.viewable(), what, timeout)

    def error_box(self):
        """The program's error box: a dialog with the caption "vem", or None.
        (Qt's own popups carry that caption too, but are no dialogs.)"""
        argv = ["xdotool", "search", "--onlyvisible", "--pid", str(self.vem.pid), "--name", "^vem$"]
        for wid in self.run(argv, check=False).split():
            w = Window(self, int(wid))
            if "DIALOG" in (w.prop("_NET_WM_WINDOW_TYPE") or ""):
                return w
        return None

    def no_error_box(self, after):
        box = self.error_box()
        check(box is None, "an error box appeared after %s" % after)

    # --- Input ---

    def key(self, *keys):
        self.run(["xdotool", "key", "--delay", "30", *keys])

    def type(self, text):
        # "--": a text that starts with "-" is no option.
        self.run(["xdotool", "type", "--delay", "20", "--", text])

    def move(self, x, y):
        self.run(["xdotool", "mousemove", str(x), str(y)])

    def click(self, x, y, button=1, repeat=1):
        self.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "--repeat", str(repeat),
                  "--delay", "60", str(button)])

    def drag(self, start, end, steps=12):
        """A press at START, a move in steps to END, a release: a real drag."""
        self.run(["xdotool", "mousemove", "--sync", str(start[0]), str(start[1]), "mousedown", "1"])
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self.run(["xdotool", "mousemove", str(x), str(y)])
            time.sleep(0.03)
        # The target answers the position asynchronously: wiggle on it once
        # more before the release so the last answer is in.
        self.run(["xdotool", "mousemove", str(end[0] + 1), str(end[1])])
        time.sleep(0.2)
        self.run(["xdotool", "mousemove", str(end[0]), str(end[1])])
        time.sleep(0.2)
        self.run(["xdotool", "mouseup", "1"])

    # --- Screen ---

    def xwd(self, window_id=None):
        target = ["-id", str(window_id)] if window_id else ["-root"]
        result = subprocess.run(["xwd", "-silent", *target], env=self.env(), capture_output=True)
        check(result.returncode == 0, "xwd failed: %s" % result.stderr.decode(errors="replace"))
        return Screenshot(result.stdout)

    def screenshot(self):
        """The screen as a person sees it. Xvfb's root image can miss what
        windows mapped late have drawn, so each viewable client window is read
        on its own and laid over it, bottom to top."""
        shot = self.xwd()
        for wid in self.stacking_order():
            try:
                x, y, _, _ = Window(self, wid).geometry()
                shot.paste(self.xwd(wid), x, y)
            except RoadFailure:
                pass  # unmapped meanwhile
        return shot

    def stacking_order(self):
        """Viewable client windows (the frames' children, and popups), bottom first."""
        out = self.run(["xwininfo", "-root", "-tree"])
        ids = []
        for line in out.splitlines():
            line = line.strip()
            if not line.startswith("0x") or "(has no name)" in line:
                continue
            wid = int(line.split()[0], 16)
            if " 1x1+" in line or "Openbox" in line or "Qt Selection Owner" in line:
                continue
            ids.append(wid)
        # xwininfo lists children top first.
        ids.reverse()
        return [w for w in ids if Window(self, w).viewable()]

    def home_listing(self):
        entries = []
        for directory, dirs, files in os.walk(self.home):
            for name in dirs + files:
                path = os.path.join(directory, name)
                entries.append((os.path.relpath(path, self.home), os.lstat(path).st_size))
        return sorted(entries)

    def check_home_untouched(self):
        now = self.home_listing()
        check(now == self.home_before, "the program wrote to HOME: %s" %
              sorted(set(now) ^ set(self.home_before)))

    def save_failure(self):
        """Keeps a screenshot and the program's output; returns their paths."""
        os.makedirs(self.artifacts, exist_ok=True)
        saved = []
        if self.display:
            try:
                path = os.path.join(self.artifacts, "screen.png")
                self.screenshot().save_png(path)
                saved.append(path)
            except (OSError, subprocess.CalledProcessError, RoadFailure) as e:
                saved.append("(no screenshot: %s)" % e)
        for name in sorted(os.listdir(self.root)):
            path = os.path.join(self.root, name)
            if os.path.isfile(path):
                shutil.copy(path, os.path.join(self.artifacts, name))
                saved.append(os.path.join(self.artifacts, name))
        return saved
