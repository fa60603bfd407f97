"""Kills the update engine at random moments of an update and checks that
the game folder is never left broken (fixtures/engine_driver runs comp.dll
as the program calls it, against nginx on loopback):

- after every kill, and the updater's start-up step that renames a
  set-aside library back into its empty place, each file of the two
  releases is its old or its new version (a file the new release adds may
  be missing, one it drops may be gone), and a player's own file is
  untouched;
- VELUpdater.exe is there: nothing could start the updater otherwise (a
  "lost program");
- a normal run after the kill then leaves exactly the new release: every
  file in place, the dropped ones gone, the local manifest the new one, no
  journal left.

The new release also brings the updater's own files: the program, the
engine itself (the driver's libs\comp.dll, with bytes appended: it loads
the same but is another file) and a control library. Every third kill
watches the folder and lands right after the first of them is set aside,
in the switch of the updater's files or just after it; the others land at
random moments, every other one among the moves. A kill's phase is the
last status the driver printed, or "switch" when the updater's files were
found neither all old nor all new.

The moments are drawn from a seeded generator; the seed is printed, and
given again it replays the same moments. Usage:
    kill_test.py [kills] [seed] [--not-aimed]
--not-aimed leaves out the kills aimed at the switch (the short run of the
tests: an aimed kill can land between the program's two renames, the one
moment renames cannot cover, see docs/update-format.md).
Run it through tools/measure/kill-test, which builds and sets up Wine."""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "lib"))
from harness import BUILD, DIST, windows_path  # noqa: E402
from update_server import DATA_FOLDER, Nginx, free_port, publish, write_release  # noqa: E402

DRIVER = os.path.join(BUILD, "fixtures", "engine_driver", "engine_driver.exe")
ENGINE = os.path.join(DIST, "libs", "comp.dll")
PLAYER_FILE = "saves/slot1.sav"
PLAYER_CONTENT = b"the player's own save\n"
STATUS_NAMES = {"6": "reading", "3": "checking", "2": "client", "4": "downloading", "7": "verifying",
                "5": "saving", "1": "done"}


def releases():
    """An old and a new release that differ in every way a release can: a
    file changed at the same size and at another size, files added and
    dropped, a file that becomes a folder and a folder that becomes a file,
    the updater's own files, and enough bytes that the download and the
    moves take a while."""
    rng = random.Random(5)
    big = rng.randbytes(3 << 20)
    with open(ENGINE, "rb") as f:
        engine = f.read()
    old = {
        "VELUpdater.exe": b"MZ the updater, old\n",
        "libs/comp.dll": engine,
        "libs/mscomctl.ocx": b"MZ the tab strip, old\n",
        "velmora.exe": b"MZ the game, old\n",
        "data/big.pak": big,
        "data/same-size.pak": b"a" * 200_000,
        "data/notes.txt": b"old notes\n" * 1000,
        "data/dropped.txt": b"dropped by the new release\n",
        "data/x": b"a file that becomes a folder\n",
        "data/y/inside.txt": b"a folder that becomes a file\n",
    }
    old.update({f"data/many/file{i:04}.dat": rng.randbytes(512) for i in range(300)})
    new = dict(old)
    del new["data/dropped.txt"], new["data/x"], new["data/y/inside.txt"]
    new.update({
        "VELUpdater.exe": b"MZ the updater, new edition\n",
        "libs/comp.dll": engine + b"\0the next edition\0" * 4,
        "libs/mscomctl.ocx": b"MZ the tab strip, new edition\n",
        "velmora.exe": b"MZ the game, new edition\n",
        "data/big.pak": big[:1 << 20] + rng.randbytes(1 << 20) + big[2 << 20:],
        "data/same-size.pak": b"b" * 200_000,
        "data/added.pak": rng.randbytes(1 << 20),
        "data/x/now-inside.txt": b"the file became a folder\n",
        "data/y": b"the folder became a file\n",
    })
    new.update({f"data/many/file{i:04}.dat": rng.randbytes(512) for i in range(0, 300, 2)})
    return old, new


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except (FileNotFoundError, IsADirectoryError, NotADirectoryError):
        return None


