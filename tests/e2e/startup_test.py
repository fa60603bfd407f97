"""Starting the program: registration of the controls, the missing libs
folder, a control that never registers, and a second start while one
runs."""

import os
import subprocess
import time
import unittest

from harness import (BARE_WINDOW, FOLDER_OUTSIDE_1252, LOCALE_1252, Installation, Window, message_box,
                     registered_server, unregister_controls, wait_for_message_box, wait_until, windows_path)


def folder_state(folder):
    """Each file of the folder with its size and modification time."""
    return {entry.name: (entry.stat().st_size, entry.stat().st_mtime_ns) for entry in os.scandir(folder)}


class Start(unittest.TestCase):
    def test_start_from_a_folder_with_a_blank_registers_and_shows(self):
        unregister_controls()
        install = Installation("start 0\n", folder_name="Velmora Game")
        try:
            install.start()
            self.assertTrue(install.wait_for_window(), "the window did not appear")
            for prog_id, control in (("MBProgressBar.ProgressBar", "mbprgbar.ocx"),
                                     ("MSComctlLib.TabStrip", "mscomctl.ocx"),
                                     ("RichTextLib.RichTextBox", "richtx32.ocx")):
                server = registered_server(prog_id)
                self.assertIsNotNone(server, prog_id)
                self.assertEqual(server.lower(), windows_path(os.path.join(install.libs, control)).lower())
            self.assertIsNone(message_box(), "a message was shown")
        finally:
            install.close()

    def test_missing_libs_folder_shows_one_message_and_starts_nothing(self):
        install = Installation(libs=False, regsvr32_recorder=True)
        try:
            install.start()
            box = wait_for_message_box()
            self.assertIsNotNone(box, "no message")
            self.assertEqual(box["caption"], "Velmora Updater")
            self.assertEqual(box["text"], "Faltan las librerías del programa. "
                                          "Asegúrate de extraer el updater con sus librerías.")
            self.assertEqual(box["icon"], "0")
            message_box(press_ok=True)
            self.assertIsNotNone(install.wait_for_exit(10), "the program did not end")
            self.assertIsNone(Window.read())
            self.assertEqual(install.regsvr32_starts(), [])
        finally:
            install.close()

    def test_control_that_never_registers_ends_after_two_passes_without_window(self):
        unregister_controls()
        # In a folder outside the code page, so that the fallback's command
        # lines must carry its name whole.
        install = Installation("start 0\n", regsvr32_recorder=True, folder_name=FOLDER_OUTSIDE_1252,
                               locale=LOCALE_1252)
        install.replace_control("mbprgbar.ocx", "failing_control.ocx")
        try:
            install.start()
            box = None
            deadline = time.monotonic() + 30
            while box is None and time.monotonic() < deadline:
                window = Window.read()
                self.assertFalse(window is not None and window.visible, "a window was shown")
                box = message_box()
            self.assertIsNotNone(box, "no failure report")
            self.assertEqual(box["caption"], "Updater")
            self.assertTrue(box["text"].startswith("Error 0x"), box["text"])
            message_box(press_ok=True)
            self.assertIsNotNone(install.wait_for_exit(10), "the program did not end")
            # The first failed load falls back to regsvr32 for all three (they
            # run at once, so they log in any order); the second failure ends
            # the program before another fallback.
            arguments = sorted(start.split("\targ2=")[1].split("\t")[0] for start in install.regsvr32_starts())
            expected = sorted(windows_path(os.path.join(install.libs, control))
                              for control in ("mbprgbar.ocx", "mscomctl.ocx", "richtx32.ocx"))
            self.assertEqual(arguments, expected)
            self.assertEqual(install.engine_calls("VelUpdaterInit"), [])
        finally:
            install.close()


class SecondStart(unittest.TestCase):
    def test_second_start_brings_the_first_forward_and_ends_quietly(self):
        install = Installation("start 0\n").start()
        other = second = None
        try:
            self.assertTrue(install.wait_for_window(), "the window did not appear")
            # Another program's window goes in front of the updater's.
            other = subprocess.Popen(["wine", BARE_WINDOW], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.assertTrue(wait_until(lambda: (lambda w: w and not w.foreground)(Window.read()), 10),
                            "the updater stayed in front")
            # libs as the running updater's switch of the engine leaves it
            # for a moment: the place empty, the old file set aside. A start
            # on its own puts the file back; the second start must not.
            os.rename(os.path.join(install.libs, "comp.dll"), os.path.join(install.libs, "comp.dll.velmora-old"))
            libs_before = folder_state(install.libs)
            second = install.launch()
            self.assertEqual(second.wait(timeout=20), 0)
            self.assertIsNone(message_box(), "a message was shown")
            self.assertEqual(folder_state(install.libs), libs_before)
            self.assertEqual(len(install.engine_calls("VelUpdaterInit")), 1)
            self.assertTrue(install.running(), "the first updater ended")
            window = wait_until(lambda: (lambda w: w if w and w.foreground else None)(Window.read()), 5)
            self.assertIsNotNone(window, "the first updater's window is not in front")
            self.assertTrue(window.visible)
        finally:
            for process in (other, second):
                if process and process.poll() is None:
                    process.kill()
                    process.wait(timeout=10)
            install.close()


if __name__ == "__main__":
    unittest.main()
