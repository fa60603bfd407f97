#!/usr/bin/env python3
"""Publishes the engine's test releases with velmora-publish and serves
them on loopback while it runs a Windows test program:

    engine_win_server.py --publish-tool PATH -- wine engine_win_server_tests.exe

In a temporary folder: releases/<name>/ (what the installed game must hold),
server/<name>/ (the published folders, some tampered), served by nginx
behind the test proxy, and requests.log (one "<path>\\t<Range or ->\\t<status>"
line per request), nginx's own log of the answers at
VELMORA_TEST_NGINX_LOG, and manifests/<name>.vel, the manifest text each
server folder serves (its head names it). A request path starting "/_fault/<fault>/" is served
from the rest of the path with that fault on objects (see FaultProxy). The
test program finds the server in VELMORA_TEST_SERVER and the folder, as a
Wine path, in VELMORA_TEST_DATA, and a 16 MiB file system of its own,
mounted for the run where that is permitted, in VELMORA_TEST_SMALL_DISK
(else VELMORA_TEST_NO_SMALL_DISK says why not). A player's forward proxy
(tinyproxy, forward_proxy.py) listens at VELMORA_TEST_HTTP_PROXY
("host:port") and reaches the same server, without the test proxy, as
VELMORA_TEST_PROXIED_SERVER, a name nothing else resolves; a proxy script
naming it for that name is at VELMORA_TEST_PROXY_SCRIPT, and its log at
VELMORA_TEST_PROXY_LOG (else VELMORA_TEST_NO_PROXY says why there is none).
A second proxy in front of the same nginx stands for a mirror the
spread-b-* manifests name, a server of its own for the engine, and logs its
requests to mirror-requests.log.
"""
import argparse
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zlib

import update_server
from forward_proxy import ForwardProxy
from update_server import (EXPIRED, NEXT_KEY, FaultProxy, Nginx, Publication, alter_signature, free_port, publish,
                           resign_head, resign_manifest, resign_named_manifest, swap_first_chunks,
                           tamper_manifest, tamper_chunk, write_release)

# The second test key pair, which the engines of the key rotation test trust.


def make_releases(root):
    rng = random.Random(6)
    noise = bytes(rng.getrandbits(8) for _ in range(300_000))
    text = b"".join(b"line %d of the game's notes\n" % i for i in range(8000))
    first = {
        "velmora.exe": b"MZ velmora game, first edition\n",
        "data/notes.txt": text,                 # compresses: stored as .z
        "data/notes-copy.txt": text,            # the same object again
        "data/maps/world.pak": noise,           # does not compress: stored as is
    }
    second = dict(first)
    second["data/maps/world.pak"] = noise[:200_000] + b"changed" + noise[200_007:]
    second["data/new/extra.bin"] = bytes(rng.getrandbits(8) for _ in range(50_000))
    # Drops a file, makes a file a folder and a folder a file, and adds one
    # whose full path in the game folder is longer than 260 characters.
    deep = "data/" + "/".join(["a-long-folder-name-of-the-game-data-%02d" % i for i in range(5)]) + "/file.pak"
    third = {
        "velmora.exe": first["velmora.exe"],
        "data/notes.txt/part.txt": b"the notes are a folder now\n",
        "data/maps": b"the maps are one file now\n",
        deep: b"deep inside\n",
    }
    # Changes two files of the first release.
    fourth = dict(first)
    fourth["data/notes.txt"] = text + b"one more line\n"
    fourth["data/maps/world.pak"] = noise[:1000] + b"moved" + noise[1005:]
    # One file renamed by case only, in letters beyond Latin: U+1F00 alpha
    # with psili becomes U+1F08, its capital; then it changes content too.
    lower, upper = "\u1f00\u03c1\u03c7\u03ae.txt", "\u1f08\u03c1\u03c7\u03ae.txt"
    greek = {"velmora.exe": first["velmora.exe"], lower: b"the beginning\n"}
    greek_renamed = {"velmora.exe": first["velmora.exe"], upper: greek[lower]}
    greek_changed = {"velmora.exe": first["velmora.exe"], lower: b"the beginning, told again\n"}
    # Over 3 MiB more than the first, none of it compressible, one content
    # in two files: a run to it copies 1.5 MiB while it places them.
    big = dict(first)
    big["data/maps/world.pak"] = noise[:100_000] + b"bigger" + noise[100_006:]
    big["data/big/one.bin"] = bytes(rng.getrandbits(8) for _ in range(1536 * 1024))
    big["data/big/one-copy.bin"] = big["data/big/one.bin"]
    big["data/big/two.bin"] = bytes(rng.getrandbits(8) for _ in range(1024 * 1024))
    # 4 MiB that do not compress, then the same with a byte changed every
    # 512 KiB: an update fetches chunks far apart, in more ranges than are
    # asked at once.
    spread_a = random.Random(9).randbytes(4 << 20)
    spread_b = bytearray(spread_a)
    for at in range(1000, len(spread_b), 512 << 10):
        spread_b[at] ^= 0xFF
    # The first with settings the player edits (published as the player's),
    # then new defaults for them.
    settings = dict(first)
    settings["config/game.ini"] = b"volume=5\n"
    settings["config/keys.ini"] = b"jump=space\n"
    settings_next = dict(settings)
    settings_next["config/game.ini"] = b"volume=5\nmusic=on\n"
    settings_next["config/keys.ini"] = b"jump=space\nduck=ctrl\n"
    settings_dropped = dict(first)
    releases = {"first": first, "second": second, "third": third, "fourth": fourth,
                "settings": settings, "settings-next": settings_next,
                "settings-dropped": settings_dropped,
                "greek": greek, "greek-renamed": greek_renamed, "greek-changed": greek_changed, "big": big,
                "spread-a": {"data/spread.bin": spread_a}, "spread-b": {"data/spread.bin": bytes(spread_b)}}
    for name, files in releases.items():
        write_release(os.path.join(root, "releases", name), files)


