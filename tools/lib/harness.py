"""Runs the updater under Wine in an application folder of its own and
observes it from outside: the probe program reads its window and message
boxes, xdotool moves the real mouse on the Xvfb display, and the fixture
libraries' logs tell what the program asked of them."""

import os
import shutil
import subprocess
import tempfile
import time

BUILD = os.environ["VELMORA_BUILD"]
DIST = os.environ["VELMORA_DIST"]
PROBE = os.path.join(BUILD, "fixtures", "probe", "probe.exe")
SCRIPTED_ENGINE = os.path.join(BUILD, "fixtures", "scripted_engine", "comp.dll")
# The engine the build ships in the install folder.
REAL_ENGINE = os.path.join(DIST, "libs", "comp.dll")
GAME = os.path.join(BUILD, "fixtures", "game", "velmora.exe")
# A plain window of another program, to stand in front of the updater's.
BARE_WINDOW = os.path.join(BUILD, "fixtures", "bare_window", "bare_window.exe")
REGSVR32_RECORDER = os.path.join(BUILD, "fixtures", "regsvr32_recorder", "regsvr32.exe")
FIXTURE_CONTROLS = os.path.join(BUILD, "fixtures", "control_stubs")
CONTROLS = ("mbprgbar.ocx", "mscomctl.ocx", "richtx32.ocx")
# A folder name that the system's 8-bit code page under LOCALE_1252 cannot
# hold, as a player's user folder in another script.
FOLDER_OUTSIDE_1252 = "Velmora Игра"
LOCALE_1252 = "es_ES.UTF-8"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def with_locale(locale):
    """The environment for a Wine process under a Unix locale (None: as it
    is). Wine takes the system's 8-bit code page from it."""
    return dict(os.environ, LC_ALL=locale) if locale else None


def wine(*args, timeout=30, locale=None):
    """Runs a Windows program to its end and returns its result with its
    output as text. The output goes through files, not pipes: a Wine service
    that the program starts (the desktop's explorer, when it is the first
    program of the session to need it) inherits the output handles and
    lives on, and a pipe would not end before it does."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(["wine", *args], stdout=out, stderr=err, timeout=timeout, env=with_locale(locale))
        out.seek(0)
        err.seek(0)
        result.stdout = out.read().decode("utf-8", "replace")
        result.stderr = err.read().decode("utf-8", "replace")
    return result


def code_page(locale=None):
    """The system code page of a program started under the locale."""
    result = wine(PROBE, "codepage", locale=locale)
    return int(result.stdout.strip().partition("=")[2])


def probe(*args):
    """Runs the probe; returns its exit code and its key=value lines."""
    result = wine(PROBE, *args)
    values = {}
    for line in result.stdout.splitlines():
        key, sep, value = line.partition("=")
        if sep:
            values[key.strip()] = value.rstrip("\r")
    return result.returncode, values


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=10)


def wait_until(condition, timeout, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


class Installation:
    """An application folder as the studio ships it: the program, libs with
    the three controls and the scripted engine (or, with real_engine, the
    engine of the install folder), and (optionally) the game."""

    def __init__(self, scenario="start 0\n", *, game=True, folder_name="Velmora", libs=True,
                 regsvr32_recorder=False, real_engine=False, locale=None):
        work = os.path.join(BUILD, "e2e-work")
        os.makedirs(work, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix="run-", dir=work)
        self.app = os.path.join(self.root, folder_name)
        self.libs = os.path.join(self.app, "libs")
        os.makedirs(self.app)
        shutil.copy(os.path.join(DIST, "VELUpdater.exe"), self.app)
        if libs:
            os.makedirs(self.libs)
            for control in CONTROLS:
                shutil.copy(os.path.join(DIST, "libs", control), self.libs)
            if real_engine:
                shutil.copy(REAL_ENGINE, self.libs)
            else:
                shutil.copy(SCRIPTED_ENGINE, self.libs)
                self.write_scenario(scenario)
        if game:
            shutil.copy(GAME, self.app)
        if regsvr32_recorder:
            shutil.copy(REGSVR32_RECORDER, self.app)
        self.locale = locale
        self.process = None
        self.drive_link = None

    def write_scenario(self, text):
        with open(os.path.join(self.libs, "comp-scenario.txt"), "w") as f:
            f.write(text)

    def start(self, drive=None):
        """Starts the program; with a drive letter, from that drive's root,
        to which the application folder is mapped for the run."""
        program = windows_path(os.path.join(self.app, "VELUpdater.exe"))
        if drive:
            link = os.path.join(os.environ["WINEPREFIX"], "dosdevices", drive.lower() + ":")
            if os.path.islink(link):
                os.remove(link)
            os.symlink(self.app, link)
            self.drive_link = link
            program = drive.upper() + ":\\VELUpdater.exe"
        self.process = self.launch(program)
        return self

    def launch(self, program=None):
        """Starts the program (by default from the application folder) as a
        process of its own and returns it; start() keeps the first one."""
        program = program or windows_path(os.path.join(self.app, "VELUpdater.exe"))
        return subprocess.Popen(["wine", program], cwd=self.root, env=with_locale(self.locale),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait_for_window(self, timeout_ms=20000):
        code, _ = probe("wait", str(timeout_ms))
        return code == 0

    def wait_for_exit(self, timeout=15):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process is not None and self.process.poll() is None

    def log_lines(self, name):
        path = os.path.join(self.libs, name) if name.startswith("comp") else os.path.join(self.app, name)
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\r\n") for line in f]

    def engine_calls(self, name):
        return [line for line in self.log_lines("comp-log.txt") if line.split("\t")[0] == name]

    def game_starts(self):
        return self.log_lines("game-log.txt")

    def regsvr32_starts(self):
        return self.log_lines("regsvr32-log.txt")

    def hide_game(self):
        result = wine("attrib", "+h", windows_path(os.path.join(self.app, "velmora.exe")))
        assert result.returncode == 0, result.stderr

    def replace_control(self, control, fixture_file):
        """Puts one of the fixture control libraries in a control's place."""
        shutil.copy(os.path.join(FIXTURE_CONTROLS, fixture_file), os.path.join(self.libs, control))

    def close(self):
        if self.running():
            self.process.kill()
            self.process.wait(timeout=10)
        if self.drive_link:
            os.remove(self.drive_link)
        shutil.rmtree(self.root, ignore_errors=True)


