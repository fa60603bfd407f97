"""Whole runs with the scripted engine: the status line and the bar follow
the engine, and success hands over to the game or says why it cannot."""

import os
import time
import unittest

from harness import (Installation, Window, message_box, wait_for_message_box, wait_until, watch_window,
                     windows_path, xdotool)

LABEL1 = (104, 64, 385, 25)
BAR = (112, 88, 361, 17)

# The refresh runs every 0.5 s and the rate sample every 1.5 s, both timed
# from the engine's start (the window starts them just before). The engine
# writes half-way between two samples and between two refreshes, so each bar
# text below lasts at least 0.75 s with a refresh 0.25 s from either end. A
# rate is the bytes done since the previous sample over 1.5 s, rounded:
# 400 / 1.5 = 266.67 -> 267, 200 / 1.5 = 133.33 -> 133, 301 / 1.5 = 200.67
# -> 201.
DOWNLOAD = ("start 0\n"
            "0 status 3\n"
            "2250 status 4 total 52428800 done 400\n"
            "3750 done 600\n"
            "5250 done 901\n"
            "6750 status 1\n")
DOWNLOAD_BARS = [
    "400 B / 50 MB a 0 B/s",
    "400 B / 50 MB a 267 B/s",
    "600 B / 50 MB a 267 B/s",
    "600 B / 50 MB a 133 B/s",
    "901 B / 50 MB a 133 B/s",
    "901 B / 50 MB a 201 B/s",
]


def observe(install, until_exit=20):
    """The states of the status line and the bar until the program ends, in
    order, without repeats. The tab strip and the rich text box must stay
    hidden throughout."""
    states, shown = watch_window(until_exit)
    assert not shown, f"controls that must stay hidden showed at {shown}"
    return states


def without_repeats(values):
    return [v for i, v in enumerate(values) if i == 0 or values[i - 1] != v]


def engine_log(install, name):
    """The scripted engine's lines for one call or write, as key=value dicts."""
    return [dict(part.split("=", 1) for part in line.split("\t")[1:]) for line in install.engine_calls(name)]


class WholeRun(unittest.TestCase):
    def test_update_then_hand_over_to_the_game(self):
        install = Installation(DOWNLOAD).start()
        try:
            self.assertTrue(install.wait_for_window())
            # The engine is initialised from libs and started from the
            # application folder.
            app, libs = windows_path(install.app), windows_path(install.libs)
            self.assertEqual([c["cwd"] for c in engine_log(install, "VelUpdaterInit")], [libs])
            self.assertEqual([c["cwd"] for c in engine_log(install, "VelUpdateStart")], [app])
            seen = observe(install)
            self.assertIsNotNone(install.wait_for_exit(5), f"the program did not end; saw {seen}")
            lines = without_repeats([text for text, _ in seen if text])
            self.assertEqual(lines, ["Buscando cambios...", "Bajando cambios", "Actualizacion OK"])
            self.assertEqual([bar for _, bar in seen if bar], DOWNLOAD_BARS)
            for text, bar in seen:
                if text != "Bajando cambios":
                    self.assertIsNone(bar, f"bar shown with status line {text!r}")

            # Status 1 is written 0.25 s before the refresh that sees it and
            # arms the hand-over timer, which fires 1 s later: about 1.25 s
            # in all. By then the window is hidden, and the engine is
            # released before the game starts.
            finished = [w for w in engine_log(install, "Write") if w.get("status") == "1"]
            cleanup = engine_log(install, "VelUpdaterCleanup")
            self.assertEqual(len(cleanup), 1)
            delay = int(cleanup[0]["tick"]) - int(finished[0]["tick"])
            self.assertTrue(900 <= delay <= 1700, f"hand-over {delay} ms after status 1")
            self.assertEqual((cleanup[0]["window"], cleanup[0]["game"]), ("hidden", "none"))
            # The game runs on its own and may log after the updater has gone.
            starts = wait_until(install.game_starts, 5)
            self.assertEqual(starts, [f"velmora.exe /NOUPDATE\t{app}\tshow=1"])
        finally:
            install.close()

    def test_status_leaving_success_before_the_hand_over_still_hands_over(self):
        install = Installation("start 0\n0 status 1\n800 status 3\n").start()
        try:
            self.assertIsNotNone(install.wait_for_exit(15), "the program did not end")
            self.assertEqual(len(wait_until(install.game_starts, 5)), 1)
            self.assertEqual(len(install.engine_calls("VelUpdaterCleanup")), 1)
        finally:
            install.close()


class ErrorStatus(unittest.TestCase):
    def test_error_shows_its_message_without_bar_until_cancel(self):
        install = Installation("start 0\n0 status 4 total 1000 done 500\n700 status -7\n").start()
        try:
            self.assertTrue(install.wait_for_window())
            window = wait_until(lambda: (lambda w: w if w and w.child_at(LABEL1)["text"] == "ERROR: Archivo incorrecto"
                                         else None)(Window.read()), 10, step=0.3)
            self.assertIsNotNone(window, "the error never showed")
            self.assertFalse(window.child_at(BAR)["visible"])
            time.sleep(1.5)
            self.assertTrue(install.running(), "the program ended by itself")
            x, y = window.origin
            xdotool("mousemove", x + 300, y + 190)
            time.sleep(0.2)
            xdotool("click", 1)
            self.assertIsNotNone(install.wait_for_exit(10))
            self.assertEqual(len(install.engine_calls("VelUpdaterCleanup")), 1)
            self.assertEqual(install.game_starts(), [])
        finally:
            install.close()


class GameNotStarted(unittest.TestCase):
    def assert_reported(self, install, text_pattern):
        """One message box in place of the game, after the window has gone and
        the engine has been released once; the program ends when it is
        confirmed."""
        try:
            box = wait_for_message_box(20)
            self.assertIsNotNone(box, "no message")
            self.assertEqual(box["caption"], "Updater")
            self.assertRegex(box["text"], text_pattern)
            self.assertEqual((box["icon"], box["buttons"]), ("0", "1"))
            window = Window.read()
            self.assertFalse(window and window.visible, "the window is still shown")
            self.assertEqual(len(install.engine_calls("VelUpdaterCleanup")), 1)
            time.sleep(1.5)
            self.assertEqual(len(install.engine_calls("VelUpdaterCleanup")), 1, "released again")
            message_box(press_ok=True)
            self.assertIsNotNone(install.wait_for_exit(10))
            self.assertEqual(install.game_starts(), [])
            self.assertIsNone(wait_for_message_box(1), "a second message")
        finally:
            install.close()

    def test_absent_game_is_reported(self):
        self.assert_reported(Installation("start 0\n0 status 1\n", game=False).start(),
                             r"^No se encuentra velmora\.exe$")

    def test_hidden_game_counts_as_absent(self):
        install = Installation("start 0\n0 status 1\n")
        install.hide_game()
        self.assert_reported(install.start(), r"^No se encuentra velmora\.exe$")

    def test_game_that_cannot_start_is_reported_by_its_error(self):
        install = Installation("start 0\n0 status 1\n", game=False)
        with open(os.path.join(install.app, "velmora.exe"), "w") as f:
            f.write("not a program\n")
        # 193, ERROR_BAD_EXE_FORMAT, with the system's description naming the
        # program where the description has a place for it.
        self.assert_reported(install.start(), r"^Error 193: [^%]*velmora\.exe")


if __name__ == "__main__":
    unittest.main()