def make_mirrored_folders(root, mirror):
    """spread-b-<kind>: the release spread-b, whose manifest names one
    mirror at `mirror` (the mirror server's URL) that serves it well, or
    fails with an error status, silence, a stall, or bytes that are not the
    signed ones (spoiled-packs, which only the mirror serves: spread-b's
    packs with every byte changed)."""
    release = os.path.join(root, "releases", "spread-b")
    out = lambda name: os.path.join(root, "server", name)  # noqa: E731
    publish(release, out("spread-b"), 2)
    os.makedirs(os.path.join(out("spoiled-packs"), "packs"))
    for name in os.listdir(os.path.join(out("spread-b"), "packs")):
        with open(os.path.join(out("spread-b"), "packs", name), "rb") as f:
            spoiled = bytes(b ^ 0x5A for b in f.read())
        with open(os.path.join(out("spoiled-packs"), "packs", name), "wb") as f:
            f.write(spoiled)
    mirrors = {"healthy": "/spread-b/", "error": "/_fault/status=503/spread-b/",
               "silent": "/_fault/silent/spread-b/", "stall": "/_fault/stall=1000/spread-b/",
               "wrong": "/spoiled-packs/"}
    for kind, folder in mirrors.items():
        publish(release, out("spread-b-" + kind), 2, mirrors=[mirror + folder])


def damage_delta(folder):
    """Changes one byte of the text of the one manifest delta in `folder`,
    inside the signature line it ends by adding, and stores it again as a
    sound zlib stream: only the SHA-256 of the text it gives shows it."""
    deltas = os.path.join(folder, "deltas")
    [new] = os.listdir(deltas)
    [old] = os.listdir(os.path.join(deltas, new))
    path = os.path.join(deltas, new, old)
    with open(path, "rb") as f:
        text = bytearray(zlib.decompress(f.read()))
    text[-10] ^= 0x01
    os.remove(path)
    with open(path, "wb") as f:
        f.write(zlib.compress(bytes(text), 9))


