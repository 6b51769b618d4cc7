#!/usr/bin/env python3
"""What a person feels with a big picture, in a real X server: the program
(a release build) opens a 24-bit picture twice with Ctrl+O and a typed name,
then takes one right click with 右クリ近似色, fits the view with Ctrl+0 (全体を
表示) and right-clicks the fitted view. For each step it prints the
program's own processor time (user + system, from /proc, with the system
time and the fresh pages it faulted in apart), the wall time until the
program falls idle again, and its peak resident size; beside them
the same engine work in vem-cli: two `info` runs (two reads of the file), and
`erase` less `copy` (the gesture, without the read and the write).

    measure_big_pictures.py --vem build/release/app/vem --cli build/release/tools/vem-cli [--sides 4096,8192]

Not a test: nothing here fails on a figure. The machine is shared, so run it
a few times and quote the medians.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
from roads import CHECKBOX1, MainWindow, open_by_typing  # noqa: E402

FLAT = (0x40, 0x80, 0xC0)
OTHER = (0xC0, 0x40, 0x20)
TICK = os.sysconf("SC_CLK_TCK")


def write_picture(path, side):
    """A 24-bit bottom-up BMP: the left half one flat colour, the right half
    another; the flat half is the region a right click erases."""
    half = side // 2
    row = bytes((FLAT[2], FLAT[1], FLAT[0])) * half + bytes((OTHER[2], OTHER[1], OTHER[0])) * (side - half)
    row += b"\0" * ((-len(row)) % 4)
    size = len(row) * side
    with open(path, "wb") as f:
        f.write(b"BM" + (54 + size).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little"))
        f.write((40).to_bytes(4, "little") + side.to_bytes(4, "little") + side.to_bytes(4, "little"))
        f.write((1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(4) + size.to_bytes(4, "little"))
        f.write(bytes(16))
        for _ in range(side):
            f.write(row)


def cpu_times(pid):
    """User and system seconds, and minor page faults, of the program so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) / TICK, int(fields[12]) / TICK, int(fields[7])


def cpu_seconds(pid):
    user, system, _ = cpu_times(pid)
    return user + system


class Split:
    """The system time and the fresh pages of one step, beside its total."""

    def __init__(self, pid):
        self.pid = pid
        _, self.system, self.faults = cpu_times(pid)

    def done(self, result):
        _, system, faults = cpu_times(self.pid)
        return result + (system - self.system, faults - self.faults)


def peak_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def until_idle(pid, start_cpu, start_wall, quiet=0.6):
    """Waits until the program has used no processor time for QUIET seconds;
    returns (processor seconds, wall seconds up to its last busy moment)."""
    last_cpu, last_busy = start_cpu, start_wall
    while True:
        time.sleep(0.05)
        now = cpu_seconds(pid)
        if now != last_cpu:
            last_cpu, last_busy = now, time.monotonic()
        elif time.monotonic() - last_busy > quiet:
            return last_cpu - start_cpu, last_busy - start_wall