class Window:
    """What the probe reads of the updater window."""

    def __init__(self, values):
        self.values = values

    @staticmethod
    def read():
        code, values = probe("window")
        return Window(values) if code == 0 else None

    def rect(self, key):
        return tuple(int(n) for n in self.values[key].split(","))

    @property
    def visible(self):
        return self.values.get("visible") == "1"

    @property
    def foreground(self):
        return self.values.get("foreground") == "1"

    @property
    def origin(self):
        x, y = self.values["client_origin"].split(",")
        return int(x), int(y)

    def children(self):
        count = int(self.values.get("children", "0"))
        return [{
            "class": self.values[f"child{i}.class"],
            "text": self.values[f"child{i}.text"],
            "visible": self.values[f"child{i}.visible"] == "1",
            "rect": tuple(int(n) for n in self.values[f"child{i}.rect"].split(",")),
        } for i in range(count)]

    def child_at(self, rect):
        for child in self.children():
            if child["rect"] == rect:
                return child
        return None


def unregister_controls():
    """Removes the three controls' registration, whoever made it, by the
    libraries' own entry points run through the system's tool."""
    for control in CONTROLS:
        wine("regsvr32", "/u", "/s", windows_path(os.path.join(DIST, "libs", control)))


def registered_server(prog_id):
    """The library registered for a class name, or None."""
    code, values = probe("server", prog_id)
    return values["server"] if code == 0 else None


def watch_window(timeout=40, stop_at=()):
    """Follows the status line and the bar from one probe that polls every
    20 ms (a probe started per read could miss a window that lives a second),
    from the window's appearance until it is gone or hidden, a status line of
    stop_at shows, or the time is up. Returns the states seen, in order,
    as (status line, bar text or None), and the places of controls that
    showed although they must stay hidden."""
    states, shown = [], []
    probe_process = subprocess.Popen(["wine", PROBE, "watch", str(int(timeout * 1000))],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        for raw in probe_process.stdout:
            fields = raw.decode("utf-8", "replace").rstrip("\r\n").split("\t")
            if fields[0] == "shown":
                shown.append(fields[1])
            elif fields[0] == "state" and len(fields) == 3:
                states.append((fields[1], None if fields[2] == "-" else fields[2]))
                if fields[1] in stop_at:
                    break
    finally:
        if probe_process.poll() is None:
            probe_process.kill()
        probe_process.wait(timeout=10)
        probe_process.stdout.close()
    return states, shown


def message_box(press_ok=False):
    code, values = probe("messagebox", *(["ok"] if press_ok else []))
    return values if code == 0 else None


def wait_for_message_box(timeout=15):
    return wait_until(lambda: message_box(), timeout, step=0.3)


def screenshot(path, crop=None):
    args = ["import", "-silent", "-window", "root", "-depth", "8"]
    if crop:
        x, y, w, h = crop
        args += ["-crop", f"{w}x{h}+{x}+{y}"]
    subprocess.run(args + [path], check=True, timeout=30)
