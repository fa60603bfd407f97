"""The whole program with the real engine, against nginx on loopback at the
address compiled into the program, with the test proxy in front to spoil
answers: what the window shows, which packs were fetched (nginx's access
log), and what ends up in the game folder, byte for byte."""

import os
import re
import shutil
import tempfile
import time
import unittest

from harness import (BUILD, DIST, FOLDER_OUTSIDE_1252, LOCALE_1252, Installation, Window, code_page, message_box,
                     registered_server, unregister_controls, wait_until, watch_window, windows_path, xdotool)
from update_server import (EXPIRED, NEXT_KEY, TEST_KEY, UpdateServer, make_key, port_in_use, program_address, publish,
                           release_files, tamper_chunk, tamper_manifest, write_release)

LABEL1 = (104, 64, 385, 25)
BAR = (112, 88, 361, 17)

OK = "Actualizacion OK"
WHOLE_CLIENT = "Bajando cliente completo"
CHANGES = "Bajando cambios"
WRONG_FILE = "ERROR: Archivo incorrecto"
INVALID = "ERROR: Formato inválido"
SERVER_ERROR = "Error interno del servidor"
BROKEN_OFF = "Error bajando datos. Comprueba si se cortó la conexión"
NO_CONNECTION = "ERROR: Comprueba tu conexion a internet"
OBSOLETE = "ERROR: Este updater es obsoleto"
ERRORS = (WRONG_FILE, INVALID, SERVER_ERROR, BROKEN_OFF, NO_CONNECTION, OBSOLETE)

# The real engine built as version 2: what a release brings to mend the
# updater.
NEXT_ENGINE = os.path.join(BUILD, "fixtures", "next_engine", "comp.dll")
# The engines of a key rotation: trusting the test key and the next one,
# then the next one alone.
ENGINE_OLD_AND_NEW_KEY = os.path.join(BUILD, "tests", "win32", "engine-test-and-next", "comp.dll")
ENGINE_NEW_KEY = os.path.join(BUILD, "tests", "win32", "engine-next", "comp.dll")

BAR_TEXT = re.compile(r"^(\S+) (B|KB|MB|GB) / (\S+) (B|KB|MB|GB) a \S+ (B|KB|MB|GB)/s$")
UNIT_SHIFT = {"B": 0, "KB": 10, "MB": 20, "GB": 30}


def bar_total(text):
    """The total of a bar text such as "1,5 MB / 1,64 MB a 300 KB/s", in bytes
    (to the hundredth of its unit)."""
    match = BAR_TEXT.match(text)
    if not match:
        return None
    return float(match.group(3).replace(",", ".")) * (1 << UNIT_SHIFT[match.group(4)])


def watch(install, stop_at=(), timeout=40):
    """The states of the status line and the bar until the program ends, a
    line of stop_at shows, or the time is up, in order, without repeats."""
    states, _ = watch_window(timeout, stop_at)
    return states


def lines_of(states):
    return [label for label, _ in states]


