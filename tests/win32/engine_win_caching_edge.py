#!/usr/bin/env python3
"""The real engine behind a studio's caching edge: nginx as the origin with
the caching rules of docs/deploying.md, Varnish in front of it, and two
players (two game folders) behind the same edge. Each installs the first
release, then updates to the second, published in place on the origin.

Checked on the origin's side, in nginx's access log: the edge fetches each
pack it needs once, whole, whatever ranges the first player asked for; the
second player's install and update cost the origin no pack at all, only
the manifest at the data URL once its short lifetime is over."""

import collections
import os
import random
import shutil
import sys
import tempfile
import time

from caching_edge import VarnishEdge, origin_cache_rules
from engine_driver import check_install, empty_game_folder, run_engine
from harness import BUILD
from update_server import DATA_FOLDER, Nginx, free_port, publish, write_release

# The manifest's lifetime at the edge: short here, so that the update is
# seen soon after it is published.
MANIFEST_SECONDS = 1


def releases():
    rng = random.Random(11)
    world = rng.randbytes(12 << 20)  # more than one range of a pack
    text = b"".join(b"line %d of the notes\n" % i for i in range(20000))
    first = {"velmora.exe": b"MZ the game\n", "data/world.pak": world, "data/notes.txt": text}
    second = dict(first)
    second["data/world.pak"] = world[:5 << 20] + rng.randbytes(300_000) + world[5 << 20:]
    second["data/extra.bin"] = rng.randbytes(200_000)
    return first, second


def pack_fetches(nginx, since):
    return [r for r in nginx.requests()[since:] if "/packs/" in r["path"]]


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def main():
    if VarnishEdge.missing():
        fail(VarnishEdge.missing())
    work = tempfile.mkdtemp(prefix="caching-edge-", dir=BUILD)
    origin = edge = None
    try:
        first, second = releases()
        write_release(os.path.join(work, "release-1"), first)
        write_release(os.path.join(work, "release-2"), second)
        site = os.path.join(work, "site")
        server = os.path.join(site, DATA_FOLDER)
        os.makedirs(site)
        publication = publish(os.path.join(work, "release-1"), server, 1)
        origin = Nginx(site, free_port(), workdir=os.path.join(work, "origin"),
                       server_lines=origin_cache_rules(MANIFEST_SECONDS))
        os.makedirs(origin.workdir)
        origin.start()
        edge = VarnishEdge(free_port(), origin.port, os.path.join(work, "edge")).start()
        url = f"http://127.0.0.1:{edge.port}/{DATA_FOLDER}/gamedata.vel"
        players = [empty_game_folder(os.path.join(work, name)) for name in ("player-a", "player-b")]

        for release, step in (("release-1", "install"), ("release-2", "update")):
            if step == "update":
                publication = publish(os.path.join(work, release), server, 2)
                time.sleep(MANIFEST_SECONDS + 1)
            packs = {name for name, _ in publication.packs()}
            for player in players:
                since = len(origin.requests())
                values = run_engine(player, url, timeout=120)
                if values.get("status") != "1":
                    fail(f"{step} of {os.path.basename(player)} ended with status {values.get('status')}")
                check_install(player, os.path.join(work, release))
                fetched = pack_fetches(origin, since)
                names = collections.Counter(r["path"].rsplit("/", 1)[1] for r in fetched)
                print(f"{step}, {os.path.basename(player)}: origin served "
                      f"{sum(r['bytes'] for r in origin.requests()[since:])} bytes in "
                      f"{len(origin.requests()) - since} requests, {len(fetched)} of packs")
                if player == players[0]:
                    # Each pack the first player needs, fetched once and
                    # whole: the edge then has it for every range.
                    if not fetched or any(count > 1 for count in names.values()) or not set(names) <= packs:
                        fail(f"the edge fetched the packs {dict(names)} for the first player")
                    if any(r["range"] or r["status"] != 200 for r in fetched):
                        fail(f"the edge passed ranges on to the origin: {fetched}")
                elif fetched:
                    fail(f"the second player's {step} cost the origin packs: {dict(names)}")
        print("ok")
        return 0
    finally:
        if edge:
            edge.stop()
        if origin:
            origin.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
