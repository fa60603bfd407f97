"""The window as the player sees it: geometry, skin, controls, the status
line's look, dragging, the Cancel area, closing, failure reports, and a
failed engine start."""

import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest

from harness import (BUILD, DIST, Installation, Window, message_box, probe, screenshot, wait_for_message_box,
                     wait_until, wine, xdotool)

SKIN = os.path.join(os.environ["VELMORA_SOURCE"], "src", "window", "assets", "skin.bmp")
CLIENT = (604, 229)
LABEL1 = (104, 64, 385, 25)
BAR = (112, 88, 361, 17)
TAB_STRIP = (464, 152, 73, 57)
RICH_TEXT = (528, 40, 49, 65)


def read_skin():
    """The skin's pixels as 8-bit RGB rows, top row first."""
    with open(SKIN, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 2 + 3) & ~3
    rows = []
    for y in range(height):
        row = []
        base = offset + (height - 1 - y) * stride
        for x in range(width):
            p, = struct.unpack_from("<H", data, base + 2 * x)
            row.append((((p >> 10) & 31) * 255 // 31, ((p >> 5) & 31) * 255 // 31, (p & 31) * 255 // 31))
        rows.append(row)
    return rows


def near(a, b, tolerance=9):
    return max(abs(x - y) for x, y in zip(a, b)) <= tolerance


def read_screen(crop):
    """The screen's pixels in the crop rectangle as RGB rows."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "shot.ppm")
        screenshot(path, crop)
        with open(path, "rb") as f:
            data = f.read()
    # Binary PPM: "P6", width, height and maximum, each followed by one
    # whitespace byte, then the pixels (which may begin with whitespace bytes
    # themselves, so the header is read field by field).
    fields, position = [], 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end + 1
    width, height = int(fields[1]), int(fields[2])
    pixels = data[position:]
    return [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


class OpenWindow(unittest.TestCase):
    """One run whose engine reports nothing: the window as loaded."""

    @classmethod
    def setUpClass(cls):
        cls.install = Installation("start 0\n").start()
        assert cls.install.wait_for_window(), "the window did not appear"
        cls.window = Window.read()

    @classmethod
    def tearDownClass(cls):
        cls.install.close()

    def test_borderless_client_area_of_the_skin_size_centred(self):
        w = self.window
        self.assertEqual(w.values["title"], "VELUpdater")
        _, _, cw, ch = w.rect("client")
        self.assertEqual((cw, ch), CLIENT)
        x, y, ww, wh = w.rect("window")
        self.assertEqual((ww, wh), CLIENT, "the window has a frame")
        self.assertEqual(w.origin, (x, y))
        sw, sh = (int(n) for n in w.values["screen"].split(","))
        self.assertEqual((x, y), ((sw - CLIENT[0]) // 2, (sh - CLIENT[1]) // 2))
        style = int(w.values["style"], 16)
        self.assertEqual(style & 0x00C00000, 0, "caption")       # WS_CAPTION
        self.assertEqual(style & 0x00040000, 0, "sizing frame")  # WS_THICKFRAME

    def test_status_line_empty_and_bar_hidden(self):
        label = self.window.child_at(LABEL1)
        self.assertIsNotNone(label, self.window.children())
        self.assertTrue(label["visible"])
        self.assertEqual(label["text"], "")
        bar = self.window.child_at(BAR)
        self.assertIsNotNone(bar, self.window.children())
        self.assertFalse(bar["visible"])

    def test_tab_strip_and_rich_text_box_exist_hidden(self):
        for rect in (TAB_STRIP, RICH_TEXT):
            child = self.window.child_at(rect)
            self.assertIsNotNone(child, f"no control at {rect}: {self.window.children()}")
            self.assertFalse(child["visible"], rect)

    def test_skin_is_drawn_unscaled_at_the_top_left_corner(self):
        x, y = self.window.origin
        screen = read_screen((x, y) + CLIENT)
        skin = read_skin()
        self.assertEqual((len(screen), len(screen[0])), (CLIENT[1], CLIENT[0]))
        # Every pixel matches within the rounding of 5-bit colour channels.
        mismatches = [(px, py) for py in range(CLIENT[1]) for px in range(CLIENT[0])
                      if max(abs(a - b) for a, b in zip(screen[py][px], skin[py][px])) > 9]
        self.assertEqual(mismatches[:5], [], f"{len(mismatches)} pixels differ from the skin")


class WhileDownloading(unittest.TestCase):
    """One run whose engine downloads: the status line and the bar shown."""

    @classmethod
    def setUpClass(cls):
        cls.install = Installation("start 0\n0 status 4 total 1000 done 300\n").start()
        assert cls.install.wait_for_window(), "the window did not appear"
        assert wait_until(lambda: (Window.read().child_at(BAR) or {}).get("visible"), 10), "no bar"
        cls.window = Window.read()

    @classmethod
    def tearDownClass(cls):
        cls.install.close()

    def test_bar_lies_above_the_status_line_on_the_row_they_share(self):
        x, y = self.window.origin
        rows = read_screen((x + BAR[0], y + BAR[1], BAR[2], 2))
        # The bar paints its whole height above its text; the status line's
        # skin must not cover its top row.
        covered = [px for px in range(BAR[2]) if not near(rows[0][px], rows[1][px])]
        self.assertEqual(covered[:5], [], f"{len(covered)} pixels of the bar's top row are covered")

    def test_status_line_is_light_grey_bold_trebuchet_centred_in_its_box(self):
        label = self.window.child_at(LABEL1)
        self.assertEqual(label["text"], "Bajando cambios")
        x, y = self.window.origin
        left, top, width, height = LABEL1
        # Only the label's own rows: its last row is the bar's.
        screen = read_screen((x + left, y + top, width, height - 1))
        skin = read_skin()
        ink = [(px, py) for py in range(height - 1) for px in range(width)
               if not near(screen[py][px], skin[top + py][left + px], 40)]
        self.assertTrue(ink, "no text drawn")
        colours = {}
        for px, py in ink:
            colours[screen[py][px]] = colours.get(screen[py][px], 0) + 1
        self.assertTrue(near(max(colours, key=colours.get), (224, 224, 224)), colours)
        xs = [px for px, _ in ink]
        ink_left, ink_right = min(xs), max(xs) + 1
        # Centred: as much room on either side, to a pixel of rounding.
        self.assertLessEqual(abs(ink_left - (width - ink_right)), 2, (ink_left, ink_right))
        # The font's own width of the text, measured in the status line's
        # font by another program; a regular weight or another size would
        # be several pixels off.
        _, extent = probe("textwidth", "Bajando cambios")
        self.assertLessEqual(abs((ink_right - ink_left) - int(extent["width"])), 2, (ink_left, ink_right, extent))
        ys = [py for _, py in ink]
        self.assertLessEqual(max(ys) - min(ys) + 1, int(extent["height"]))


class Dragging(unittest.TestCase):
    def setUp(self):
        self.install = Installation("start 0\n").start()
        self.assertTrue(self.install.wait_for_window())

    def tearDown(self):
        self.install.close()

    @staticmethod
    def pointer(*steps):
        """Plays pointer steps given in window coordinates: ("move", x, y),
        ("down", button) or ("up", button), each followed by a short pause."""
        x, y = Window.read().origin
        for kind, *values in steps:
            if kind == "move":
                xdotool("mousemove", x + values[0], y + values[1])
            else:
                xdotool("mouse" + kind, values[0])
            time.sleep(0.2)

    def drag(self, start, offset, button=1):
        """Presses at start (window coordinates), moves by offset with the
        button held, releases, and moves once more to end a left-over drag.
        Returns the window's origin before and after."""
        before = Window.read().origin
        moves = [("move", start[0] + offset[0] * step // 4, start[1] + offset[1] * step // 4) for step in range(1, 5)]
        # Every later point is taken from the window's first place.
        self.pointer(("move", *start), ("down", button), *moves, ("up", button),
                     ("move", start[0] + offset[0] + 3, start[1] + offset[1] + 3))
        return before, Window.read().origin

    def test_presses_drag_only_from_the_surface_and_with_the_left_button_held(self):
        # (press point, displacement, button, whether the window follows)
        # The right-button case follows a left drag that a move with the
        # button up ended, so the left button's "pressed since the last
        # query" bit is clear when its first move asks.
        cases = [((20, 20), (20, 10), 1, True),
                 ((20, 20), (25, 15), 3, False),     # right button: the first move ends it
                 ((231, 190), (-30, 12), 1, True),   # just left of the Cancel area
                 ((300, 70), (40, 30), 1, False),    # the status line
                 ((300, 190), (40, 30), 1, False)]   # the Cancel area, released outside it
        for start, offset, button, follows in cases:
            with self.subTest(start=start, button=button):
                before, after = self.drag(start, offset, button)
                expected = (before[0] + offset[0], before[1] + offset[1]) if follows else before
                self.assertEqual(after, expected)
        self.assertTrue(self.install.running())

    def test_swapped_buttons_drag_with_the_primary_one(self):
        # With the buttons swapped the physical right button is the primary
        # one; the physical left one does not drag.
        key = "HKCU\\Control Panel\\Mouse"
        self.install.close()
        wine("reg", "add", key, "/v", "SwapMouseButtons", "/d", "1", "/f")
        try:
            self.install = Installation("start 0\n").start()
            self.assertTrue(self.install.wait_for_window())
            for button, follows in ((3, True), (1, False)):
                with self.subTest(button=button):
                    before, after = self.drag((20, 20), (20, 10), button)
                    self.assertEqual(after, (before[0] + 20, before[1] + 10) if follows else before)
        finally:
            wine("reg", "add", key, "/v", "SwapMouseButtons", "/d", "0", "/f")

    def test_press_on_the_status_line_after_a_drag_without_a_move_between(self):
        # A pointer that jumps (a pen, a touch screen): a drag on the surface
        # ends with the release, then the next press lands on the status line
        # and, still held, moves off it onto the surface.
        x, y = Window.read().origin
        self.pointer(("move", 20, 20), ("down", 1), ("move", 40, 30), ("up", 1))
        dragged = Window.read().origin
        self.assertEqual(dragged, (x + 20, y + 10))
        self.pointer(("move", 300, 70), ("down", 1), ("move", 300, 120), ("move", 350, 140))
        self.assertEqual(Window.read().origin, dragged, "moved while the press held the status line")
        self.pointer(("up", 1), ("move", 360, 150))
        self.assertEqual(Window.read().origin, dragged, "moved after the press on the status line")


class CancelArea(unittest.TestCase):
    def setUp(self):
        self.install = Installation("start 0\n0 status 4\n").start()
        self.assertTrue(self.install.wait_for_window())

    def tearDown(self):
        self.install.close()

    def click(self, point):
        x, y = Window.read().origin
        xdotool("mousemove", x + point[0], y + point[1])
        time.sleep(0.2)
        xdotool("click", 1)

    def assert_ends_with_one_cleanup(self, point):
        self.click(point)
        self.assertIsNotNone(self.install.wait_for_exit(10), "the program did not end")
        self.assertEqual(len(self.install.engine_calls("VelUpdaterCleanup")), 1)

    def test_click_on_the_top_left_corner_ends_with_one_cleanup(self):
        self.assert_ends_with_one_cleanup((232, 176))

    def test_click_on_the_bottom_right_corner_ends_with_one_cleanup(self):
        self.assert_ends_with_one_cleanup((368, 208))

    def test_click_just_outside_does_not_end(self):
        self.click((231, 190))
        time.sleep(1.5)
        self.assertTrue(self.install.running())
        self.assertEqual(self.install.engine_calls("VelUpdaterCleanup"), [])


class Closing(unittest.TestCase):
    def setUp(self):
        self.install = Installation("start 0\n").start()
        self.assertTrue(self.install.wait_for_window())

    def tearDown(self):
        self.install.close()

    def assert_ended_with_one_cleanup(self):
        self.assertIsNotNone(self.install.wait_for_exit(10), "the program did not end")
        self.assertEqual(len(self.install.engine_calls("VelUpdaterCleanup")), 1)

    def test_closing_the_window_otherwise_cleans_up_once(self):
        self.assertEqual(probe("close")[0], 0)
        self.assert_ended_with_one_cleanup()

    def test_alt_f4_closes_through_the_unload(self):
        x, y = Window.read().origin
        xdotool("mousemove", x + 20, y + 20)
        xdotool("click", 1)
        xdotool("key", "alt+F4")
        self.assert_ended_with_one_cleanup()

    def test_end_of_session_cleans_up_and_a_close_after_it_not_again(self):
        self.assertEqual(probe("endsession")[0], 0)
        self.assertEqual(len(self.install.engine_calls("VelUpdaterCleanup")), 1)
        self.assertEqual(probe("close")[0], 0)
        self.assert_ended_with_one_cleanup()


class FailureReport(unittest.TestCase):
    def test_report_belongs_to_the_window_and_stays_the_only_one(self):
        # An engine without its cleanup function: the Cancel area's call
        # fails, and the failure ends the program after its report.
        install = Installation("start 0\n")
        shutil.copy(os.path.join(BUILD, "fixtures", "scripted_engine", "partial_engine.dll"),
                    os.path.join(install.libs, "comp.dll"))
        try:
            install.start()
            self.assertTrue(install.wait_for_window())
            x, y = Window.read().origin
            xdotool("mousemove", x + 300, y + 190)
            time.sleep(0.2)
            xdotool("click", 1)
            box = wait_for_message_box()
            self.assertIsNotNone(box, "no failure report")
            self.assertTrue(box["text"].startswith("Error 127"), box["text"])
            self.assertEqual(box["owner"], "VELUpdater")
            self.assertEqual(Window.read().values["enabled"], "0")
            # Another close, and a timer's ticks, while the report is open.
            self.assertEqual(probe("close")[0], 0)
            xdotool("click", 1)
            time.sleep(1.5)
            self.assertEqual(message_box()["count"], "1")
            message_box(press_ok=True)
            self.assertIsNotNone(install.wait_for_exit(10), "the program did not end")
        finally:
            install.close()


class EngineStart(unittest.TestCase):
    def test_engine_initialised_by_a_failed_load_is_released_before_the_next(self):
        install = Installation("start 0\n", regsvr32_recorder=True)
        shutil.copy(os.path.join(BUILD, "fixtures", "scripted_engine", "engine_without_start.dll"),
                    os.path.join(install.libs, "comp.dll"))
        try:
            install.start()
            box = wait_for_message_box(30)
            self.assertIsNotNone(box, "no failure report")
            self.assertTrue(box["text"].startswith("Error 127"), box["text"])
            message_box(press_ok=True)
            self.assertIsNotNone(install.wait_for_exit(10), "the program did not end")
            calls = [line.split("\t")[0] for line in install.log_lines("comp-log.txt")]
            self.assertEqual(calls, ["VelUpdaterInit", "VelUpdaterCleanup"] * 2)
        finally:
            install.close()


    def test_failed_start_reports_its_number_before_the_window_shows(self):
        install = Installation("start -1\n").start()
        try:
            box = wait_for_message_box()
            self.assertIsNotNone(box, "no message box")
            self.assertEqual(box["caption"], "Updater")
            self.assertEqual(box["text"], "ERROR: -1")
            self.assertEqual(box["icon"], "0")
            self.assertEqual(box["buttons"], "1")
            window = Window.read()
            self.assertFalse(window is not None and window.visible, "the window showed before the message")
            message_box(press_ok=True)
            self.assertTrue(install.wait_for_window())
            start = install.engine_calls("VelUpdateStart")
            self.assertEqual(len(start), 1)
            self.assertIn("\turl=http://", start[0])
            self.assertIn("/oficial/gamedata.vel\t", start[0])
            self.assertIn("\tpath=libs\\gamedata.vel\t", start[0])
        finally:
            install.close()


if __name__ == "__main__":
    unittest.main()
