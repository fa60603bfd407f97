"""Whole runs with the scripted engine: the status line and the bar follow
the engine, and success hands over to the game."""

import re
import time
import unittest

from harness import Installation, Window, message_box, wait_for_message_box, wait_until, watch_window, xdotool

LABEL1 = (104, 64, 385, 25)
BAR = (112, 88, 361, 17)
PROGRESS_TEXT = re.compile(r"^-?[0-9.]+ (B|KB|MB|GB) / 50 MB a -?[0-9.]+ (B|KB|MB|GB)/s$")


def observe(install, until_exit=20):
    """The states of the status line and the bar until the program ends, in
    order, without repeats. The tab strip and the rich text box must stay
    hidden throughout."""
    states, shown = watch_window(until_exit)
    assert not shown, f"controls that must stay hidden showed at {shown}"
    return states


class WholeRun(unittest.TestCase):
    def test_update_then_hand_over_to_the_game(self):
        install = Installation(
            "start 0\n"
            "0 status 3\n"
            "1500 status 4 total 52428800\n"
            "1600 done 300000\n"
            "3200 done 1500000\n"
            "4800 done 3000000\n"
            "6000 status 1\n").start()
        try:
            self.assertTrue(install.wait_for_window())
            seen = observe(install)
            self.assertIsNotNone(install.wait_for_exit(5), f"the program did not end; saw {seen}")
            lines = [text for text, _ in seen]
            self.assertIn("Buscando cambios...", lines)
            self.assertIn("Bajando cambios", lines)
            self.assertIn("Actualizacion OK", lines)
            self.assertLess(lines.index("Buscando cambios..."), lines.index("Bajando cambios"))
            self.assertLess(lines.index("Bajando cambios"), lines.index("Actualizacion OK"))
            bars = [bar for _, bar in seen if bar]
            self.assertTrue(bars, f"the bar never showed: {seen}")
            for bar in bars:
                self.assertRegex(bar, PROGRESS_TEXT)
            for text, bar in seen:
                if text != "Bajando cambios":
                    self.assertIsNone(bar, f"bar shown with status line {text!r}")
            self.assertEqual(len(install.engine_calls("VelUpdaterCleanup")), 1)
            # The game runs on its own and may log after the updater has gone.
            starts = wait_until(install.game_starts, 5)
            self.assertEqual(len(starts), 1, starts)
            self.assertEqual(starts[0].split("\t")[0], "velmora.exe /NOUPDATE")
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


class MissingGame(unittest.TestCase):
    def assert_reports_missing_game(self, install):
        try:
            box = wait_for_message_box(20)
            self.assertIsNotNone(box, "no message")
            self.assertEqual(box["caption"], "Updater")
            self.assertEqual(box["text"], "No se encuentra velmora.exe")
            self.assertEqual(box["icon"], "0")
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
        self.assert_reports_missing_game(Installation("start 0\n0 status 1\n", game=False).start())

    def test_hidden_game_counts_as_absent(self):
        install = Installation("start 0\n0 status 1\n")
        install.hide_game()
        self.assert_reports_missing_game(install.start())


if __name__ == "__main__":
    unittest.main()
