"""The update engine comp.dll run on its own under Wine, as the program
calls it (fixtures/engine_driver), on a game folder of its own."""

import os
import shutil
import subprocess

from harness import BUILD, DIST, windows_path
from update_server import sha256_of

DRIVER = os.path.join(BUILD, "fixtures", "engine_driver", "engine_driver.exe")
ENGINE = os.path.join(DIST, "libs", "comp.dll")


def empty_game_folder(path):
    """A game folder with the engine and nothing of the game yet."""
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(os.path.join(path, "libs"))
    shutil.copy(ENGINE, os.path.join(path, "libs"))
    return path


def key_values(output):
    """The "key=value" words a fixture prints, as a dict."""
    values = {}
    for word in output.split():
        key, sep, value = word.partition("=")
        if sep:
            values[key] = value.strip()
    return values


def run_engine(game, url, timeout=900):
    """Runs one update of `game` from the manifest at `url`; the driver's
    "key=value" report (status, run_ms, peak_kib, ...). Raises SystemExit
    when the driver fails."""
    result = subprocess.run(["wine", DRIVER, windows_path(game), url, str(timeout)], capture_output=True,
                            text=True, timeout=timeout + 60)
    values = key_values(result.stdout)
    if result.returncode != 0:
        raise SystemExit(f"the engine did not finish: exit {result.returncode}\n{result.stdout}{result.stderr}")
    return values


def check_install(game, release):
    """Every release file is in the game folder with the same content."""
    for folder, _, names in os.walk(release):
        for name in names:
            source = os.path.join(folder, name)
            target = os.path.join(game, os.path.relpath(source, release))
            if not os.path.isfile(target) or sha256_of(source) != sha256_of(target):
                raise SystemExit(f"the engine's install differs at {os.path.relpath(source, release)}")