def lay_out_old(game, old, old_publication):
    shutil.rmtree(game, ignore_errors=True)
    os.makedirs(os.path.join(game, "libs"))
    write_release(game, old)
    write_release(game, {PLAYER_FILE: PLAYER_CONTENT})
    with open(os.path.join(game, "libs", "gamedata.vel"), "wb") as f:
        f.write(old_publication.manifest())


UPDATER_FILES = ("VELUpdater.exe", "libs/comp.dll", "libs/mscomctl.ocx")
LIBRARIES = ("libs/mbprgbar.ocx", "libs/mscomctl.ocx", "libs/richtx32.ocx", "libs/comp.dll")
SET_ASIDE = ".velmora-old"


def full(game, path):
    return os.path.join(game, *path.split("/"))


def in_the_switch(game, old, new):
    """Whether the updater's files are neither all old nor all new: the kill
    landed between the first set-aside and the last rename of the switch."""
    contents = [read(full(game, path)) for path in UPDATER_FILES]
    return contents != [old[p] for p in UPDATER_FILES] and contents != [new[p] for p in UPDATER_FILES]


def restore_set_aside_libraries(game):
    """What the updater's start-up does before it registers or loads
    anything: a set-aside library goes back where its place is empty. The
    program itself has no such step: without it nothing starts."""
    for path in LIBRARIES:
        place = full(game, path)
        if not os.path.exists(place) and os.path.exists(place + SET_ASIDE):
            os.rename(place + SET_ASIDE, place)


def kill_in_the_switch(engine, game, rng, deadline):
    """Kills the engine within a few milliseconds after the first of the
    updater's files is set aside (or at the deadline)."""
    asides = [full(game, path) + SET_ASIDE for path in UPDATER_FILES]
    while time.monotonic() < deadline and engine.poll() is None:
        if any(os.path.exists(aside) for aside in asides):
            time.sleep(rng.uniform(0, 0.004))
            break
        time.sleep(0.0002)
    engine.kill()