class EngineRun(unittest.TestCase):
    """A work folder, the update server, and helpers to publish releases
    and to lay out installs as an earlier run would have left them."""

    def setUp(self):
        work = os.path.join(BUILD, "e2e-work")
        os.makedirs(work, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="engine-", dir=work)
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.server = UpdateServer(os.path.join(self.work, "server"))
        self.addCleanup(self.server.close)
        self.count = 0

    def publication(self, generation, version, **options):
        """The release of a generation, published; returns its files and the
        publication."""
        self.count += 1
        files = release_files(generation)
        release = write_release(os.path.join(self.work, f"release-{self.count}"), files)
        return files, publish(release, os.path.join(self.work, f"published-{self.count}"), version, **options)

    def installation(self, files=None, publication=None, **options):
        """The program with the real engine; with files, a game folder that
        a run applied the publication to."""
        install = Installation(real_engine=True, game=False, **options)
        self.addCleanup(install.close)
        if files:
            write_release(install.app, files)
            with open(os.path.join(install.libs, "gamedata.vel"), "wb") as f:
                f.write(publication.manifest())
        return install

    def run_to_error(self, install, message):
        """Runs the program until the status line shows the message; the
        program must stay open with it."""
        states = watch(install.start(), stop_at=ERRORS)
        self.assertEqual(states[-1:], [(message, None)], f"saw {states}")
        self.assertTrue(install.running(), "the program ended after an error")
        return states

    @staticmethod
    def end(install):
        """Ends the program, keeping its folder to look at."""
        if install.running():
            install.process.kill()
            install.process.wait(10)

    def cancel(self, install):
        """Clicks the Cancel area, as a player leaving after an error does."""
        window = Window.read()
        x, y = window.origin
        xdotool("mousemove", x + 300, y + 190)
        time.sleep(0.2)
        xdotool("click", 1)
        self.assertIsNotNone(install.wait_for_exit(10), "Cancel did not end the program")

    def assert_game_folder(self, install, files, publication, staging_empty=True):
        """Every file of the release is in place byte for byte, the local
        manifest is the publication's, and (after a run that finished)
        nothing is left in staging."""
        for path, content in files.items():
            with self.subTest(path=path):
                full = os.path.join(install.app, *path.split("/"))
                self.assertTrue(os.path.isfile(full), "missing")
                with open(full, "rb") as f:
                    self.assertTrue(f.read() == content, "content differs")
        with open(os.path.join(install.libs, "gamedata.vel"), "rb") as f:
            self.assertEqual(f.read(), publication.manifest())
        if staging_empty:
            staging = os.path.join(install.libs, "staging")
            leftovers = [name for _, _, names in os.walk(staging) for name in names]
            self.assertEqual(leftovers, [], "left in staging")

    def assert_untouched(self, install, files, publication, game_started=False):
        """The game folder is as the earlier run left it: the same files
        with the same content, and the same local manifest. Verified
        downloads may wait in staging for the next run. `game_started`: the
        run started the test game, which has written its log beside itself
        (assert_game_started waits for it)."""
        expected = {p.replace("/", os.sep) for p in files} | {"libs" + os.sep + "gamedata.vel"}
        if game_started:
            expected.add("game-log.txt")
        present = set()
        for folder, _, names in os.walk(install.app):
            for name in names:
                relative = os.path.relpath(os.path.join(folder, name), install.app)
                if not relative.startswith("libs" + os.sep) or relative == "libs" + os.sep + "gamedata.vel":
                    present.add(relative)
        present.discard("VELUpdater.exe")
        self.assertEqual(present, expected)
        self.assert_game_folder(install, files, publication, staging_empty=False)

    def assert_old_or_new(self, install, old, publication, new):
        """After a run that did not finish: every file is its old or its new
        version (a new file may be absent), and the local manifest is still
        the old publication's."""
        for path in set(old) | set(new):
            with self.subTest(path=path):
                full = os.path.join(install.app, *path.split("/"))
                content = None
                if os.path.exists(full):
                    with open(full, "rb") as f:
                        content = f.read()
                self.assertTrue(content in (old.get(path), new.get(path)), "neither old nor new")
        with open(os.path.join(install.libs, "gamedata.vel"), "rb") as f:
            self.assertEqual(f.read(), publication.manifest())

    def assert_game_started(self, install):
        starts = wait_until(install.game_starts, 5)
        self.assertEqual(len(starts), 1, starts)
        self.assertEqual(starts[0].split("\t")[0], "velmora.exe /NOUPDATE")


