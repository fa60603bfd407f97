#!/usr/bin/env python3
"""Publishes the engine's test releases with velmora-publish and serves
them on loopback while it runs a Windows test program:

    engine_win_server.py --publish-tool PATH -- wine engine_win_server_tests.exe

In a temporary folder: releases/<name>/ (what the installed game must hold),
server/<name>/ (the published folders, some tampered) and requests.log (one
"<path>\t<Range or ->\t<status>" line per request). A request path starting
"/_fault/<fault>/" is served from the rest of the path with that fault on
objects: drop=N (announce all, send N bytes, close), stall=N (send N bytes,
then nothing for up to 30 s), endless (the object then filler, no length),
status=N (answer N). The test program finds the server in VELMORA_TEST_SERVER
and the folder, as a Wine path, in VELMORA_TEST_DATA.
"""
import argparse
import http.server
import os
import random
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time


def write_release(folder, files):
    for path, content in files.items():
        full = os.path.join(folder, *path.split("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as out:
            out.write(content)


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
    releases = {"first": first, "second": second}
    for name, files in releases.items():
        write_release(os.path.join(root, "releases", name), files)
    return releases


def publish(tool, root, release, out, version, expires="2099-01-01T00:00:00Z", min_updater=None):
    command = [tool, "publish", "--key", KEY, "--release", os.path.join(root, "releases", release),
               "--out", os.path.join(root, "server", out), "--version", str(version), "--expires", expires]
    if min_updater is not None:
        command += ["--min-updater", str(min_updater)]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def flip_byte(path, offset):
    with open(path, "r+b") as f:
        f.seek(offset)
        b = f.read(1)
        f.seek(offset)
        f.write(bytes([b[0] ^ 0x01]))


def make_server_folders(tool, root):
    publish(tool, root, "first", "first", 1)
    publish(tool, root, "second", "second", 2)
    publish(tool, root, "first", "expired", 3, expires="2001-01-01T00:00:00Z")
    publish(tool, root, "second", "obsolete", 3, min_updater=99)
    server = os.path.join(root, "server")
    # One object of the second release changed on the server, size kept.
    shutil.copytree(os.path.join(server, "second"), os.path.join(server, "tampered"))
    objects = os.path.join(server, "tampered", "objects")
    biggest = max(os.listdir(objects), key=lambda n: os.path.getsize(os.path.join(objects, n)))
    flip_byte(os.path.join(objects, biggest), 1000)
    # A manifest whose signature does not match its text.
    shutil.copytree(os.path.join(server, "first"), os.path.join(server, "badsig"))
    manifest = os.path.join(server, "badsig", "gamedata.vel")
    with open(manifest, "rb") as f:
        text = f.read()
    at = text.index(b"\nversion 1\n") + len(b"\nversion ")
    with open(manifest, "wb") as f:
        f.write(text[:at] + b"2" + text[at + 1:])


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = ""
    log_path = ""
    log_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def record(self, status):
        with self.log_lock, open(self.log_path, "a") as log:
            log.write("%s\t%s\t%d\n" % (self.path, self.headers.get("Range", "-"), status))

    def do_GET(self):
        path, fault = self.path, ""
        if path.startswith("/_fault/"):
            fault, _, rest = path[len("/_fault/"):].partition("/")
            path = "/" + rest
        if "/objects/" not in path:
            fault = ""
        local = os.path.join(self.root, *[p for p in path.split("/") if p not in ("", ".", "..")])
        if fault.startswith("status="):
            return self.answer(int(fault[7:]))
        if not os.path.isfile(local):
            return self.answer(404)
        with open(local, "rb") as f:
            body = f.read()
        if fault == "endless":
            return self.endless(body)
        start = 0
        requested = self.headers.get("Range")
        if requested:
            start = int(requested.split("=")[1].split("-")[0])
            if start >= len(body):
                return self.answer(416)
        part = body[start:]
        status = 206 if start else 200
        self.send_response(status)
        self.send_header("Content-Length", str(len(part)))
        if start:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(body) - 1, len(body)))
        self.end_headers()
        self.record(status)
        if fault.startswith("drop="):
            self.wfile.write(part[:int(fault[5:])])
            self.wfile.flush()
            self.close_connection = True
            return
        if fault.startswith("stall="):
            self.wfile.write(part[:int(fault[6:])])
            self.wfile.flush()
            deadline = time.time() + 30
            while time.time() < deadline and not STOP.is_set():
                time.sleep(0.05)
            self.close_connection = True
            return
        self.wfile.write(part)

    def answer(self, status):
        self.send_response(status)
        self.send_header("Content-Length", "0")
        self.end_headers()
        self.record(status)

    def endless(self, body):
        self.send_response(200)
        self.send_header("Connection", "close")
        self.end_headers()
        self.record(200)
        self.close_connection = True
        try:
            self.wfile.write(body)
            filler = b"\0" * 65536
            for _ in range(1024):  # at most 64 MB more
                self.wfile.write(filler)
        except OSError:
            pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


STOP = threading.Event()
KEY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "comp", "keys", "test-private.pem")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--publish-tool", required=True)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    if not os.access(args.publish_tool, os.X_OK):
        print("the publishing tool %s is missing: build the native preset first" % args.publish_tool)
        return 1

    root = tempfile.mkdtemp(prefix="velmora-engine-server-")
    try:
        make_releases(root)
        make_server_folders(args.publish_tool, root)
        Handler.root = os.path.join(root, "server")
        Handler.log_path = os.path.join(root, "requests.log")
        open(Handler.log_path, "w").close()
        server = Server(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        env = dict(os.environ)
        env["VELMORA_TEST_SERVER"] = "http://127.0.0.1:%d" % server.server_address[1]
        env["VELMORA_TEST_DATA"] = windows_path(root)
        result = subprocess.run(args.command, env=env).returncode
        STOP.set()
        server.shutdown()
        return result
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