def timed_cli(cli, *args):
    """Processor seconds and peak MB of one vem-cli run."""
    proc = subprocess.Popen([cli, *args], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise SystemExit("vem-cli %s failed" % " ".join(args))
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def timed_open(d, main, path):
    """The open command with a typed name; returns processor and wall seconds
    from the Enter until the program is idle again."""
    pid = d.vem.pid
    start = []

    split = []

    def mark():
        until_idle(pid, cpu_seconds(pid), time.monotonic(), quiet=0.3)
        split.append(Split(pid))
        start.extend((cpu_seconds(pid), time.monotonic()))

    open_by_typing(d, main, path, tidy=False, before_enter=mark)
    result = split[0].done(until_idle(pid, *start))
    d.click(*main.free_client_point())
    return result


def right_click(d, main):
    """One right click on the flat colour: the middle of the first 40 x 40
    patch of it on the screen. Returns processor and wall seconds."""
    pid = d.vem.pid
    shot = d.screenshot()
    at = next((x + 20, y + 20) for y in range(main.area[1], main.area[3] - 40, 8)
              for x in range(main.area[0], main.area[2] - 40, 8)
              if all(shot.rgb(x + dx, y + dy) == FLAT for dx in (0, 20, 40) for dy in (0, 20, 40)))
    until_idle(pid, cpu_seconds(pid), time.monotonic(), quiet=0.3)
    split = Split(pid)
    c0, t0 = cpu_seconds(pid), time.monotonic()
    d.click(at[0], at[1], button=3)
    return split.done(until_idle(pid, c0, t0))


def timed_key(d, key):
    """One key press; processor and wall seconds until the program is idle."""
    pid = d.vem.pid
    until_idle(pid, cpu_seconds(pid), time.monotonic(), quiet=0.3)
    split = Split(pid)
    c0, t0 = cpu_seconds(pid), time.monotonic()
    d.key(key)
    return split.done(until_idle(pid, c0, t0))


def engine(options, path, side, root):
    """The same engine work in vem-cli: processor seconds of two reads, of
    the gesture (erase less copy), and erase's peak MB."""
    out = os.path.join(root, "erased.bmp")
    reads = sum(timed_cli(options.cli, "info", path)[0] for _ in range(2))
    copy, _ = timed_cli(options.cli, "copy", path, out)
    # The program starts with both levels at 0, as vem-cli does.
    erase, peak = timed_cli(options.cli, "erase", "--original", path, "--at", "%d,%d" % (side // 4, side // 2),
                            "--out", out)
    return reads, max(erase - copy, 1e-3), peak


def measure(options, side, root):
    path = os.path.join(root, "big%d.bmp" % side)
    write_picture(path, side)
    # Memory never touched before costs the kernel (and a virtual machine's
    # host) far more to hand out than memory just freed: the engine is
    # measured both before the program (cold) and after it (warm), and the
    # program opens the picture twice.
    cold = engine(options, path, side, root)
    d = Desktop("measure-%d" % side, os.path.join(root, "artifacts"), options.vem, screen=(1600, 1000)).start()
    try:
        d.launch_vem()
        main = MainWindow(d)
        first_load = timed_open(d, main, path)
        second_load = timed_open(d, main, path)
        main.press(*CHECKBOX1)
        click = right_click(d, main)
        fit = timed_key(d, "ctrl+0")
        fitted_click = right_click(d, main)
        peak = peak_mb(d.vem.pid)
    finally:
        d.cleanup()
    warm = engine(options, path, side, root)
    os.remove(path)
    mp = side * side / 1e6
    def program(step):
        cpu, wall, system, faults = step
        return "program %.2f s (system %.2f s, %d fresh pages; wall %.2f s)" % (cpu, system, faults, wall)

    for name, step in (("first load", first_load), ("second load", second_load)):
        print("%.0f MP  %s: %s; 2 x vem-cli info %.2f s cold, %.2f s warm"
              % (mp, name, program(step), cold[0], warm[0]))
    print("%.0f MP  right click: %s; vem-cli erase - copy %.2f s cold, %.2f s warm"
          % (mp, program(click), cold[1], warm[1]))
    print("%.0f MP  全体を表示 (fit, with its repaint): %s; 2 x vem-cli info %.2f s warm"
          % (mp, program(fit), warm[0]))
    print("%.0f MP  right click in the fitted view: %s; vem-cli erase - copy %.2f s warm"
          % (mp, program(fitted_click), warm[1]))
    print("%.0f MP  peak memory: program %.0f MB, vem-cli erase %.0f MB, ratio %.2f"
          % (mp, peak, warm[2], peak / warm[2]), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vem", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sides", default="4096,8192")
    parser.add_argument("--folder", default=None, help="where the pictures are written (default: a temporary folder)")
    options = parser.parse_args()
    root = options.folder or os.path.join("/tmp", "vem-measure-%d" % os.getpid())
    os.makedirs(root, exist_ok=True)
    for side in (int(s) for s in options.sides.split(",")):
        measure(options, side, root)


if __name__ == "__main__":
    main()