class Updates(EngineRun):
    def test_fresh_install_downloads_the_whole_client_and_starts_the_game(self):
        files, published = self.publication(1, 1)
        self.server.serve(published)
        stored = published.stored_bytes()
        # Slow enough for the status line to show the download for a while.
        self.server.proxy.slow_down(stored // 3)
        install = self.installation()
        states = watch(install.start())
        self.assertIsNotNone(install.wait_for_exit(5), f"the program did not end; saw {states}")
        lines = lines_of(states)
        self.assertIn(WHOLE_CLIENT, lines)
        self.assertEqual(lines[-1], OK, f"saw {states}")
        self.assertLess(lines.index(WHOLE_CLIENT), lines.index(OK))
        # The total is set before the bar shows, once, to what is stored on
        # the server (compressed where it pays).
        totals = {bar_total(bar) for label, bar in states if label == WHOLE_CLIENT and bar}
        self.assertEqual(len(totals), 1, f"saw {states}")
        self.assertAlmostEqual(totals.pop(), stored, delta=stored * 0.005)
        self.assert_game_folder(install, files, published)
        fetched = {r["path"].rsplit("/", 1)[1] for r in self.server.pack_requests()}
        self.assertEqual(fetched, {name for name, _ in published.packs()})
        self.assert_game_started(install)

    def test_install_at_the_root_of_a_drive(self):
        # The engine is initialised in V:\libs and started in V:\, which must
        # not be "V:", the drive's current folder (still V:\libs then).
        files, published = self.publication(1, 1)
        self.server.serve(published)
        install = self.installation()
        states = watch(install.start(drive="V"))
        self.assertIsNotNone(install.wait_for_exit(5), f"the program did not end; saw {states}")
        self.assertEqual(lines_of(states)[-1], OK, f"saw {states}")
        self.assert_game_folder(install, files, published)
        self.assertFalse(os.path.exists(os.path.join(install.libs, "libs")))
        self.assert_game_started(install)
        self.assertEqual(install.game_starts()[0].split("\t")[1], "V:\\")

    def test_install_in_a_folder_outside_the_system_code_page(self):
        # Players install under their user folder, whose name may be in any
        # script; the system's 8-bit code page cannot hold this one.
        self.assertEqual(code_page(LOCALE_1252), 1252)
        self.assertRaises(UnicodeEncodeError, FOLDER_OUTSIDE_1252.encode, "cp1252")
        unregister_controls()
        files, published = self.publication(1, 1)
        self.server.serve(published)
        install = self.installation(folder_name=FOLDER_OUTSIDE_1252, locale=LOCALE_1252)
        states = watch(install.start(), timeout=30)
        self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}; message box: {message_box()}")
        self.assertIsNotNone(install.wait_for_exit(5), f"the program did not end; saw {states}")
        for prog_id, control in (("MBProgressBar.ProgressBar", "mbprgbar.ocx"),
                                 ("MSComctlLib.TabStrip", "mscomctl.ocx"),
                                 ("RichTextLib.RichTextBox", "richtx32.ocx")):
            self.assertEqual(registered_server(prog_id).lower(),
                             windows_path(os.path.join(install.libs, control)).lower())
        self.assert_game_folder(install, files, published)
        self.assert_game_started(install)
        self.assertEqual(install.game_starts()[0].split("\t")[1], windows_path(install.app))

    def test_incremental_update_fetches_only_the_new_chunks(self):
        old, first = self.publication(1, 1)
        new, second = self.publication(2, 2, previous=first)
        install = self.installation(old, first)
        self.server.serve(second)
        new_bytes = second.stored_bytes(beyond=first)
        # The readme, the world map and a new map; the rest is the first's.
        self.assertLess(new_bytes, first.stored_bytes() / 2)
        self.server.proxy.slow_down(30000)
        states = watch(install.start())
        self.assertIsNotNone(install.wait_for_exit(5), f"the program did not end; saw {states}")
        lines = lines_of(states)
        self.assertIn(CHANGES, lines)
        self.assertNotIn(WHOLE_CLIENT, lines)
        self.assertEqual(lines[-1], OK, f"saw {states}")
        self.assertEqual(sum(r["bytes"] for r in self.server.pack_requests()), new_bytes)
        self.assert_game_folder(install, new, second)
        self.assert_game_started(install)

    def test_nothing_to_do_ends_quickly_without_fetching_or_writing(self):
        files, published = self.publication(1, 1)
        install = self.installation(files, published)
        self.server.serve(published)
        times = {p: os.stat(os.path.join(install.app, *p.split("/"))).st_mtime_ns for p in files}
        install.start()
        self.assertTrue(install.wait_for_window())
        shown = time.monotonic()
        # The game starts only after "Actualizacion OK". A probe started now
        # to follow the status line could come up after so short a run.
        self.assertTrue(wait_until(install.game_starts, 10), "the game was not started")
        self.assertLess(time.monotonic() - shown, 2.5, "slow to find that nothing changed")
        self.assertIsNotNone(install.wait_for_exit(5))
        self.assertEqual(self.server.pack_requests(), [])
        self.assertEqual([r["path"] for r in self.server.nginx.requests()], ["/oficial/gamedata.vel"])
        self.assertEqual(times, {p: os.stat(os.path.join(install.app, *p.split("/"))).st_mtime_ns for p in files})
        self.assert_game_folder(install, files, published)
        self.assert_game_started(install)


