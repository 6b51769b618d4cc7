#!/usr/bin/env python3
"""The desktop roads: the built program in Xvfb with openbox, driven as a
person would. One road per run, each with its own X server:

    roads.py --vem VEM --cli VEM_CLI --drag-source SOURCE --artifacts DIR ROAD

On a failure the road's screenshot and the program's output are kept under
DIR/ROAD and their paths printed.
"""

import argparse
import filecmp
import os
import random
import subprocess
import sys
import time
import traceback

from desktop import Desktop, RoadFailure, Window, bmp24, check, poll, read_png_rgba, write_solid_bmp

OPTIONS = None

# Colours of the test pictures, chosen to appear nowhere else on the screen.
ORIGINAL_RGB = (0x21, 0x87, 0xC3)
EDITING_RGB = (0xC3, 0x21, 0x87)
THIRD_RGB = (0x87, 0xC3, 0x21)
FRAME_RGB = (0xFF, 0x00, 0xFF)
# The selection colour of Qt's own style.
SELECTED_ROW_RGB = (48, 140, 198)
TITLE = "ヴェム～VEM～　"


# --- The main window as seen on the screen ----------------------------------

class MainWindow:
    """Where the main window's tool bar controls and client area are. The
    client area is found as the run of its background colour above the
    bottom-right corner; the tool bar sits right above it."""

    def __init__(self, desktop):
        self.d = desktop
        self.window = desktop.main
        self.measure()

    def measure(self):
        gx, gy, gw, gh = self.window.geometry()
        shot = self.d.screenshot()
        x, y = gx + gw - 25, gy + gh - 25
        self.background = bg = shot.rgb(x, y)
        top, left = y, x
        while top > gy and shot.rgb(x, top - 1) == bg:
            top -= 1
        while left > gx and shot.rgb(left - 1, y) == bg:
            left -= 1
        self.area = (left, top, gx + gw, gy + gh)
        self.origin = (gx, gy)
        # The 30-pixel tool bar ends on the client area's frame.
        self.toolbar_middle = top - 17

    def toolbar(self, left, width=23):
        """Screen point in the middle of the tool bar control at LEFT."""
        return (self.origin[0] + left + width // 2, self.toolbar_middle)

    def press(self, left, width=23, button=1):
        x, y = self.toolbar(left, width)
        self.d.click(x, y, button)

    def free_client_point(self):
        return (self.area[2] - 60, self.area[3] - 60)


COMBO = (5, 145)
OPEN_BUTTON = (150, 23)
SAVE_BUTTON = (173, 23)
CASCADE_BUTTON = (208, 23)
TILE_H_BUTTON = (231, 23)
TILE_V_BUTTON = (254, 23)
CONVERT_BUTTON = (285, 23)
CHECKBOX1 = (308 + 3, 10)
CHECKBOX2 = (401 + 3, 10)
BUTTON2 = (526, 75)  # 原画→編集用
BUTTON3 = (601, 75)  # 完成→原画
BUTTON1 = (676, 75)  # 編集用を保存


def dialog_point(window, designed_size, x, y):
    """Client point (X, Y) of a dialog designed at DESIGNED_SIZE, scaled to
    the size it has on the screen."""
    _, _, w, h = window.geometry()
    return (x * w // designed_size[0], y * h // designed_size[1])


def new_window(d, known, what, timeout=20.0):
    """Waits for a viewable, named window of the program that is not in
    KNOWN, and for its first painting."""
    def find():
        out = d.run(["xdotool", "search", "--onlyvisible", "--pid", str(d.vem.pid), "--name", "."], check=False)
        fresh = [int(i) for i in out.split() if int(i) not in known]
        return fresh[-1] if fresh else None
    window = Window(d, poll(find, what, timeout))
    wait_painted(d, window, what)
    return window


def wait_painted(d, window, what):
    """Waits until the window's middle row shows more than one colour: a
    window mapped but not yet painted is one flat colour."""
    def painted():
        x, y, w, h = window.geometry()
        shot = d.screenshot()
        return len({shot.rgb(x + i, y + h // 2) for i in range(0, w, 2)}) > 1
    poll(painted, what + " to be painted")


def visible_ids(d):
    out = d.run(["xdotool", "search", "--onlyvisible", "--pid", str(d.vem.pid), "--name", "."], check=False)
    return {int(i) for i in out.split()}


def settle(d, before=None, what="the screen to change", timeout=20.0):
    """Waits until the screen differs from BEFORE (when given), then until
    two screenshots in a row agree; returns the last one."""
    if before is not None:
        poll(lambda: d.screenshot().data != before.data, what, timeout)
    last = d.screenshot()
    deadline = time.monotonic() + timeout
    while True:
        time.sleep(0.15)
        shot = d.screenshot()
        if shot.data == last.data:
            return shot
        check(time.monotonic() < deadline, "the screen did not settle")
        last = shot


def popups_left(d):
    """The program's viewable windows other than the main window."""
    return [w for w in d.top_windows() if w.id != d.main.id]


def open_by_typing(d, main, path, tidy=True, before_enter=None):
    """Ctrl+O, the full path typed into the open dialog, Enter. With TIDY a
    press on the empty client area follows, which a popup left behind by the
    dialog would swallow (that fault has a road of its own), so that the
    other roads see the next fault on their way. BEFORE_ENTER, if given, is
    called right before the Enter."""
    known = visible_ids(d)
    d.key("ctrl+o")
    dialog = new_window(d, known, "the open dialog")
    d.key("ctrl+a")
    d.type(path)
    if before_enter:
        before_enter()
    d.key("Return")
    d.wait_gone(dialog, "the open dialog to close")
    if tidy:
        d.click(*main.free_client_point())
    return dialog


def save_by_typing(d, main, button, path):
    known = visible_ids(d)
    main.press(*button)
    dialog = new_window(d, known, "the save dialog")
    d.key("ctrl+a")
    d.type(path)
    d.key("Return")
    d.wait_gone(dialog, "the save dialog to close")
    left = popups_left(d)
    d.expect(not left, "the save dialog left windows on the screen: %s" % left)
    d.click(*main.free_client_point())
    poll(lambda: os.path.exists(path) and os.path.getsize(path) > 0, "the saved file " + path)


def picture_corners(d, rgb):
    return d.screenshot().corners(rgb)


def run_settings_dialog(d, main, approx=None, limit=None, mode_button=None):
    """Opens the settings dialog with 変換, types the levels, picks a mode and presses OK."""
    known = visible_ids(d)
    main.press(*CONVERT_BUTTON)
    dialog = new_window(d, known, "the settings dialog")
    check(dialog.title() == "ダイアログ", "the settings dialog's caption is %r" % dialog.title())
    size = (555, 171)
    if mode_button is not None:
        dialog.click(*dialog_point(dialog, size, 24 + 8, 16 + 32 * mode_button + 8))
    for value, (left, width) in ((approx, (272, 33)), (limit, (320, 41))):
        if value is None:
            continue
        dialog.click(*dialog_point(dialog, size, left + width // 2, 154))
        d.key("ctrl+a")
        d.type(str(value))
    d.key("Return")
    d.wait_gone(dialog, "the settings dialog to close")


def cli(*args):
    result = subprocess.run([OPTIONS.cli, *args], capture_output=True, text=True)
    check(result.returncode == 0, "vem-cli %s failed: %s" % (" ".join(args), result.stderr))


# --- Roads ------------------------------------------------------------------

def road_type_name_and_enter(d):
    """Ctrl+O, a typed path, Enter: the picture loads, no popup of the dialog
    stays, and the very next click on 原画→編集用 works."""
    picture = os.path.join(d.work, "typed.bmp")
    write_solid_bmp(picture, 40, 30, ORIGINAL_RGB)
    d.launch_vem()
    main = MainWindow(d)
    open_by_typing(d, main, picture, tidy=False)
    poll(lambda: len(picture_corners(d, ORIGINAL_RGB)) == 2, "the original and finished windows to show the picture")
    left = popups_left(d)
    d.expect(not left, "the open dialog left windows on the screen: %s" % left)
    main.press(*BUTTON2)
    # Mode 0 reads the editing picture: it works only if the copy did.
    run_settings_dialog(d, main, mode_button=0)
    poll(lambda: d.main.title() == TITLE + "100%" or d.error_box(), "the conversion to end")
    d.no_error_box("原画→編集用 and 変換 (the click on 原画→編集用 was lost)")
    d.program_alive()


def road_whole(d):
    """Load, 原画→編集用, the levels typed in the settings dialog, 右クリ近似色,
    right clicks, the save dialog; the saved files equal vem-cli's."""
    width, height = 48, 32

    def pixel(x, y):
        if x in (0, width - 1) or y in (0, height - 1):
            return FRAME_RGB
        noise = (x * 37 + y * 91) % 13 - 6
        if x < width // 2:
            return (200 + noise, 60 + noise, 40 - noise)
        return (40 - noise, 90 + noise, 210 + noise)

    picture = os.path.join(d.work, "scene.bmp")
    with open(picture, "wb") as f:
        f.write(bmp24(width, height, pixel))
    approx, limit = 9, 40
    first, second = (5, 5), (width // 2 + 5, 6)

    # The road must depend on the typed levels, or it could not see them lost.
    plain = os.path.join(d.work, "plain.bmp")
    expected1 = os.path.join(d.work, "expected1.bmp")
    cli("erase", "--original", picture, "--editing", picture, "--at", "%d,%d" % first,
        "--approx", str(approx), "--limit", str(limit), "--out", expected1)
    cli("erase", "--original", picture, "--editing", picture, "--at", "%d,%d" % first, "--out", plain)
    check(not filecmp.cmp(expected1, plain, shallow=False), "the test picture does not depend on the levels")
    expected2 = os.path.join(d.work, "expected2.bmp")
    cli("erase", "--original", picture, "--editing", picture, "--at", "%d,%d" % first, "--at", "%d,%d" % second,
        "--approx", str(approx), "--limit", str(limit), "--apply", "--out", expected2)

    d.launch_vem()
    main = MainWindow(d)

    def load():
        open_by_typing(d, main, picture)
        corners = poll(lambda: (lambda c: c if len(c) >= 2 else None)(picture_corners(d, FRAME_RGB)),
                       "the picture in the original and finished windows")
        main.press(*BUTTON2)
        return min(corners, key=lambda p: p[0] + p[1])

    def right_click(origin, point):
        before = d.screenshot()
        d.click(origin[0] + point[0], origin[1] + point[1], button=3)
        settle(d, before, "the right click to change a picture")
        d.no_error_box("a right click at %s" % (point,))

    origin = load()
    run_settings_dialog(d, main, approx=approx, limit=limit, mode_button=0)
    poll(lambda: d.main.title() == TITLE + "100%" or d.error_box(), "the conversion to end")
    d.no_error_box("the settings dialog's OK")
    main.press(*CHECKBOX1)
    right_click(origin, first)
    saved1 = os.path.join(d.work, "saved1.bmp")
    save_by_typing(d, main, SAVE_BUTTON, saved1)
    check(filecmp.cmp(saved1, expected1, shallow=False), "one right click saved other bytes than vem-cli erase")

    origin = load()
    main.press(*CHECKBOX2)
    right_click(origin, first)
    right_click(origin, second)
    saved2 = os.path.join(d.work, "saved2.bmp")
    save_by_typing(d, main, SAVE_BUTTON, saved2)
    check(filecmp.cmp(saved2, expected2, shallow=False),
          "two right clicks with 結果を原画に即反映 saved other bytes than vem-cli erase --apply")
    d.program_alive()


def road_png_export(d):
    """ファイル → 透過PNGで保存 by its accelerators (Alt+F, P), a name typed
    without an extension, Enter: NAME.png holds the finished picture with
    the background colour (black at start) transparent."""
    width, height = 40, 30

    def pixel(x, y):
        return ORIGINAL_RGB if x < width // 2 else (0, 0, 0)

    picture = os.path.join(d.work, "cut.bmp")
    with open(picture, "wb") as f:
        f.write(bmp24(width, height, pixel))
    d.launch_vem()
    main = MainWindow(d)
    open_by_typing(d, main, picture)
    poll(lambda: len(picture_corners(d, ORIGINAL_RGB)) == 2, "the picture in the original and finished windows")
    known = visible_ids(d)
    d.key("alt+f")
    d.key("p")
    dialog = new_window(d, known, "the PNG export dialog")
    name = os.path.join(d.work, "cutout")
    d.key("ctrl+a")
    d.type(name)
    d.key("Return")
    d.wait_gone(dialog, "the PNG export dialog to close")
    poll(lambda: os.path.exists(name + ".png") or d.error_box(), "the exported file " + name + ".png")
    d.no_error_box("the PNG export")
    check(not os.path.exists(name), "the typed name was used without .png")
    png = read_png_rgba(name + ".png")
    check(png is not None, "%s.png is no 8-bit RGBA PNG" % name)
    expected = [[pixel(x, y) + ((0,) if pixel(x, y) == (0, 0, 0) else (255,)) for x in range(width)]
                for y in range(height)]
    check(png == (width, height, expected), "%s.png does not hold the picture with black transparent" % name)
    poll(lambda: d.main.title() == TITLE, "the caption to go back to the title")
    d.program_alive()


def road_undo_redo(d):
    """Three regions erased with 結果を原画に即反映, taken back with Ctrl+Z and
    made again with Ctrl+Y: the saved pictures equal vem-cli's."""
    width, height = 60, 40
    regions = {(5, 5): (220, 30, 30), (30, 8): (30, 200, 30), (48, 25): (30, 30, 220)}

    def pixel(x, y):
        if x in (0, width - 1) or y in (0, height - 1):
            return FRAME_RGB
        for (left, top), rgb in regions.items():
            if left <= x < left + 8 and top <= y < top + 8:
                return rgb
        return (128, 128, 128)

    picture = os.path.join(d.work, "regions.bmp")
    with open(picture, "wb") as f:
        f.write(bmp24(width, height, pixel))
    points = [(left + 2, top + 3) for left, top in regions]
    loaded, erased = os.path.join(d.work, "loaded.bmp"), os.path.join(d.work, "erased.bmp")
    cli("copy", picture, loaded)
    at = [arg for p in points for arg in ("--at", "%d,%d" % p)]
    cli("erase", "--original", picture, *at, "--apply", "--out", erased)

    d.launch_vem()
    main = MainWindow(d)
    open_by_typing(d, main, picture)
    corners = poll(lambda: (lambda c: c if len(c) >= 2 else None)(picture_corners(d, FRAME_RGB)),
                   "the picture in the original and finished windows")
    # The finished window comes last in the cascade, on top of the others.
    origin = max(corners, key=lambda p: p[0] + p[1])
    main.press(*CHECKBOX1)
    main.press(*CHECKBOX2)
    for point in points:
        before = d.screenshot()
        d.click(origin[0] + point[0], origin[1] + point[1], button=3)
        settle(d, before, "the right click at %s to erase its region" % (point,))

    for keys, expected, what in (("ctrl+z", loaded, "Ctrl+Z"), ("ctrl+y", erased, "Ctrl+Y")):
        for _ in points:
            before = d.screenshot()
            d.key(keys)
            settle(d, before, "%s to change the pictures" % what)
        saved = os.path.join(d.work, "saved-%s.bmp" % keys[-1])
        save_by_typing(d, main, SAVE_BUTTON, saved)
        check(filecmp.cmp(saved, expected, shallow=False), "three times %s saved other bytes than vem-cli" % what)
    d.no_error_box("undo and redo")
    d.program_alive()


def cascade_steps(points):
    """The common step of POINTS sorted along the diagonal, right and down,
    or None when they are not successive cascade positions."""
    points = sorted(points)
    steps = {(b[0] - a[0], b[1] - a[1]) for a, b in zip(points, points[1:])}
    if len(steps) != 1:
        return None
    (dx, dy), = steps
    return (dx, dy) if dx > 0 and dy > 0 else None


def window_corners(d):
    shot = d.screenshot()
    return shot.corners(ORIGINAL_RGB), shot.corners(EDITING_RGB)


def load_editing_by_typing(d, main, path):
    """ComboBox1 to "編集用を読み込む" from the keyboard, then the open command."""
    main.press(*COMBO)
    d.key("Down")
    open_by_typing(d, main, path)
    main.press(*COMBO)
    d.key("Up")


def road_placement_and_window_commands(d):
    """Start-up places the three windows at successive cascade positions; the
    window commands cascade and tile them; a window minimised by すべてを最小化
    comes back from a double click on its own bar; the frame stays sizeable."""
    original = os.path.join(d.work, "a.bmp")
    editing = os.path.join(d.work, "b.bmp")
    write_solid_bmp(original, 60, 40, ORIGINAL_RGB)
    write_solid_bmp(editing, 60, 40, EDITING_RGB)
    d.launch_vem()
    main = MainWindow(d)
    # Loading sizes the windows but does not move them: their pictures' top
    # left corners show where start-up put them.
    open_by_typing(d, main, original)
    load_editing_by_typing(d, main, editing)
    a, b = poll(lambda: (lambda c: c if len(c[0]) == 2 and len(c[1]) == 1 else None)(window_corners(d)),
                "the original, editing and finished pictures on the screen")
    first, third = sorted(a, key=lambda p: p[0] + p[1])
    d.expect(cascade_steps([first, b[0], third]) is not None and first < b[0] < third,
             "start-up did not place the windows at successive cascade positions: original %s, editing %s, "
             "finished %s" % (first, b[0], third))
    area_left, area_top = main.area[0], main.area[1]
    d.expect(first[0] - area_left < 40 and first[1] - area_top < 60,
             "the first window is not at the first cascade position: %s in a client area from %s"
             % (first, (area_left, area_top)))

    def after(button, what):
        before = d.screenshot()
        main.press(*button)
        settle(d, before, what)
        return window_corners(d)

    a, b = after(CASCADE_BUTTON, "重ねて表示")
    d.expect(len(a) == 2 and len(b) == 1 and cascade_steps(a + b) is not None,
             "重ねて表示 gave no cascade: %s %s" % (a, b))
    a, b = after(TILE_H_BUTTON, "上下に並べて表示")
    d.expect(len(a) == 2 and len(b) == 1 and len({p[0] for p in a + b}) == 1 and len({p[1] for p in a + b}) == 3,
             "上下に並べて表示 gave no bands stacked top to bottom: %s %s" % (a, b))
    a, b = after(TILE_V_BUTTON, "左右に並べて表示")
    d.expect(len(a) == 2 and len(b) == 1 and len({p[1] for p in a + b}) == 1 and len({p[0] for p in a + b}) == 3,
             "左右に並べて表示 gave no bands side by side: %s %s" % (a, b))

    before = d.screenshot()
    d.key("alt+w")
    d.key("m")
    settle(d, before, "すべてを最小化")
    a, b = window_corners(d)
    d.expect(not a and not b, "pictures still show after すべてを最小化: %s %s" % (a, b))
    # The minimised bars lie along the bottom of the client area.
    shot = d.screenshot()
    left, top, right, bottom = main.area
    bars = []
    for y in range(bottom - 4, bottom - 40, -1):
        xs = [x for x in range(left, right - 20) if shot.rgb(x, y) != main.background]
        if xs:
            bars = xs
            row = y
            break
    check(bars, "no minimised window bar along the bottom of the client area")
    x = bars[0] + 12
    before = shot
    d.click(x, row - 6, repeat=2)
    try:
        settle(d, before, "a double click on a minimised window's bar", timeout=5)
    except RoadFailure:
        pass  # nothing changed: told below
    a, b = window_corners(d)
    d.expect(a or b, "a double click on a minimised window's bar did not restore it")
    d.no_error_box("the window commands")

    # The frame stays sizeable below the tool bar's width: the controls past
    # the right edge are cut off instead.
    d.run(["xdotool", "windowsize", str(d.main.id), "500", "500"])
    try:
        poll(lambda: d.main.geometry()[2] <= 520, "the main window to narrow", timeout=5)
    except RoadFailure:
        d.expect(False, "the main window cannot be made narrower than %d pixels" % d.main.geometry()[2])
    d.program_alive()


def start_drag_source(d, path):
    """The drag source with PATH, moved below the main window's right end."""
    proc = d.launch([OPTIONS.drag_source, path], "drag-source")
    window = poll(lambda: d.find_window("^vem-drag-source$", pid=proc.pid), "the drag source's window")
    d.run(["xdotool", "windowmove", str(window.id), "1100", "770"])
    poll(lambda: window.geometry()[0] >= 1100, "the drag source to move")
    return proc, window


def drop(d, path, target, what):
    """Drags PATH from the second program onto the screen point TARGET and
    returns the load-target dialog, or None when none opens."""
    proc, source = start_drag_source(d, path)
    # xdotool's search by process can name the drag source's window too.
    known = visible_ids(d) | {source.id}
    x, y, w, h = source.geometry()
    d.drag((x + w // 2, y + h // 2), target)
    try:
        dialog = new_window(d, known, "the load-target dialog after a drop onto " + what, timeout=8)
    except RoadFailure:
        dialog = None
    # The program has read the dragged names by now, or never will.
    proc.terminate()
    proc.wait(5)
    d.expect(dialog is not None, "a drop onto %s opened no load-target dialog" % what)
    if dialog is not None:
        d.expect(dialog.title() == "ダイアログ", "the load-target dialog's caption is %r" % dialog.title())
    return dialog


def road_drops(d):
    """Real drags from a second program onto the client area, an image
    window and the combo box: each opens the load-target dialog, the chosen
    slot gets the picture, and nothing lands in the combo box."""
    first = os.path.join(d.work, "first.bmp")
    second = os.path.join(d.work, "second.bmp")
    third = os.path.join(d.work, "third.bmp")
    write_solid_bmp(first, 50, 40, ORIGINAL_RGB)
    write_solid_bmp(second, 50, 40, EDITING_RGB)
    write_solid_bmp(third, 50, 40, THIRD_RGB)
    d.launch_vem()
    main = MainWindow(d)

    dialog = drop(d, first, main.free_client_point(), "the empty client area")
    if dialog:
        d.key("Return")
        d.wait_gone(dialog, "the load-target dialog to close")
        poll(lambda: len(picture_corners(d, ORIGINAL_RGB)) == 2, "the dropped file in the original and finished windows")

    corners = picture_corners(d, ORIGINAL_RGB)
    if corners:
        target = min(corners, key=lambda p: p[0] + p[1])
        dialog = drop(d, second, (target[0] + 10, target[1] + 10), "an image window")
        if dialog:
            dialog.click(*dialog_point(dialog, (313, 214), 24 + 8, 64 + 8))
            d.key("Return")
            d.wait_gone(dialog, "the load-target dialog to close")
            poll(lambda: len(picture_corners(d, EDITING_RGB)) == 1, "the dropped file in the editing window")
            d.expect(len(picture_corners(d, ORIGINAL_RGB)) == 2, "a drop for the editing picture changed another one")

    dialog = drop(d, third, main.toolbar(*COMBO), "the combo box")
    if dialog:
        d.key("Return")
        d.wait_gone(dialog, "the load-target dialog to close")
        poll(lambda: len(picture_corners(d, THIRD_RGB)) == 2, "the file dropped on the combo box as the original")
    settle(d)
    # Whatever the drop did, the combo box must still name the original
    # picture: the open command then loads one.
    open_by_typing(d, main, first)
    try:
        poll(lambda: len(picture_corners(d, ORIGINAL_RGB)) == 2, "Ctrl+O after the drops", timeout=5)
    except RoadFailure:
        d.expect(False, "Ctrl+O loaded nothing after the drop onto the combo box (the drop landed as text in it)")
    d.no_error_box("the drops")
    d.program_alive()


def hints_of(window):
    return window.prop("_NET_WM_ALLOWED_ACTIONS") or "", window.prop("_MOTIF_WM_HINTS")


# Motif hints: functions (second field) and decorations (third) that the
# program's dialogs never ask for.
MWM_FUNC_MINIMIZE, MWM_FUNC_MAXIMIZE = 0x08, 0x10
MWM_DECOR_MINIMIZE, MWM_DECOR_MAXIMIZE = 0x20, 0x40


def expect_hints(d, window, name, resizable):
    """Only a close box, and sizing only where RESIZABLE (True or False; None
    when either is fine).

    The window manager has the last word, and openbox adds a minimise button
    to every dialog and a maximise button to every resizable one whatever the
    hints say. So the hints themselves must ask for neither, a dialog that
    cannot be resized must not offer to maximise, and a dialog minimised
    anyway comes straight back: a minimised modal dialog would take the
    whole program off a screen without a task bar."""
    allowed, motif = hints_of(window)
    says = "%s: allowed actions %s; motif hints %s" % (name, allowed or "none", motif)
    d.expect("CLOSE" in allowed, "%s offers no close box (%s)" % (name, says))
    fields = [int(v, 16) for v in (motif or "").replace(" ", "").split(",") if v]
    if d.expect(len(fields) >= 3, "%s has no motif hints (%s)" % (name, says)):
        d.expect(not fields[1] & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE),
                 "%s asks to be minimised or maximised (%s)" % (name, says))
        d.expect(not fields[2] & (MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE),
                 "%s asks for a minimise or maximise button (%s)" % (name, says))
    if resizable is False:
        d.expect("MAXIMIZE" not in allowed, "%s offers a maximise button (%s)" % (name, says))
    if resizable is not None:
        d.expect(("RESIZE" in allowed) == resizable,
                 "%s %s resizable (%s)" % (name, "is not" if resizable else "is", says))
    d.run(["xdotool", "windowminimize", str(window.id)])
    try:
        poll(window.viewable, "%s to come back after being minimised" % name, timeout=5)
        poll(d.main.viewable, "the main window to come back with %s" % name, timeout=5)
    except RoadFailure:
        d.expect(False, "%s stayed minimised" % name)


def road_dialog_hints(d):
    """Each dialog asks the window manager for its close box alone, and for
    sizing only where it is resizable, and never stays minimised."""
    picture = os.path.join(d.work, "hint.bmp")
    write_solid_bmp(picture, 30, 20, ORIGINAL_RGB)
    d.launch_vem()
    main = MainWindow(d)

    known = visible_ids(d)
    main.press(*CONVERT_BUTTON)
    settings = new_window(d, known, "the settings dialog")
    expect_hints(d, settings, "the settings dialog", resizable=False)
    known = visible_ids(d)
    settings.click(*dialog_point(settings, (555, 171), 512 + 20, 72 + 8))
    colour = new_window(d, known, "the colour dialog")
    expect_hints(d, colour, "the colour dialog", resizable=None)
    d.key("Escape")
    d.wait_gone(colour, "the colour dialog to close")
    d.key("Escape")
    d.wait_gone(settings, "the settings dialog to close")

    known = visible_ids(d)
    d.key("ctrl+o")
    opened = new_window(d, known, "the open dialog")
    expect_hints(d, opened, "the open dialog", resizable=True)
    # Typing the name of a file beside selects its row in the list without
    # making it the current file, which is what previews; a click on the row
    # does. The preview button is then found by its glyph's sky colour.
    d.type("hint.bmp")
    x, y, w, h = opened.geometry()
    rows = poll(lambda: d.screenshot().corners(SELECTED_ROW_RGB, (x, y + 40, x + w, y + h)),
                "the typed name's row selected in the list", timeout=8)
    row = (rows[0][0] + 30, rows[0][1] + 5)
    # The first press only closes the name completer's list, if it is open.
    completer = [w for w in popups_left(d) if w.id != opened.id]
    if completer:
        d.click(*row)
        d.wait_gone(completer[0], "the name completer's list to close")
        # Not the second press of a double click, which would open the file.
        time.sleep(0.6)
    d.click(*row)
    sky = (160, 210, 255)
    try:
        glyph = poll(lambda: d.screenshot().corners(sky, (x, y, x + w, y + h)), "the preview button", timeout=8)
    except RoadFailure:
        glyph = None
    if d.expect(glyph is not None, "typing hint.bmp into the open dialog showed no preview button"):
        known = visible_ids(d)
        d.click(glyph[0][0] + 4, glyph[0][1] + 4)
        preview = new_window(d, known, "the preview window")
        expect_hints(d, preview, "the preview window", resizable=True)
        d.key("Escape")
        d.wait_gone(preview, "the preview window to close")
    # The first Escape may only close the file name completer's list.
    d.key("Escape")
    try:
        d.wait_gone(opened, "the open dialog to close", timeout=3)
    except RoadFailure:
        d.key("Escape")
        d.wait_gone(opened, "the open dialog to close")

    known = visible_ids(d)
    main.press(*SAVE_BUTTON)
    saved = new_window(d, known, "the save dialog")
    expect_hints(d, saved, "the save dialog", resizable=True)
    d.key("Escape")
    d.wait_gone(saved, "the save dialog to close")

    dialog = drop(d, picture, main.free_client_point(), "the client area")
    if dialog:
        expect_hints(d, dialog, "the load-target dialog", resizable=False)
        d.key("Escape")
        d.wait_gone(dialog, "the load-target dialog to close")

    open_by_typing(d, main, os.path.join(d.work, "missing.bmp"))
    box = poll(d.error_box, "the error box for a missing file")
    expect_hints(d, box, "the error box", resizable=False)
    d.key("Return")
    d.wait_gone(box, "the error box to close")
    d.program_alive()


def road_open_with(d):
    """vem FILE opens FILE as the original (and finished) picture once the
    windows show; of several files the first; a bad file gives the error box
    and the program goes on."""
    first = os.path.join(d.work, "start.bmp")
    other = os.path.join(d.work, "other.bmp")
    write_solid_bmp(first, 40, 30, ORIGINAL_RGB)
    write_solid_bmp(other, 40, 30, EDITING_RGB)
    # A name relative to the folder the program starts in, as a shell passes it.
    d.launch_vem("start.bmp", other)
    poll(lambda: len(picture_corners(d, ORIGINAL_RGB)) == 2, "the file given on the command line as original and finished")
    d.expect(not picture_corners(d, EDITING_RGB), "the second file given on the command line was loaded too")
    d.no_error_box("a start with a picture")
    d.close_vem()

    d.launch_vem("missing.bmp")
    box = poll(d.error_box, "the error box for a missing start file")
    d.key("Return")
    d.wait_gone(box, "the error box to close")
    d.program_alive()
    check(d.find_window("^ヴェム～VEM～") is not None, "the main window is gone after the error box")


def frame_run(shot, corner, dx, dy, rgb):
    """Length of the run of RGB from CORNER in direction (DX, DY)."""
    x, y = corner
    n = 0
    while 0 <= x < shot.width and 0 <= y < shot.height and shot.rgb(x, y) == rgb:
        x, y, n = x + dx, y + dy, n + 1
    return n


def road_zoom(d):
    """Ctrl+0 fits the windows side by side; a right click on a known pixel of
    the zoomed original erases the same region as vem-cli erase at that pixel,
    byte for byte; Ctrl with the wheel and the zoom keys keep the program whole."""
    width, height = 48, 32

    def pixel(x, y):
        if x in (0, width - 1) or y in (0, height - 1):
            return FRAME_RGB
        return ORIGINAL_RGB if x < width // 2 else EDITING_RGB

    picture = os.path.join(d.work, "zoom.bmp")
    with open(picture, "wb") as f:
        f.write(bmp24(width, height, pixel))
    target = (12, 20)
    expected = os.path.join(d.work, "expected.bmp")
    cli("erase", "--original", picture, "--editing", picture, "--at", "%d,%d" % target, "--out", expected)

    d.launch_vem()
    main = MainWindow(d)
    open_by_typing(d, main, picture)
    poll(lambda: len(picture_corners(d, FRAME_RGB)) >= 2, "the picture in the original and finished windows")
    main.press(*BUTTON2)
    main.press(*CHECKBOX1)
    before = d.screenshot()
    d.key("ctrl+0")
    settle(d, before, "the fitted view")
    shot = d.screenshot()
    # The original is the leftmost window; the picture's frame gives its place and scale.
    corner = min(shot.corners(FRAME_RGB), key=lambda p: p[0])
    across, down = frame_run(shot, corner, 1, 0, FRAME_RGB), frame_run(shot, corner, 0, 1, FRAME_RGB)
    check(across > 2 * width and down > 2 * height, "the fitted picture is %dx%d on the screen" % (across, down))
    point = (corner[0] + int((target[0] + 0.5) * across / width), corner[1] + int((target[1] + 0.5) * down / height))
    before = d.screenshot()
    d.click(*point, button=3)
    settle(d, before, "the right click in the fitted view to change a picture")
    d.no_error_box("a right click in the fitted view")
    saved = os.path.join(d.work, "saved.bmp")
    save_by_typing(d, main, SAVE_BUTTON, saved)
    check(filecmp.cmp(saved, expected, shallow=False),
          "a right click in the fitted view saved other bytes than vem-cli erase --at %d,%d" % target)

    # Zooming around the pointer with the wheel, then the keys, back to 100 %.
    d.move(*point)
    d.run(["xdotool", "keydown", "ctrl", "click", "5", "click", "5", "click", "4", "keyup", "ctrl"])
    d.key("ctrl+minus", "ctrl+equal", "ctrl+1")
    poll(lambda: len(frame_corners_at_100(d, width)) >= 1, "the pictures at 100 % again")
    d.no_error_box("zooming")
    d.program_alive()


def road_random_input(d):
    """A few hundred seeded random presses, wheel turns (with and without Ctrl),
    zoom keys, typed texts and tool bar commands; every window they open is
    closed again with Escape. The program must stay alive and leave HOME as it
    was. VEM_DESKTOP_SEED replays a printed seed, VEM_DESKTOP_STEPS sets the
    number of steps (default 240)."""
    seed = int(os.environ.get("VEM_DESKTOP_SEED") or time.time_ns() % 1000000007)
    steps = int(os.environ.get("VEM_DESKTOP_STEPS") or 240)
    print("random input: seed %d, %d steps (replay: VEM_DESKTOP_SEED=%d VEM_DESKTOP_STEPS=%d)" % (seed, steps, seed, steps),
          flush=True)
    rng = random.Random(seed)
    picture = os.path.join(d.work, "random.bmp")
    with open(picture, "wb") as f:
        f.write(bmp24(60, 40, lambda x, y: ORIGINAL_RGB if (x // 7 + y // 5) % 3 else EDITING_RGB))
    d.launch_vem(picture)
    poll(lambda: len(picture_corners(d, ORIGINAL_RGB)) >= 2, "the picture given on the command line")
    main = MainWindow(d)
    known = visible_ids(d)
    left, top, right, bottom = main.area
    keys = ["ctrl+plus", "ctrl+equal", "ctrl+semicolon", "ctrl+minus", "ctrl+1", "ctrl+0", "Tab", "space", "Escape"]
    buttons = [OPEN_BUTTON, SAVE_BUTTON, CASCADE_BUTTON, TILE_H_BUTTON, TILE_V_BUTTON, CONVERT_BUTTON, CHECKBOX1,
               CHECKBOX2, BUTTON2, BUTTON3, BUTTON1]
    for step in range(steps):
        kind = rng.random()
        x, y = rng.randrange(left, right), rng.randrange(top, bottom)
        if kind < 0.45:
            d.click(x, y, rng.choice((1, 1, 3, 3, 2)), repeat=rng.choice((1, 1, 2)))
        elif kind < 0.6:
            d.move(x, y)
            turn = ["click", rng.choice(("4", "5"))] * rng.randrange(1, 3)
            d.run(["xdotool", *(["keydown", "ctrl"] if rng.random() < 0.7 else []), *turn, "keyup", "ctrl"])
        elif kind < 0.8:
            d.key(rng.choice(keys))
        elif kind < 0.9:
            d.type("".join(rng.choice("0123456789abc-,.") for _ in range(rng.randrange(1, 6))))
        else:
            main.press(*rng.choice(buttons))
        # Whatever the step opened (a file dialog, the settings, an error box)
        # is closed again before the next one.
        for _ in range(5):
            fresh = visible_ids(d) - known
            if not fresh:
                break
            d.key("Escape")
            time.sleep(0.2)
        check(not (visible_ids(d) - known), "step %d (seed %d) left a window open" % (step, seed))
        d.program_alive()


def frame_corners_at_100(d, width):
    shot = d.screenshot()
    return [c for c in shot.corners(FRAME_RGB) if frame_run(shot, c, 1, 0, FRAME_RGB) == width]


ROADS = {
    "zoom": road_zoom,
    "random_input": road_random_input,
    "type_name_and_enter": road_type_name_and_enter,
    "whole_road": road_whole,
    "png_export": road_png_export,
    "placement_and_window_commands": road_placement_and_window_commands,
    "drops": road_drops,
    "dialog_hints": road_dialog_hints,
    "open_with": road_open_with,
    "undo_redo": road_undo_redo,
}


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--vem", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--drag-source", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("road", choices=sorted(ROADS))
    OPTIONS = parser.parse_args()
    d = Desktop(OPTIONS.road, OPTIONS.artifacts, OPTIONS.vem)
    try:
        d.start()
        ROADS[OPTIONS.road](d)
        check(not d.findings, "; ".join(d.findings))
        # Nothing of any road may be stored in HOME, during the run or after it.
        d.check_home_untouched()
        d.close()
        d.check_home_untouched()
    except Exception:
        traceback.print_exc()
        saved = d.save_failure()
        print("road %s failed; kept:\n  %s" % (OPTIONS.road, "\n  ".join(saved)))
        return 1
    finally:
        d.cleanup()
    print("road %s passed" % OPTIONS.road)
    return 0


if __name__ == "__main__":
    sys.exit(main())