def make_server_folders(root, mirror):
    release = lambda name: os.path.join(root, "releases", name)  # noqa: E731
    out = lambda name: os.path.join(root, "server", name)  # noqa: E731
    publish(release("spread-a"), out("spread-a"), 1)
    make_mirrored_folders(root, mirror)
    publish(release("first"), out("first"), 1)
    publish(release("second"), out("second"), 2)
    publish(release("third"), out("third"), 4)
    publish(release("fourth"), out("fourth"), 6)
    # The fourth release published after the first: its folder holds the
    # delta from the first's manifest to its own. The same again with that
    # delta damaged.
    publish(release("fourth"), out("delta"), 6, previous=Publication(out("first")))
    if not os.path.isdir(os.path.join(out("delta"), "deltas")):
        raise RuntimeError("velmora-publish wrote no manifest delta from the first release to the fourth")
    shutil.copytree(out("delta"), out("delta-damaged"))
    damage_delta(out("delta-damaged"))
    publish(release("big"), out("big"), 2)
    publish(release("settings"), out("settings"), 1, player_files=["config/*.ini"])
    publish(release("settings-next"), out("settings-next"), 2, player_files=["config/*.ini"])
    publish(release("settings-dropped"), out("settings-dropped"), 3)
    publish(release("greek"), out("greek"), 1)
    publish(release("greek-renamed"), out("greek-renamed"), 2)
    publish(release("greek-changed"), out("greek-changed"), 3)
    # The first release signed again as version 2: not the second's bytes.
    publish(release("first"), out("resigned"), 2)
    publish(release("first"), out("expired"), 3, expires=EXPIRED)
    publish(release("second"), out("obsolete"), 3, min_updater=99)
    # A chunk new in the second release changed on the server, size kept.
    tamper_chunk(publish(release("second"), out("tampered"), 2), "data/new/extra.bin")
    # The first release with its pack cut short by 1000 bytes.
    cut = publish(release("first"), out("cut"), 1)
    pack = cut.pack_path(0)
    os.truncate(pack, os.path.getsize(pack) - 1000)
    # A manifest whose signature does not match its text.
    tamper_manifest(publish(release("first"), out("badsig"), 1))
    # The fourth release signed with the next key.
    publish(release("fourth"), out("next-fourth"), 6, key=NEXT_KEY)
    # The third release (it drops files) signed with the next key.
    publish(release("third"), out("next-third"), 5, key=NEXT_KEY)
    # A cache that still serves the first release's manifest after the
    # second came out, and holds the packs of both.
    shutil.copytree(out("second"), out("stale"))
    shutil.copytree(os.path.join(out("first"), "packs"), os.path.join(out("stale"), "packs"), dirs_exist_ok=True)
    shutil.copytree(os.path.join(out("first"), "manifests"), os.path.join(out("stale"), "manifests"),
                    dirs_exist_ok=True)
    shutil.copyfile(os.path.join(out("first"), "gamedata.vel"), os.path.join(out("stale"), "gamedata.vel"))
    # The second release at a version far above the others, signed with the
    # test key (the key a rotation retires).
    publish(release("second"), out("high"), 100)
    # The second release's folder with the other valid form of its
    # signature, and the floor record an earlier engine wrote once it had
    # accepted that copy: the digest of the copy's bytes.
    shutil.copytree(out("second"), out("altered-second"))
    altered = alter_signature(Publication(out("altered-second")))
    os.makedirs(os.path.join(root, "records"))
    with open(os.path.join(root, "records", "altered-second.floor"), "wb") as f:
        f.write(b"version 2\nsha256 %s\n" % hashlib.sha256(altered).hexdigest().encode())
    # Signed faults of a publisher's tool, each chunk where the manifest
    # says: world.pak's first two chunks swapped; the same for notes.txt,
    # which shares its SHA-256 with notes-copy.txt; velmora.exe, of one
    # chunk, listed with another SHA-256 than that chunk's.
    resign_manifest(publish(release("first"), out("swapped"), 1),
                    lambda lines: swap_first_chunks(lines, "data/maps/world.pak"))
    resign_manifest(publish(release("first"), out("shared-swapped"), 1),
                    lambda lines: swap_first_chunks(lines, "data/notes.txt"))
    # The same under a head that names it, as a player may hold it.
    resign_named_manifest(publish(release("first"), out("named-shared-swapped"), 1),
                          lambda lines: swap_first_chunks(lines, "data/notes.txt"))
    # Heads signed by a faulty tool: one names a SHA-256 its stored manifest
    # (there under that name, of the sizes named) does not have; one names
    # another version than its manifest's.
    def rename_manifest(lines):
        line = next(line for line in lines if line.startswith("manifest "))
        _, sha, size, stored = line.split(" ")
        wrong = hashlib.sha256(b"another manifest").hexdigest()
        folder = os.path.join(out("wrong-manifest"), "manifests")
        shutil.copyfile(os.path.join(folder, sha), os.path.join(folder, wrong))
        return [f"manifest {wrong} {size} {stored}" if entry == line else entry for entry in lines]
    resign_head(publish(release("first"), out("wrong-manifest"), 1), rename_manifest)
    resign_head(publish(release("first"), out("head-other-version"), 1),
                lambda lines: ["version 5" if line.startswith("version ") else line for line in lines])
    other = hashlib.sha256(b"not the program").hexdigest()
    resign_manifest(publish(release("first"), out("one-chunk-other-sha"), 1),
                    lambda lines: [line.replace(line.split(" ")[1], other) if line.endswith(" velmora.exe") else line
                                   for line in lines])