class RefusedData(EngineRun):
    def test_tampered_chunk_is_a_wrong_file_and_leaves_the_install_untouched(self):
        old, first = self.publication(1, 1)
        # A chunk stored as is, where only the hash can tell, and a
        # compressed one, where unpacking meets the change first.
        for path in ("readme.txt", "data/maps/world.pak"):
            with self.subTest(path=path):
                _, second = self.publication(2, 2, previous=first)
                tamper_chunk(second, path)
                self.server.serve(second)
                install = self.installation(old, first)
                self.run_to_error(install, WRONG_FILE)
                self.end(install)
                self.assert_untouched(install, old, first)

                new, repaired = self.publication(2, 2, previous=first)
                self.server.serve(repaired)
                states = watch(install.start())
                self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}")
                self.assertIsNotNone(install.wait_for_exit(5))
                self.assert_game_folder(install, new, repaired)

    def test_tampered_or_wrongly_signed_manifest_is_invalid_and_nothing_is_fetched(self):
        old, first = self.publication(1, 1)
        other_key, _ = make_key(self.work)
        _, tampered = self.publication(2, 2, previous=first)
        tamper_manifest(tampered)
        _, wrongly_signed = self.publication(2, 2, previous=first, key=other_key)
        for name, publication in (("tampered", tampered), ("wrongly signed", wrongly_signed)):
            with self.subTest(name):
                self.server.serve(publication)
                install = self.installation(old, first)
                self.run_to_error(install, INVALID)
                self.end(install)
                self.assertEqual(self.server.pack_requests(), [])
                self.assert_untouched(install, old, first)

    def test_expired_manifest_is_invalid_and_an_older_one_leaves_the_install_as_it_is(self):
        _, first = self.publication(1, 1)
        current, second = self.publication(2, 2, previous=first)
        _, expired = self.publication(3, 3, previous=second, expires=EXPIRED)
        self.server.serve(expired)
        install = self.installation(current, second)
        self.run_to_error(install, INVALID)
        self.end(install)
        self.assertEqual(self.server.pack_requests(), [])
        self.assert_untouched(install, current, second)

        # A cache still serving the first publication, well signed but older
        # than the install: nothing older is installed, and the game starts.
        self.server.serve(first)
        install = self.installation(current, second)
        states = watch(install.start())
        self.assertIsNotNone(install.wait_for_exit(5), f"the program did not end; saw {states}")
        self.assertEqual(lines_of(states)[-1], OK, f"saw {states}")
        self.assertEqual(self.server.pack_requests(), [])
        # The game writes its log whenever its process gets to it: waited
        # for first, so that the folder is listed with it.
        self.assert_game_started(install)
        self.assert_untouched(install, current, second, game_started=True)


