"""The closing table of a whole benchmark run: one row per measured case,
with what the engine, casync and curl + sha256sum did and the aim. The
rows of engine_throughput.py come from its own results; those of
manifest-reading and large-release from the lines those tools print."""

import re
from typing import NamedTuple

MIB = 1 << 20


class Row(NamedTuple):
    case: str
    engine: str
    casync: str = "-"
    tools: str = "-"
    aim: str = "-"


def floor_row(floor_s, engine_s):
    """The same files only created, written, flushed and renamed."""
    return Row("  the platform's floor (create, write, flush, rename)",
               f"{floor_s:.2f} s (engine / floor {engine_s / floor_s:.2f})")


def throughput_rows(big, small, many, edit, published):
    """The rows of the engine's own measurements (engine_throughput.py)."""
    mb = big["size"] / MIB
    whole = edit["whole"]["bytes"] / MIB
    rows = [
        Row(f"fresh install of {mb:.0f} MiB", f"{big['engine_s']:.2f} s",
            f"{big['casync']['seconds']:.2f} s", f"{big['tools_s']:.2f} s", "tools / engine >= 0.9"),
        Row(f"  peak, {mb:.0f} MiB install", f"{big['peak_kib'] / 1024:.1f} MiB "
            f"(engine {(big['peak_kib'] - big['baseline_kib']) / 1024:.1f})"),
        Row(f"  peak, {small['size'] / MIB:.0f} MiB install", f"{small['peak_kib'] / 1024:.1f} MiB "
            f"(engine {(small['peak_kib'] - small['baseline_kib']) / 1024:.1f})", aim="< 32 MiB, flat"),
        Row("  from a server 30 ms away", f"{big['far_s']:.2f} s", aim="<= 1.5 x loopback"),
        floor_row(big["floor_s"], big["engine_s"]),
        Row("  publishing it with velmora-publish", f"{big['publish_s']:.2f} s"),
        Row("fresh install of 10,000 small files", f"{many['fresh_s']:.2f} s",
            f"{many['casync']['seconds']:.2f} s", f"{many['tools_s']:.2f} s"),
        Row("  from a server 30 ms away", f"{many['far_s']:.2f} s", aim="<= 1.5 x loopback"),
        floor_row(many["floor_s"], many["fresh_s"]),
        Row("  finding nothing changed", f"{many['check_ms'] / 1000:.3f} s", aim="< 1 s"),
        Row("  downloaded per start", f"{many['check_bytes']:.0f} B in {many['check_requests']:.0f} request",
            aim="< 1 KiB, 1 request"),
        Row("1 MiB inserted + 1 MiB overwritten in 256 MiB", f"{edit['delta']['bytes'] / MIB:.2f} MiB",
            f"{edit['casync']['bytes'] / MIB:.2f} MiB", aim="engine / casync <= 1"),
        Row("  without the manifest delta", f"{whole:.2f} MiB", f"{edit['casync']['bytes'] / MIB:.2f} MiB"),
    ]
    results, _ = published
    for name, _, best in results:
        rows.append(Row(f"publishing {name}", f"{best['one worker'][0]:.2f} s one worker, "
                        f"{best['default workers'][0]:.2f} s all, {best['quickest level'][0]:.2f} s one worker "
                        f"at level 1", f"{best['casync'][0]:.2f} s", aim="casync / tool >= 1"))
    return rows


DEEP = re.compile(r"^(\d+) bytes, (\d+) files 115 folders deep: whole read ([\d.]+) s, "
                  r"CheckManifestContent ([\d.]+) s")
GAME = re.compile(r"^(100 GB game, [^:]+): (.*) in ([\d.]+) s, heap at most ([\d.]+) MiB")


def manifest_rows(lines):
    """The rows of manifest-reading's output."""
    rows = []
    for line in lines:
        line = line.strip()
        if deep := DEEP.match(line):
            rows.append(Row(f"{int(deep[1]) / MIB:.0f} MiB manifest, paths 115 folders deep",
                            f"{float(deep[3]):.3f} s read, {float(deep[4]):.3f} s checked"))
        elif game := GAME.match(line):
            rows.append(Row(f"{game[1]}, manifests read and planned",
                            f"{float(game[3]):.2f} s, heap {float(game[4]):.1f} MiB", aim="< 2 s, < 64 MiB"))
    return rows


def large_release_rows(lines):
    """The rows of large-release's output: the engine on its own (time and
    peak), and the last status line and bar the window showed, with where
    the screenshots are."""
    values, size, window, ended, shots = {}, "?", "no window seen", "", "?"
    for line in lines:
        line = line.strip()
        if line.startswith("release: "):
            size = line[len("release: "):]
        elif line.startswith("window: "):
            window = line[len("window: "):]
        elif line.startswith("ended after "):
            ended = line
        elif line.startswith("screenshots: "):
            shots = line[len("screenshots: "):]
        else:
            # The driver's report: "key=value" words, several to a line.
            for word in line.split():
                key, sep, value = word.partition("=")
                if sep and key in ("status", "run_ms", "peak_kib", "baseline_peak_kib"):
                    values[key] = value
    engine = "did not report"
    if "run_ms" in values and "peak_kib" in values:
        peak = float(values["peak_kib"])
        engine_part = f" (engine {(peak - float(values['baseline_peak_kib'])) / 1024:.1f})" \
            if "baseline_peak_kib" in values else ""
        engine = (f"{float(values['run_ms']) / 1000:.1f} s, peak {peak / 1024:.1f} MiB{engine_part}, "
                  f"status {values.get('status', '?')}")
    return [Row(f"release of {size}, the engine alone", engine, aim="peak flat, as above"),
            Row("  the updater's window, last shown",
                "; ".join(part for part in (window, ended, f"screenshots in {shots}") if part))]


def print_table(rows, windows_build):
    header = Row("case", "engine", "casync", "curl+sha256sum", "aim")
    widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
    print(f"summary: the engine and the manifest reading as the {windows_build}; casync and curl native")
    for row in [header] + rows:
        print("  " + "  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