def write_manifest_texts(root):
    """manifests/<name>.vel: the manifest text of each server folder that
    has one, as a run that applies it leaves it in libs\\gamedata.vel."""
    os.makedirs(os.path.join(root, "manifests"))
    for name in os.listdir(os.path.join(root, "server")):
        if not os.path.exists(os.path.join(root, "server", name, "gamedata.vel")):
            continue
        with open(os.path.join(root, "manifests", name + ".vel"), "wb") as f:
            f.write(Publication(os.path.join(root, "server", name)).manifest())


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def mount_small_disk(folder):
    """A file system of its own, small enough for a test to fill: a 16 MiB
    tmpfs at folder. Returns None, or why it could not be mounted (it takes
    root)."""
    os.makedirs(folder)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16m", "tmpfs", folder],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        return "cannot mount a small file system (mount -t tmpfs needs root): " + mounted.stderr.strip()
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--publish-tool", required=True)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    if not os.access(args.publish_tool, os.X_OK):
        print("the publishing tool %s is missing: build the native preset first" % args.publish_tool)
        return 1
    update_server.PUBLISH_TOOL = args.publish_tool

    root = tempfile.mkdtemp(prefix="velmora-engine-server-")
    nginx = proxy = mirror = forward = mounted = None
    try:
        # The mirror's address is in manifests, so it is chosen first.
        mirror_port = free_port()
        make_releases(root)
        make_server_folders(root, "http://127.0.0.1:%d" % mirror_port)
        write_manifest_texts(root)
        os.makedirs(os.path.join(root, "nginx"))
        nginx = Nginx(os.path.join(root, "server"), free_port(), workdir=os.path.join(root, "nginx")).start()
        # The tests take the port after the server's for one nobody listens on.
        port = free_port()
        while port + 1 == nginx.port or mirror_port in (port, port + 1):
            port = free_port()
        proxy = FaultProxy("127.0.0.1", port, nginx.port, request_log=os.path.join(root, "requests.log")).start()
        open(proxy.request_log, "w").close()
        mirror = FaultProxy("127.0.0.1", mirror_port, nginx.port,
                            request_log=os.path.join(root, "mirror-requests.log")).start()
        open(mirror.request_log, "w").close()
        env = dict(os.environ)
        env["VELMORA_TEST_SERVER"] = "http://127.0.0.1:%d" % port
        env["VELMORA_TEST_DATA"] = windows_path(root)
        env["VELMORA_TEST_NGINX_LOG"] = windows_path(nginx.access_log)
        if ForwardProxy.missing():
            env["VELMORA_TEST_NO_PROXY"] = ForwardProxy.missing()
        else:
            forward = ForwardProxy(free_port(), nginx.port, os.path.join(root, "forward-proxy")).start()
            env["VELMORA_TEST_HTTP_PROXY"] = "%s:%d" % (forward.host, forward.port)
            env["VELMORA_TEST_PROXIED_SERVER"] = "http://game-server.invalid:%d" % nginx.port
            env["VELMORA_TEST_PROXY_LOG"] = windows_path(forward.log)
            # A proxy script on the game's server naming that proxy for it.
            with open(os.path.join(root, "server", "proxy.pac"), "w") as f:
                f.write('function FindProxyForURL(url, host) {\n'
                        '    return dnsDomainIs(host, ".invalid") ? "PROXY %s:%d" : "DIRECT";\n}\n'
                        % (forward.host, forward.port))
            env["VELMORA_TEST_PROXY_SCRIPT"] = "http://127.0.0.1:%d/proxy.pac" % nginx.port
        small_disk = os.path.join(root, "small-disk")
        trouble = mount_small_disk(small_disk)
        if trouble:
            env["VELMORA_TEST_NO_SMALL_DISK"] = trouble
        else:
            mounted = small_disk
            env["VELMORA_TEST_SMALL_DISK"] = windows_path(small_disk)
        return subprocess.run(args.command, env=env).returncode
    finally:
        if forward:
            forward.stop()
        if proxy:
            proxy.stop()
        if mirror:
            mirror.stop()
        if nginx:
            nginx.stop()
        if mounted:
            # Lazily, should a Wine process still hold a file there.
            subprocess.run(["umount", "-l", mounted])
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
