"""Measures the update engine on its own (fixtures/engine_driver runs
comp.dll as the program calls it) against nginx on loopback:

1. a fresh install of a 200 MB release, against curl fetching the same
   packs to disk and sha256sum checking them (a pack is named by its
   SHA-256), and against casync (Debian's, native) extracting the same
   release from an HTTP chunk store served by the same nginx, in the same
   run (best of a few rounds each; the ratio is the tools' time over the
   engine's);
2. the engine's peak memory in that install and in one of a release a tenth
   its size, whose largest file is a tenth as large: the peak must not
   follow the file size;
3. a fresh install of 10,000 files of 1 to 16 KiB, against curl fetching
   the same packs and casync as above, with the number of requests each
   made; then the time the engine takes to find that nothing changed in it;
   for both fresh installs, the platform's floor: a bare Windows program
   (fixtures/file_floor) that only creates, writes, flushes and renames
   the same files, under the same Wine;
4. both fresh installs again with the test proxy waiting 30 ms before every
   answer, as a far server does;
5. the bytes an update downloads when 1 MiB is inserted in the middle of a
   256 MiB file and another 1 MiB overwritten elsewhere (head, manifest and
   packs, as nginx's log counts them), against casync extracting the same
   file from an HTTP chunk store served by nginx with the old file as its
   seed, in the same run; the engine's update both with the manifest delta
   the publishing tool wrote (from the old manifest to the new one) and
   with that delta removed from the folder (the whole manifest then comes,
   after a request for the delta that finds nothing); and the bytes a start
   with nothing to do fetches in the 10,000-file install;
6. publishing: velmora-publish on one worker and on its default (one per
   hardware thread), and on one worker at its quickest compression level,
   against `casync make` (Debian's casync) on the same
   file, 1 GiB that does not compress and 128 MiB of text that does,
   wall-clock and CPU seconds each (the ratio is casync's time over the
   tool's: aim >= 1).

With no arguments it then runs, in the same Wine session, the other two
benchmarks and prints their lines as they come: manifest-reading (the
manifests of a 100 GB game read and planned by the Windows build this
machine measures) and large-release (a release over 4 GiB installed by the
engine alone and by the updater's window); at the end, a table of every
row. `--quick` leaves out large-release.

`engine_throughput.py publishing [rounds]` measures the publishing alone
(best of `rounds`, 3 by default), which needs neither Wine nor the
Windows build; `engine_throughput.py edit` measures the update of 5 alone.

Run it through tools/measure/engine-throughput, which builds and sets up
Wine."""

import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "lib"))
from engine_driver import check_install, empty_game_folder, key_values, run_engine  # noqa: E402
from benchmark_table import Row, large_release_rows, manifest_rows, print_table, throughput_rows  # noqa: E402
from harness import BUILD, windows_path  # noqa: E402
from update_server import (DATA_FOLDER, NOT_EXPIRING, PUBLISH_TOOL, TEST_KEY, FaultProxy, Nginx,  # noqa: E402
                           Publication, free_port, publish)

ROUNDS = 3
HERE = os.path.dirname(os.path.abspath(__file__))
# What the test proxy waits before every answer in the far-server rounds.
FAR_SERVER_DELAY = 0.03
MIB = 1 << 20
FLOOR = os.path.join(BUILD, "fixtures", "file_floor", "file_floor.exe")


