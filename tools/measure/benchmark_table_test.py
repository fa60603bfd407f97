"""The closing table reads the lines manifest-reading and large-release
print (copied from a real run) into rows."""

import unittest

from benchmark_table import large_release_rows, manifest_rows

MANIFEST_READING = """manifest reading, the x86_64 build under wine64:\r
33554098 bytes, 83109 files 115 folders deep: whole read 0.630 s, CheckManifestContent 0.365 s\r
100 GB game, fresh install: 98.2 MiB of manifests, 0.0 MiB record of 0 placed files, 200000 files; 200000 \
contents to build, 800000 chunks needed, 800000 fetched in 15186 ranges, 22.4 MiB record written: read from \
files and planned in 3.690 s, heap at most 82.8 MiB\r
100 GB game, update from the release before: 196.4 MiB of manifests, 26.6 MiB record of 200000 placed files, \
200000 files; 2000 contents to build, 8000 chunks needed, 8000 fetched in 153 ranges, 26.6 MiB record written: \
read from files and planned in 5.537 s, heap at most 150.9 MiB\r
""".splitlines(keepends=True)

LARGE_RELEASE = """release: 4.6G in 6 files
published in 45.4 s
the engine on its own:
  status=1 done=1610641089 total=1610641089
  run_ms=33589.9
  baseline_peak_kib=7944
  peak_kib=40828
the updater's window:
window: Bajando cliente completo | 1.28 GB / 1.5 GB a 118.24 MB/s
window: Actualizacion OK
  ended after 49.3 s; game started: yes
screenshots: /work/out/large-release/
""".splitlines(keepends=True)


class ToolLinesIntoRows(unittest.TestCase):
    def test_manifest_reading_gives_the_deep_manifest_and_both_game_rows(self):
        rows = manifest_rows(MANIFEST_READING)
        self.assertEqual([row.engine for row in rows],
                         ["0.630 s read, 0.365 s checked", "3.69 s, heap 82.8 MiB", "5.54 s, heap 150.9 MiB"])
        self.assertEqual(rows[2].case, "100 GB game, update from the release before, manifests read and planned")

    def test_large_release_gives_the_engine_alone_and_the_last_window(self):
        engine, window = large_release_rows(LARGE_RELEASE)
        self.assertEqual(engine.case, "release of 4.6G in 6 files, the engine alone")
        self.assertEqual(engine.engine, "33.6 s, peak 39.9 MiB (engine 32.1), status 1")
        self.assertEqual(window.engine, "Actualizacion OK; ended after 49.3 s; game started: yes; "
                                        "screenshots in /work/out/large-release/")

    def test_a_run_that_reported_nothing_says_so(self):
        engine, window = large_release_rows(["release: 4.6G in 6 files\n"])
        self.assertEqual(engine.engine, "did not report")
        self.assertEqual(window.engine, "no window seen; screenshots in ?")


if __name__ == "__main__":
    unittest.main()
