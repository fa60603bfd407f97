"""Starting the program: registration of the controls, the missing libs
folder, and a control that never registers."""

import os
import time
import unittest

from harness import (Installation, Window, message_box, registered_server, unregister_controls,
                     wait_for_message_box, windows_path)


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
        install = Installation("start 0\n", regsvr32_recorder=True)
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


if __name__ == "__main__":
    unittest.main()