class ServerTrouble(EngineRun):
    def test_server_error_status(self):
        old, first = self.publication(1, 1)
        new, second = self.publication(2, 2, previous=first)
        self.server.serve(second)
        self.server.proxy.answer_error("/" + second.pack_of("data/maps/harbor.pak"), 500)
        install = self.installation(old, first)
        self.run_to_error(install, SERVER_ERROR)
        self.end(install)
        self.assert_old_or_new(install, old, first, new)

    def test_connection_dropped_in_a_file_then_the_next_run_resumes_it(self):
        files, published = self.publication(1, 1)
        self.server.serve(published)
        noise = published.pack_of("data/textures/noise.bin")
        cut = 600000
        self.server.proxy.drop_after("/" + noise, cut, times=1)
        install = self.installation()
        self.run_to_error(install, BROKEN_OFF)
        self.cancel(install)
        self.assertFalse(os.path.exists(os.path.join(install.libs, "gamedata.vel")))

        states = watch(install.start())
        self.assertIsNotNone(install.wait_for_exit(5), f"the second run did not end; saw {states}")
        self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}")
        self.assert_game_folder(install, files, published)
        noise_requests = [r for r in self.server.pack_requests() if r["path"].endswith("/" + noise)]
        self.assertEqual(len(noise_requests), 2, noise_requests)
        first_byte = re.fullmatch(r"bytes=(\d+)-(\d*)", noise_requests[1]["range"])
        self.assertIsNotNone(first_byte, f"the second run did not resume: {noise_requests[1]}")
        self.assertTrue(0 < int(first_byte.group(1)) <= cut, noise_requests[1])
        self.assertEqual(noise_requests[1]["status"], 206)
        self.assert_game_started(install)

    def test_no_server_listening_is_no_connection(self):
        self.server.close()
        self.assertFalse(port_in_use(*program_address()))
        install = self.installation()
        self.run_to_error(install, NO_CONNECTION)
        self.end(install)
        self.assertFalse(os.path.exists(os.path.join(install.libs, "gamedata.vel")))
        game = [name for name in os.listdir(install.app) if name not in ("VELUpdater.exe", "libs")]
        self.assertEqual(game, [])