def large_release(folder, scale=1):
    """200 MB (divided by scale): two large files that do not compress, one
    that compresses, and 128 smaller ones in nested folders."""
    def write(path, content):
        full = os.path.join(folder, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(content)

    write("data/archive0.pak", os.urandom(80 * MIB // scale))
    write("data/archive1.pak", os.urandom(48 * MIB // scale))
    rng = random.Random(1)
    words = [b"grass", b"stone", b"water", b"sand", b"road", b"tree", b"wall", b"roof"]
    lines = []
    size = 0
    while size < 40 * MIB // scale:
        line = b"tile %d %s %s %d\n" % (len(lines), rng.choice(words), rng.choice(words), rng.randrange(1000))
        lines.append(line)
        size += len(line)
    write("maps/world.pak", b"".join(lines)[:40 * MIB // scale])
    for i in range(128):
        write(f"assets/set{i // 16}/item{i:03}.bin", os.urandom(256 * 1024 // scale))
    return folder


def many_files_release(folder, count=10000):
    rng = random.Random(2)
    for i in range(count):
        full = os.path.join(folder, f"pack{i // 100:03}", f"file{i:05}.dat")
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(rng.randbytes(rng.randrange(1024, 16 * 1024 + 1)))
    return folder


def tree_bytes(folder):
    return sum(os.path.getsize(os.path.join(d, n)) for d, _, names in os.walk(folder) for n in names)


class Site:
    """nginx on a free loopback port serving one publication; with a delay,
    behind the test proxy, which waits that long before every answer."""

    def __init__(self, work, publication, delay=0):
        self.root = os.path.join(work, "site")
        os.makedirs(self.root, exist_ok=True)
        link = os.path.join(self.root, DATA_FOLDER)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.abspath(publication.path), link)
        self.nginx = Nginx(self.root, free_port(), workdir=tempfile.mkdtemp(prefix="nginx-", dir=work)).start()
        port = self.nginx.port
        self.proxy = None
        if delay:
            self.proxy = FaultProxy("127.0.0.1", free_port(), self.nginx.port).start()
            self.proxy.delay_answers(delay)
            port = self.proxy.server_address[1]
        self.base = f"http://127.0.0.1:{port}/{DATA_FOLDER}"

    def pack_requests(self, since=0):
        return [r for r in self.nginx.requests()[since:] if "/packs/" in r["path"]]

    def close(self):
        if self.proxy:
            self.proxy.stop()
        self.nginx.stop()


def pack_sums(work, publication):
    """The packs to fetch, and a sha256sum list of them: each is named by
    the SHA-256 of its bytes."""
    packs = [name for name, _ in publication.packs()]
    sums = os.path.join(work, "packs.sha256")
    with open(sums, "w") as f:
        for name in packs:
            f.write(f"{name}  {name}\n")
    return packs, sums


def standard_tools(work, site, packs, sums):
    """curl fetches every pack to disk over one connection, sha256sum
    checks them; returns the seconds both took."""
    target = os.path.join(work, "curl")
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    command = ["curl", "-s", "--fail"]
    for name in packs:
        command += ["-o", name, f"{site.base}/packs/{name}"]
    started = time.monotonic()
    subprocess.run(command, cwd=target, check=True, timeout=900)
    subprocess.run(["sha256sum", "--quiet", "-c", sums], cwd=target, check=True, timeout=900)
    return time.monotonic() - started


def read_all(folder):
    """Reads a folder once so that neither side pays for the first read."""
    for directory, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(directory, name), "rb") as f:
                while f.read(4 * MIB):
                    pass


def throughput(work):
    release = large_release(os.path.join(work, "release"))
    size = tree_bytes(release)
    started = time.monotonic()
    publication = publish(release, os.path.join(work, "published"), 1)
    publish_seconds = time.monotonic() - started
    stored = publication.stored_bytes()
    site = Site(work, publication)
    try:
        read_all(publication.path)
        packs, sums = pack_sums(work, publication)
        game = os.path.join(work, "engine-install")
        engine_seconds, tool_seconds, runs = [], [], []
        for _ in range(ROUNDS):
            tool_seconds.append(standard_tools(work, site, packs, sums))
            empty_game_folder(game)
            values = run_engine(game, f"{site.base}/gamedata.vel")
            engine_seconds.append(float(values["run_ms"]) / 1000)
            runs.append(values)
        check_install(game, release)
        since = len(site.nginx.requests())
        empty_game_folder(game)
        run_engine(game, f"{site.base}/gamedata.vel")
        engine_requests = len(site.nginx.requests()) - since
    finally:
        site.close()
    far_seconds = far_server_seconds(work, publication, game)
    return {"size": size, "stored": stored, "publish_s": publish_seconds, "engine_s": min(engine_seconds),
            "engine_requests": engine_requests, "casync": casync_fresh_install(work, release),
            "far_s": far_seconds, "floor_s": platform_floor(work, release),
            "engine_all": engine_seconds, "tools_s": min(tool_seconds), "tools_all": tool_seconds,
            "peak_kib": max(int(r["peak_kib"]) for r in runs),
            "baseline_kib": min(int(r["baseline_peak_kib"]) for r in runs)}


def small_release_peak(work):
    release = large_release(os.path.join(work, "release-small"), scale=10)
    publication = publish(release, os.path.join(work, "published-small"), 1)
    site = Site(work, publication)
    try:
        game = empty_game_folder(os.path.join(work, "engine-install-small"))
        values = run_engine(game, f"{site.base}/gamedata.vel")
    finally:
        site.close()
    return {"size": tree_bytes(release), "peak_kib": int(values["peak_kib"]),
            "baseline_kib": int(values["baseline_peak_kib"])}


def platform_floor(work, release):
    """The least time this platform takes to put the release's files on the
    disk as an installer must (fixtures/file_floor: create, write, flush,
    rename; nothing fetched or hashed), best of ROUNDS."""
    listing = os.path.join(work, "floor-list.txt")
    with open(listing, "w", encoding="utf-8") as out:
        for folder, _, names in os.walk(release):
            for name in names:
                path = os.path.join(folder, name)
                out.write(f"{os.path.getsize(path)} {os.path.relpath(path, release).replace(os.sep, '/')}\n")
    target = os.path.join(work, "floor-install")
    seconds = []
    for _ in range(ROUNDS):
        shutil.rmtree(target, ignore_errors=True)
        result = subprocess.run(["wine", FLOOR, windows_path(listing), windows_path(target)], capture_output=True,
                                text=True, timeout=900)
        values = key_values(result.stdout)
        if result.returncode != 0 or "run_ms" not in values:
            raise SystemExit(f"file_floor failed: exit {result.returncode}\n{result.stdout}{result.stderr}")
        seconds.append(float(values["run_ms"]) / 1000)
    shutil.rmtree(target, ignore_errors=True)
    return min(seconds)


def far_server_seconds(work, publication, game):
    """A fresh install from a server FAR_SERVER_DELAY away."""
    far = Site(work, publication, delay=FAR_SERVER_DELAY)
    try:
        empty_game_folder(game)
        return float(run_engine(game, f"{far.base}/gamedata.vel")["run_ms"]) / 1000
    finally:
        far.close()


def many_files(work):
    release = many_files_release(os.path.join(work, "release-many"))
    publication = publish(release, os.path.join(work, "published-many"), 1)
    site = Site(work, publication)
    try:
        packs, sums = pack_sums(work, publication)
        tool_seconds = min(standard_tools(work, site, packs, sums) for _ in range(ROUNDS))
        game = os.path.join(work, "engine-install-many")
        fresh_seconds = []
        for _ in range(ROUNDS):
            empty_game_folder(game)
            since = len(site.nginx.requests())
            fresh_seconds.append(float(run_engine(game, f"{site.base}/gamedata.vel")["run_ms"]) / 1000)
            requests = len(site.pack_requests(since))
        check_install(game, release)
        fetched_before = len(site.nginx.requests())
        checks = [float(run_engine(game, f"{site.base}/gamedata.vel")["run_ms"]) for _ in range(ROUNDS)]
        answers = site.nginx.requests()[fetched_before:]
        if any(not r["path"].endswith("/gamedata.vel") for r in answers):
            raise SystemExit("the engine fetched more than the head for an install that matched")
    finally:
        site.close()
    far_seconds = far_server_seconds(work, publication, game)
    return {"fresh_s": min(fresh_seconds), "tools_s": tool_seconds, "requests": requests, "packs": len(packs),
            "far_s": far_seconds, "check_ms": statistics.median(checks), "checks": checks,
            "manifest_bytes": len(Publication(publication.path).manifest()), "stored": publication.stored_bytes(),
            "check_requests": len(answers) / ROUNDS,
            "check_bytes": sum(r["answer_bytes"] for r in answers) / ROUNDS, "floor_s": platform_floor(work, release),
            "casync": casync_fresh_install(work, release)}


def update_bytes(work, name, first, second, content):
    """The engine installs `first` in a game folder of its own, then updates
    it to `second`, whose data/big.pak is `content`: the update's requests,
    by what they fetched."""
    game = empty_game_folder(os.path.join(work, "engine-install-" + name))
    site = Site(work, first)
    try:
        run_engine(game, f"{site.base}/gamedata.vel")
    finally:
        site.close()
    site = Site(work, second)
    try:
        run_engine(game, f"{site.base}/gamedata.vel")
        requests = site.nginx.requests()
    finally:
        site.close()
    with open(os.path.join(game, "data", "big.pak"), "rb") as f:
        if f.read() != content:
            raise SystemExit("the updated 256 MiB file differs")
    shutil.rmtree(game, ignore_errors=True)
    of = lambda part: [r for r in requests if part in r["path"]]  # noqa: E731
    return {"bytes": sum(r["answer_bytes"] for r in requests), "requests": len(requests),
            "pack_bytes": sum(r["bytes"] for r in of("/packs/")), "pack_requests": len(of("/packs/")),
            "head_bytes": sum(r["bytes"] for r in of("/gamedata.vel")),
            "delta_bytes": sum(r["bytes"] for r in of("/deltas/") if r["status"] == 200),
            "manifest_bytes": sum(r["bytes"] for r in of("/manifests/"))}


def inserted_and_overwritten(work):
    """A 256 MiB file, then the same with 1 MiB of new bytes inserted in its
    middle and another 1 MiB overwritten elsewhere: what the update costs,
    with the manifest delta the tool wrote and without it."""
    old = os.urandom(256 * MIB)
    new = old[:128 * MIB] + os.urandom(MIB) + old[128 * MIB:200 * MIB] + os.urandom(MIB) + old[201 * MIB:]
    first = publish(write_file(os.path.join(work, "release-big-1"), "data/big.pak", old),
                    os.path.join(work, "published-big-1"), 1)
    second = publish(write_file(os.path.join(work, "release-big-2"), "data/big.pak", new),
                     os.path.join(work, "published-big-2"), 2, previous=first)
    if not os.path.isdir(os.path.join(second.path, "deltas")):
        raise SystemExit("velmora-publish wrote no manifest delta for the update")
    with_delta = update_bytes(work, "delta", first, second, new)
    shutil.rmtree(os.path.join(second.path, "deltas"))
    without = update_bytes(work, "no-delta", first, second, new)
    return {"delta": with_delta, "whole": without, "casync": casync_update(work, old, new)}


def casync_fresh_install(work, release):
    """casync installing the same release afresh: the folder made into an
    index of a chunk store (casync's default chunk sizes), served by nginx
    and extracted over HTTP into an empty folder; best of ROUNDS, with the
    requests of one extract."""
    root = tempfile.mkdtemp(prefix="casync-fresh-", dir=work)
    site = os.path.join(root, "site")
    os.makedirs(site)
    subprocess.run(["casync", "make", "--store=" + os.path.join(site, "store"),
                    os.path.join(site, "release.caidx"), release], check=True, capture_output=True)
    nginx = Nginx(site, free_port(), workdir=tempfile.mkdtemp(prefix="nginx-", dir=work)).start()
    try:
        base = f"http://127.0.0.1:{nginx.port}"
        out = os.path.join(root, "extracted")
        seconds = []
        for _ in range(ROUNDS):
            shutil.rmtree(out, ignore_errors=True)
            since = len(nginx.requests())
            started = time.monotonic()
            subprocess.run(["casync", "extract", "--store=" + base + "/store", base + "/release.caidx", out],
                           check=True, capture_output=True)
            seconds.append(time.monotonic() - started)
            requests = len(nginx.requests()) - since
        check_install(out, release)
    finally:
        nginx.stop()
        shutil.rmtree(root, ignore_errors=True)
    return {"seconds": min(seconds), "requests": requests}


def casync_update(work, old, new):
    """casync's cost for the same update: both files made into indexes of
    one chunk store (its default chunk sizes, 16/64/256 KiB), served by
    nginx, the new one extracted over HTTP with the old file as seed."""
    root = os.path.join(work, "casync")
    site = os.path.join(root, "site")
    os.makedirs(site)
    files = {}
    for name, content in (("old", old), ("new", new)):
        files[name] = os.path.join(root, name + ".bin")
        with open(files[name], "wb") as f:
            f.write(content)
        subprocess.run(["casync", "make", "--store=" + os.path.join(site, "store"),
                        os.path.join(site, name + ".caibx"), files[name]], check=True, capture_output=True)
    nginx = Nginx(site, free_port(), workdir=tempfile.mkdtemp(prefix="nginx-", dir=work)).start()
    try:
        base = f"http://127.0.0.1:{nginx.port}"
        out = os.path.join(root, "extracted.bin")
        subprocess.run(["casync", "extract", "--store=" + base + "/store", "--seed=" + files["old"],
                        base + "/new.caibx", out], check=True, capture_output=True)
        requests = nginx.requests()
    finally:
        nginx.stop()
    with open(out, "rb") as f:
        if f.read() != new:
            raise SystemExit("casync's extracted file differs")
    return {"bytes": sum(r["answer_bytes"] for r in requests), "requests": len(requests),
            "index_bytes": sum(r["bytes"] for r in requests if r["path"].endswith(".caibx"))}


def write_file(folder, path, content):
    full = os.path.join(folder, *path.split("/"))
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(content)
    return folder


def timed(command):
    """Runs a command; its wall-clock and CPU seconds (user and system, of
    all its threads)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, timeout=1800)
    wall = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def publishing(work, rounds=ROUNDS):
    """velmora-publish (on one worker, and on its default count) and casync
    make on the same release of one file, from the page cache, into fresh
    folders; best of `rounds` for each."""
    cases = []
    noise = os.path.join(work, "publish-noise", "data", "big.pak")
    os.makedirs(os.path.dirname(noise))
    with open(noise, "wb") as f:
        for _ in range(16):
            f.write(os.urandom(64 * MIB))
    cases.append(("1 GiB of random bytes", noise))
    text = os.path.join(work, "publish-text", "data", "world.txt")
    os.makedirs(os.path.dirname(text))
    rng = random.Random(3)
    words = [b"grass", b"stone", b"water", b"sand", b"road", b"tree", b"wall", b"roof"]
    with open(text, "wb") as f:
        for _ in range(128):
            f.write(b"".join(b"tile %d %s %s\n" % (rng.randrange(10**6), rng.choice(words), rng.choice(words))
                             for _ in range(40000))[:MIB].ljust(MIB, b"\n"))
    cases.append(("128 MiB of text", text))
    results = []
    for name, path in cases:
        release = os.path.dirname(os.path.dirname(path))
        read_all(release)
        runs = {"one worker": [], "default workers": [], "quickest level": [], "casync": []}
        for round_ in range(rounds):
            for label, extra in (("one worker", ["--workers", "1"]), ("default workers", []),
                                 ("quickest level", ["--workers", "1", "--compression-level", "1"])):
                out = os.path.join(work, f"published-{round_}-{len(results)}-{len(extra)}")
                runs[label].append(timed([PUBLISH_TOOL, "publish", "--key", TEST_KEY, "--release", release,
                                          "--out", out, "--version", "1", "--expires", NOT_EXPIRING] + extra))
                shutil.rmtree(out)
            store = os.path.join(work, f"casync-{round_}")
            runs["casync"].append(timed(["casync", "make", f"--store={store}", store + ".caibx", path]))
            shutil.rmtree(store)
        results.append((name, os.path.getsize(path), {label: min(r) for label, r in runs.items()}))
    return results, rounds


def print_publishing(measured):
    results, rounds = measured
    print(f"publishing (velmora-publish, {os.cpu_count()} hardware threads) against casync make, "
          f"best of {rounds}")
    for name, size, best in results:
        casync_wall, casync_cpu = best["casync"]
        print(f"  {name}")
        for label, (wall, cpu) in best.items():
            ratio = "" if label == "casync" else \
                f"   ratio casync / tool: {casync_wall / wall:.2f} wall, {casync_cpu / cpu:.2f} CPU   (aim >= 1)"
            print(f"    {label:<16} {wall:7.2f} s  {size / MIB / wall:6.1f} MiB/s   CPU {cpu:6.2f} s{ratio}")
    print("  (one worker: the default compression level, 6; quickest level: --compression-level 1 on one worker)")


def run_showing(command):
    """Runs another benchmark, printing its lines as they come; its exit
    status and its lines."""
    lines = []
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors="replace") as process:
        for line in process.stdout:
            line = line.replace("\r", "")
            print(line, end="", flush=True)
            lines.append(line)
    return process.returncode, lines


def windows_build():
    """The Windows build this run measures, as engine-throughput chose it:
    manifest-reading's flag for it, and what to call it."""
    if os.environ.get("VELMORA_WINDOWS_PRESET") == "win32":
        return "--wine32", "32-bit build under wine32"
    return "--wine", "x86_64 build under wine64"


def other_benchmarks(quick):
    """manifest-reading on the Windows build this machine measures, then,
    unless `quick`, large-release; their rows, and whether all finished."""
    flag, build = windows_build()
    rows, finished = [], True
    status, lines = run_showing([os.path.join(HERE, "manifest-reading"), flag])
    read = manifest_rows(lines)
    rows += read
    # The deep manifest, the fresh install and the update: fewer rows mean
    # the tool's lines changed and the table would drop a case unseen.
    if status != 0 or len(read) != 3:
        rows.append(Row(f"manifest reading ({build})", f"FAILED (exit {status}, {len(read)} of 3 rows read)"))
        finished = False
    if not quick:
        status, lines = run_showing([os.path.join(HERE, "large-release")])
        rows += large_release_rows(lines)
        if status != 0 or not any(line.startswith("  peak_kib=") for line in lines):
            rows.append(Row("large release", f"FAILED (exit {status})"))
            finished = False
    return rows, finished


def main():
    only_publishing = sys.argv[1:2] == ["publishing"]
    only_edit = sys.argv[1:2] == ["edit"]
    quick = sys.argv[1:] == ["--quick"]
    if sys.argv[1:] and not (only_publishing or only_edit or quick):
        raise SystemExit("usage: engine_throughput.py [--quick | publishing [rounds] | edit]")
    needed = ("casync",) if only_publishing else ("curl", "sha256sum", "nginx", "casync")
    for program in needed:
        if not shutil.which(program):
            raise SystemExit(f"{program} is needed (apt-get install {program})")
    work = tempfile.mkdtemp(prefix="engine-throughput-", dir=os.path.join(BUILD))
    try:
        if only_publishing:
            print_publishing(publishing(work, int(sys.argv[2]) if len(sys.argv) > 2 else ROUNDS))
            return
        if only_edit:
            print_edit(inserted_and_overwritten(work))
            return
        big = throughput(work)
        small = small_release_peak(work)
        many = many_files(work)
        edit = inserted_and_overwritten(work)
        published = publishing(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    mb = big["size"] / MIB
    print(f"fresh install of {mb:.0f} MiB ({big['stored'] / MIB:.0f} MiB stored) from nginx on loopback, "
          f"best of {ROUNDS}")
    print(f"  engine (comp.dll through engine_driver)       {big['engine_s']:7.2f} s  "
          f"{mb / big['engine_s']:6.1f} MiB/s   runs {', '.join('%.2f' % s for s in big['engine_all'])}")
    print(f"  curl to disk + sha256sum -c, same packs        {big['tools_s']:7.2f} s  "
          f"{mb / big['tools_s']:6.1f} MiB/s   runs {', '.join('%.2f' % s for s in big['tools_all'])}")
    print(f"  ratio (tools time / engine time)               {big['tools_s'] / big['engine_s']:7.2f}   (aim >= 0.9)")
    print(f"  casync extract, HTTP chunk store (native)      {big['casync']['seconds']:7.2f} s   "
          f"{big['casync']['requests']} requests, the engine {big['engine_requests']}   "
          f"ratio casync / engine time {big['casync']['seconds'] / big['engine_s']:.2f}")
    print(f"  the platform's floor (file_floor, best of {ROUNDS})      {big['floor_s']:7.2f} s   "
          f"ratio engine / floor {big['engine_s'] / big['floor_s']:.2f}")
    print(f"  publishing it with velmora-publish             {big['publish_s']:7.2f} s")
    print("peak working set of the driver process (Wine included)")
    print(f"  {mb:.0f} MiB install (largest file 80 MiB)            {big['peak_kib'] / 1024:7.1f} MiB   "
          f"before the start call {big['baseline_kib'] / 1024:.1f} MiB, "
          f"engine's part {(big['peak_kib'] - big['baseline_kib']) / 1024:.1f} MiB")
    print(f"  {small['size'] / MIB:.0f} MiB install (largest file 8 MiB)              "
          f"{small['peak_kib'] / 1024:7.1f} MiB   before the start call {small['baseline_kib'] / 1024:.1f} MiB, "
          f"engine's part {(small['peak_kib'] - small['baseline_kib']) / 1024:.1f} MiB   (aim < 32 MiB, flat)")
    print(f"  the same through a server 30 ms away           {big['far_s']:7.2f} s   "
          f"ratio to loopback {big['far_s'] / big['engine_s']:.2f}   (aim <= 1.5)")
    print(f"10,000 files of 1-16 KiB ({many['stored'] / MIB:.1f} MiB stored in {many['packs']} packs, "
          f"manifest {many['manifest_bytes'] / MIB:.1f} MiB)")
    print(f"  fresh install by the engine                    {many['fresh_s']:7.2f} s   "
          f"{many['requests']} pack requests")
    print(f"  curl to disk + sha256sum -c, same packs        {many['tools_s']:7.2f} s   "
          f"ratio engine / tools {many['fresh_s'] / many['tools_s']:.2f}")
    print(f"  casync extract, HTTP chunk store (native)      {many['casync']['seconds']:7.2f} s   "
          f"{many['casync']['requests']} requests   ratio casync / engine time "
          f"{many['casync']['seconds'] / many['fresh_s']:.2f}")
    print(f"  the platform's floor (file_floor, best of {ROUNDS})      {many['floor_s']:7.2f} s   "
          f"ratio engine / floor {many['fresh_s'] / many['floor_s']:.2f}")
    print(f"  the same install through a server 30 ms away   {many['far_s']:7.2f} s   "
          f"ratio to loopback {many['far_s'] / many['fresh_s']:.2f}   (aim <= 1.5)")
    print(f"  finding that nothing changed (median of {ROUNDS})      {many['check_ms'] / 1000:7.3f} s   "
          f"runs {', '.join('%.0f ms' % ms for ms in many['checks'])}   (aim < 1 s)")
    print(f"  nothing changed: downloaded per start          {many['check_bytes']:7.0f} bytes in "
          f"{many['check_requests']:.0f} request (answers with their heads)   (aim < 1 KiB, 1 request)")
    print_edit(edit)
    print_publishing(published)
    sys.stdout.flush()
    others, finished = other_benchmarks(quick)
    print_table(throughput_rows(big, small, many, edit, published) + others, windows_build()[1])
    if not finished:
        raise SystemExit(1)


def print_edit(edit):
    cas = edit["casync"]
    print("a 256 MiB file with 1 MiB inserted in its middle and 1 MiB overwritten elsewhere, nginx's log")
    for key, label in (("delta", "with the manifest delta"), ("whole", "without it (whole manifest)")):
        run = edit[key]
        print(f"  the engine, {label:<33} {run['bytes'] / MIB:7.2f} MiB in {run['requests']} requests: "
              f"head {run['head_bytes']} B, delta {run['delta_bytes'] / 1024:.1f} KiB, "
              f"manifest {run['manifest_bytes'] / 1024:.1f} KiB, "
              f"{run['pack_bytes'] / MIB:.2f} MiB of packs in {run['pack_requests']}")
    print(f"  casync extract --seed, HTTP chunk store        {cas['bytes'] / MIB:7.2f} MiB in {cas['requests']} "
          f"requests: index {cas['index_bytes'] / 1024:.0f} KiB")
    print(f"  ratio (engine bytes / casync bytes)            {edit['delta']['bytes'] / cas['bytes']:7.2f}   "
          f"(aim <= 1; without the delta {edit['whole']['bytes'] / cas['bytes']:.2f})")


if __name__ == "__main__":
    main()
