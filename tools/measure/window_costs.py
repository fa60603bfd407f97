"""Measures what the updater costs to run, against a bare window program of
ours measured the same way in the same run: time from start to the window
shown (median of several starts, the two programs taking turns), CPU time over 10 seconds with the window
open and the engine idle, peak memory, and file size. Run it through
tools/measure/window-costs, which sets up Wine and Xvfb."""

import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "lib"))
from harness import BUILD, Installation, windows_path  # noqa: E402

LAUNCH_TIMER = os.path.join(BUILD, "fixtures", "launch_timer", "launch_timer.exe")
BARE_WINDOW = os.path.join(BUILD, "fixtures", "bare_window", "bare_window.exe")
STARTS = 15
IDLE_SECONDS = 10


def linux_process(program):
    """The Linux process of the started program: the newest one whose command
    line holds the program's own full path. The base name alone would also
    match the same program started from other folders, by other runs on the
    machine."""
    path = windows_path(program).encode()
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if path in f.read():
                    found.append(int(pid))
        except OSError:
            pass
    return max(found) if found else None


def cpu_seconds(pid):
    """CPU time of all the process's threads, to the nanosecond."""
    total = 0
    for thread in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{thread}/schedstat") as f:
            total += int(f.read().split()[0])
    return total / 1e9


def peak_memory_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def start_once(window_class, program):
    """Starts the program and waits for its window: (ms to shown, pid)."""
    name = os.path.basename(program)
    # Through a file, not a pipe: the started program inherits the timer's
    # output and would hold a pipe open for as long as it runs.
    with tempfile.TemporaryFile("w+") as output:
        subprocess.run(["wine", LAUNCH_TIMER, window_class, windows_path(program)], stdout=output,
                       stderr=subprocess.DEVNULL, timeout=60)
        output.seek(0)
        text = output.read()
    values = dict(line.split("=", 1) for line in text.split() if "=" in line)
    if "shown_ms" not in values:
        raise SystemExit(f"{name}: no window ({text})")
    pid = linux_process(program)
    if pid is None:
        raise SystemExit(f"{name}: its process is not found")
    return float(values["shown_ms"]), pid


def idle_costs(pid):
    time.sleep(1)
    before = cpu_seconds(pid)
    time.sleep(IDLE_SECONDS)
    return (cpu_seconds(pid) - before) * 1000, peak_memory_kib(pid)


def main():
    install = Installation("start 0\n")
    programs = {"updater": ("VELUpdater", os.path.join(install.app, "VELUpdater.exe")),
                "bare": ("BareWindow", BARE_WINDOW)}
    results = {key: {"shown": [], "size_bytes": os.path.getsize(program)} for key, (_, program) in programs.items()}
    try:
        # The two programs take turns, so that whatever else the machine
        # does weighs on both alike.
        for attempt in range(STARTS):
            for key, (window_class, program) in programs.items():
                shown, pid = start_once(window_class, program)
                results[key]["shown"].append(shown)
                if attempt == STARTS - 1:
                    results[key]["cpu_ms"], results[key]["peak_kib"] = idle_costs(pid)
                os.kill(pid, 9)
                time.sleep(0.5)
    finally:
        install.close()
    for result in results.values():
        result["shown_ms"] = statistics.median(result["shown"])
    updater, bare = results["updater"], results["bare"]
    rows = (("start to window shown (ms, median of %d)" % STARTS, "shown_ms", "%.1f"),
            ("CPU over %d s idle (ms)" % IDLE_SECONDS, "cpu_ms", "%.1f"),
            ("peak memory (KiB)", "peak_kib", "%d"),
            ("file size (bytes)", "size_bytes", "%d"))
    print(f"{'':44} {'updater':>12} {'bare window':>12} {'ratio':>8}")
    for label, key, form in rows:
        ratio = f"{updater[key] / bare[key]:8.2f}" if bare[key] else "     n/a"
        print(f"{label:44} {form % updater[key]:>12} {form % bare[key]:>12} {ratio}")


if __name__ == "__main__":
    main()