def start_engine(game, url):
    return subprocess.Popen(["wine", DRIVER, windows_path(game), url, "120"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)


def broken_files(game, old, new):
    """Files that are neither their old nor their new version."""
    broken = []
    for path in sorted(set(old) | set(new)):
        content = read(os.path.join(game, *path.split("/")))
        allowed = {old.get(path), new.get(path)}
        if path not in old or path not in new:
            allowed.add(None)  # added and not there yet, or dropped and gone
        if content not in allowed:
            broken.append(path)
    if read(os.path.join(game, *PLAYER_FILE.split("/"))) != PLAYER_CONTENT:
        broken.append(PLAYER_FILE + " (the player's)")
    return broken


def exactly_new(game, new, new_publication):
    """What differs from the new release after a run that finished."""
    wrong = [path for path, content in new.items() if read(os.path.join(game, *path.split("/"))) != content]
    for path in ("data/dropped.txt", "data/y/inside.txt"):
        if os.path.exists(os.path.join(game, *path.split("/"))):
            wrong.append(path + " (dropped, still there)")
    if read(os.path.join(game, "libs", "gamedata.vel")) != new_publication.manifest():
        wrong.append("libs/gamedata.vel")
    if os.path.exists(os.path.join(game, "libs", "gamedata.journal")):
        wrong.append("libs/gamedata.journal (left)")
    if read(os.path.join(game, *PLAYER_FILE.split("/"))) != PLAYER_CONTENT:
        wrong.append(PLAYER_FILE + " (the player's)")
    return wrong


def main():
    aimed = "--not-aimed" not in sys.argv
    arguments = [a for a in sys.argv[1:] if a != "--not-aimed"]
    kills = int(arguments[0]) if arguments else 50
    seed = int(arguments[1]) if len(arguments) > 1 else random.SystemRandom().randrange(1 << 31)
    print(f"{kills} kills, seed {seed}", flush=True)
    rng = random.Random(seed)
    work = tempfile.mkdtemp(prefix="kill-test-", dir=os.path.join(BUILD))
    nginx = None
    try:
        old, new = releases()
        old_pub = publish(write_release(os.path.join(work, "old"), old), os.path.join(work, "site-old"), 1)
        new_pub = publish(write_release(os.path.join(work, "new"), new), os.path.join(work, "site-new"), 2,
                          previous=old_pub)
        site = os.path.join(work, "site")
        os.makedirs(site)
        os.symlink(os.path.abspath(new_pub.path), os.path.join(site, DATA_FOLDER))
        # A player's line, so that the kills land in the download as well as
        # in the moves.
        nginx = Nginx(site, free_port(), workdir=os.path.join(work, "nginx"), rate="2m")
        os.makedirs(nginx.workdir)
        nginx.start()
        url = f"http://127.0.0.1:{nginx.port}/{DATA_FOLDER}/gamedata.vel"
        game = os.path.join(work, "game")

        # How long an uninterrupted update takes, to draw the moments from.
        lay_out_old(game, old, old_pub)
        started = time.monotonic()
        clean = subprocess.run(["wine", DRIVER, windows_path(game), url, "120"], capture_output=True, text=True)
        span = time.monotonic() - started
        if clean.returncode != 0 or exactly_new(game, new, new_pub):
            print(f"an uninterrupted update failed:\n{clean.stdout}")
            return 1
        # Where its moves happen: from status 5 to status 1, in the engine's
        # own clock, which starts after the process has come up.
        marks = {}
        for line in clean.stdout.split("\n"):
            fields = dict(f.split("=", 1) for f in line.split() if "=" in f)
            if "at_ms" in fields and fields.get("status") in ("5", "1"):
                marks.setdefault(fields["status"], float(fields["at_ms"]) / 1000)
        run = float(dict(f.split("=", 1) for f in clean.stdout.split() if f.startswith("run_ms="))["run_ms"]) / 1000
        saving = (span - run + marks.get("5", 0), span - run + marks.get("1", run))
        print(f"an uninterrupted update takes {span:.2f} s, its moves from {saving[0]:.2f} s to {saving[1]:.2f} s",
              flush=True)

        failures = 0
        phases = {}
        bad_files = 0
        lost_programs = 0
        for kill in range(kills):
            lay_out_old(game, old, old_pub)
            engine = start_engine(game, url)
            started = time.monotonic()
            if aimed and kill % 3 == 2:
                kill_in_the_switch(engine, game, rng, started + span + 10)
                moment = time.monotonic() - started
            else:
                # Every other kill lands among the moves, the rest anywhere.
                moment = rng.uniform(*saving) if kill % 2 else rng.uniform(0.05, span)
                time.sleep(moment)
                engine.kill()
            output, _ = engine.communicate()
            statuses = [field.split("=")[1] for field in output.split() if field.startswith("status=")]
            phase = STATUS_NAMES.get(statuses[-1], statuses[-1]) if statuses else "starting"
            if in_the_switch(game, old, new):
                phase = "switch"
            phases[phase] = phases.get(phase, 0) + 1
            restore_set_aside_libraries(game)
            lost = not os.path.isfile(full(game, "VELUpdater.exe"))
            lost_programs += lost
            broken = [path for path in broken_files(game, old, new) if not (lost and path == "VELUpdater.exe")]
            bad_files += len(broken)
            if lost:
                broken.append("VELUpdater.exe (lost: nothing starts the updater)")
            finished = subprocess.run(["wine", DRIVER, windows_path(game), url, "120"], capture_output=True,
                                      text=True)
            wrong = exactly_new(game, new, new_pub) if finished.returncode == 0 else ["the run failed"]
            if broken or wrong:
                failures += 1
                print(f"kill {kill + 1} at {moment:.3f} s ({phase}): broken {broken}, after the next run {wrong}",
                      flush=True)
        print("kills by phase: " + ", ".join(f"{name} {count}" for name, count in sorted(phases.items())))
        print(f"bad files {bad_files}, lost programs {lost_programs}")
        print(f"{kills - failures} of {kills} kills left the folder old-or-new and the next run finished it"
              f" (seed {seed})")
        return 1 if failures else 0
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