class Interrupted(EngineRun):
    def test_kill_during_an_update_then_the_next_run_completes(self):
        old, first = self.publication(1, 1)
        new, third = self.publication(3, 3, previous=first)
        install = self.installation(old, first)
        self.server.serve(third)
        to_fetch = third.stored_bytes(beyond=first)
        self.server.proxy.slow_down(to_fetch // 4)
        install.start()
        self.assertTrue(wait_until(lambda: self.server.proxy.bytes_sent("") > to_fetch // 2, 30),
                        "the download did not get going")
        install.process.kill()
        install.process.wait(10)
        self.assertTrue(wait_until(lambda: Window.read() is None, 5), "the window outlived the kill")
        self.assert_old_or_new(install, old, first, new)

        self.server.proxy.clear()
        states = watch(install.start())
        self.assertIsNotNone(install.wait_for_exit(5), f"the second run did not end; saw {states}")
        self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}")
        self.assert_game_folder(install, new, third)
        self.assert_game_started(install)



class SelfUpdate(EngineRun):
    """Releases that bring the updater's own files: the engine and a control
    library are in use while the run places them."""

    @staticmethod
    def updater_files():
        """A newer engine, and the progress bar library with bytes appended
        (it loads the same, but is another file)."""
        with open(NEXT_ENGINE, "rb") as f:
            engine = f.read()
        with open(os.path.join(DIST, "libs", "mbprgbar.ocx"), "rb") as f:
            control = f.read() + b"\0the next edition\0" * 4
        return {"libs/comp.dll": engine, "libs/mbprgbar.ocx": control}

    def release_with_updater(self, first, **options):
        new = dict(release_files(2), **self.updater_files())
        self.count += 1
        release = write_release(os.path.join(self.work, f"release-{self.count}"), new)
        published = publish(release, os.path.join(self.work, f"published-{self.count}"), 2, previous=first, **options)
        return new, published

    def agents(self):
        return {r["agent"] for r in self.server.nginx.requests()}

    def leftovers(self, install):
        return [name for name in os.listdir(install.libs) if name.endswith(".velmora-old")]

    def test_release_replaces_the_engine_and_a_control_which_the_next_start_runs(self):
        old, first = self.publication(1, 1)
        install = self.installation(old, first)
        new, second = self.release_with_updater(first)
        self.server.serve(second)

        states = watch(install.start())
        self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}")
        self.assert_game_folder(install, new, second)
        self.assert_game_started(install)
        self.assertEqual(self.agents(), {"VELUpdater/1"})
        install.wait_for_exit(10)

        # The next start registers and loads the new control, runs the new
        # engine, which finds nothing to do, and clears what was set aside.
        states = watch(install.start())
        self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}")
        self.assertEqual(self.agents(), {"VELUpdater/1", "VELUpdater/2"})
        self.assertEqual(self.leftovers(install), [])
        self.assert_game_folder(install, new, second)

    def test_release_for_a_newer_updater_brings_it_then_the_next_start_updates_the_game(self):
        old, first = self.publication(1, 1)
        install = self.installation(old, first)
        new, second = self.release_with_updater(first, min_updater=2)
        self.server.serve(second)

        self.run_to_error(install, OBSOLETE)
        self.end(install)
        # The updater's files are the new ones; the game's are untouched.
        for path in set(old) | set(new):
            with self.subTest(path=path):
                full = os.path.join(install.app, *path.split("/"))
                actual = open(full, "rb").read() if os.path.exists(full) else None
                self.assertTrue(actual == (new[path] if path.startswith("libs/") else old.get(path)))

        states = watch(install.start())
        self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}")
        self.assert_game_folder(install, new, second)
        self.assert_game_started(install)

    def test_key_rotation_through_releases_then_the_retired_key_is_refused(self):
        """The studio ships an engine trusting its old and new keys in a
        release signed with the old, signs the next with the new, then ships
        one trusting the new alone: the old key no longer passes."""
        old, first = self.publication(1, 1)
        install = self.installation(old, first)
        steps = [(2, TEST_KEY, ENGINE_OLD_AND_NEW_KEY, OK), (3, NEXT_KEY, ENGINE_OLD_AND_NEW_KEY, OK),
                 (4, NEXT_KEY, ENGINE_NEW_KEY, OK), (5, TEST_KEY, ENGINE_NEW_KEY, INVALID)]
        for version, key, engine, line in steps:
            with self.subTest(version=version):
                with open(engine, "rb") as f:
                    files = dict(release_files(2), **{"libs/comp.dll": f.read()})
                self.count += 1
                release = write_release(os.path.join(self.work, f"release-{self.count}"), files)
                self.server.serve(publish(release, os.path.join(self.work, f"published-{self.count}"), version,
                                          key=key))
                states = watch(install.start(), stop_at=(OK,) + ERRORS)
                self.assertEqual(lines_of(states)[-1:], [line], f"saw {states}")
                self.end(install)

    def test_switch_stopped_between_its_two_renames_starts_and_finishes(self):
        old, first = self.publication(1, 1)
        install = self.installation(old, first)
        new, second = self.release_with_updater(first)
        self.server.serve(second)
        # As a run killed right after it set the old engine aside leaves it.
        engine = os.path.join(install.libs, "comp.dll")
        os.rename(engine, engine + ".velmora-old")

        states = watch(install.start())
        self.assertEqual(lines_of(states)[-1:], [OK], f"saw {states}")
        self.assert_game_folder(install, new, second)
        self.assertEqual(self.agents(), {"VELUpdater/1"})


if __name__ == "__main__":
    unittest.main()
