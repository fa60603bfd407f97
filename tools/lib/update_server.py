"""The game's web server for tests, the benchmark and the demo: Debian's
nginx, run as a process of our own on loopback, serving folders made by
velmora-publish; a small HTTP proxy that can sit in front of it and spoil
chosen answers (cut a body short, answer with an error status, stall, send
without end, slow the transfer down, answer a resume with a short range,
trickle); and helpers that make release
folders, publish them, and tamper with what was published.

Run as a script it serves one site until interrupted (the demo uses that),
at the program's address unless told otherwise, and with --rate sends each
answer at most that many bytes a second, like a player's line:
    python3 update_server.py serve <site folder> [--address host:port] [--rate 4m]
"""

import argparse
import collections
import datetime
import hashlib
import http.client
import os
import re
import random
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SOURCE = os.environ.get("VELMORA_SOURCE") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PUBLISH_TOOL = os.environ.get("VELMORA_PUBLISH_TOOL") or os.path.join(
    SOURCE, "build", "native", "tools", "publish", "velmora-publish")
TEST_KEY = os.path.join(SOURCE, "comp", "keys", "test-private.pem")
# The second test key, for a key rotation.
NEXT_KEY = os.path.join(SOURCE, "comp", "keys", "test-next-private.pem")
# An expiry velmora-publish takes without --allow-far-expiry (at most 400
# days ahead): 90 days from now, far beyond any test run.
NOT_EXPIRING = (datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=90)).strftime(
    "%Y-%m-%dT%H:%M:%SZ")
EXPIRED = "2001-01-01T00:00:00Z"
# The data URL's folder under the server's root, as the program names it.
DATA_FOLDER = "oficial"


def program_address(build=None):
    """Host and port of the update server compiled into the program: the
    build's VELMORA_UPDATE_HOST, whose default is 127.0.0.1:8780."""
    build = build or os.environ.get("VELMORA_BUILD") or os.path.join(SOURCE, "build", "win32")
    value = "127.0.0.1:8780"
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("VELMORA_UPDATE_HOST:"):
                    value = line.split("=", 1)[1].strip()
    except OSError:
        pass
    host, _, port = value.rpartition(":")
    return (host, int(port)) if host else (value, 80)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_in_use(host, port):
    with socket.socket() as s:
        s.settimeout(0.5)
        return s.connect_ex((host, port)) == 0


def wait_for_free_address(host, port, timeout=120):
    """Waits while something listens on the address: another test run on
    this machine may hold it for a while."""
    deadline = time.monotonic() + timeout
    while port_in_use(host, port):
        if time.monotonic() > deadline:
            raise RuntimeError(f"something else listens on {host}:{port}")
        time.sleep(0.5)


def stop_process(process):
    """Ends a server process started with Popen, if it still runs: asked
    first, killed after 10 s."""
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)


def missing_program(program, package):
    """Why `program` cannot run here, or None."""
    if shutil.which(program) is None:
        return f"{program} is not installed (tools/lib/dependencies.sh installs {package})"
    return None


def start_listener(command, host, port, timeout=10, output=subprocess.DEVNULL, why=lambda: ""):
    """Starts a server program that runs in the foreground and returns its
    process once it listens on host:port; raises, having stopped it, when
    it ended or did not listen within `timeout` seconds (`why()` says what
    its log holds). A listener already there would pass for the new one,
    so that is refused first."""
    if port_in_use(host, port):
        raise RuntimeError(f"{host}:{port} is taken")
    process = subprocess.Popen(command, stdout=output, stderr=subprocess.STDOUT)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and process.poll() is None:
        if port_in_use(host, port):
            return process
        time.sleep(0.02)
    stop_process(process)
    raise RuntimeError(f"{command[0]} did not start on {host}:{port}: {why()}")


ACCESS_LINE = re.compile(r'^(\S+) (\S+) (\d+) (\d+) "([^"]*)" "([^"]*)" (\d+)$')


class Nginx:
    """Debian's nginx as one foreground process with its own configuration,
    pid file, logs and temporary folders, serving a root folder on one
    address. The access log has one line per request: method, path, status,
    body bytes sent, the Range header, the User-Agent and the bytes of the
    whole answer (status line and header fields included)."""

    def __init__(self, root, port, host="127.0.0.1", workdir=None, rate=None, server_lines=""):
        self.root = os.path.abspath(root)
        self.rate = rate
        # More directives for the server block (locations of their own).
        self.server_lines = server_lines
        self.host = host
        self.port = port
        self.workdir = workdir or tempfile.mkdtemp(prefix="nginx-")
        self.access_log = os.path.join(self.workdir, "access.log")
        self.error_log = os.path.join(self.workdir, "error.log")
        self.process = None

    def _config(self):
        temp = os.path.join(self.workdir, "temp")
        os.makedirs(temp, exist_ok=True)
        paths = " ".join(f"{kind}_temp_path {temp}/{kind};" for kind in
                         ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        # One process in the foreground, so the caller owns it by its pid.
        # Static files answer Range requests (on by default; max_ranges left
        # unlimited), and nothing is cached between requests, so a test may
        # swap the published folder under a running server.
        return f"""daemon off;
master_process off;
worker_processes 1;
pid {self.workdir}/nginx.pid;
error_log {self.error_log} warn;
events {{ worker_connections 256; }}
http {{
    {paths}
    types {{ }}
    default_type application/octet-stream;
    log_format fetches '$request_method $uri $status $body_bytes_sent "$http_range" "$http_user_agent" $bytes_sent';
    access_log {self.access_log} fetches;
    sendfile on;
    keepalive_requests 100000;
    server {{
        listen {self.host}:{self.port};
        root {self.root};
        location / {{ {f"limit_rate {self.rate};" if self.rate else ""} }}
        {self.server_lines}
    }}
}}
"""

    def start(self):
        config = os.path.join(self.workdir, "nginx.conf")
        with open(config, "w") as f:
            f.write(self._config())
        self.process = start_listener(["nginx", "-p", self.workdir, "-c", config, "-e", self.error_log],
                                      self.host, self.port, why=self.errors)
        return self

    def errors(self):
        try:
            with open(self.error_log) as f:
                return f.read()
        except OSError:
            return ""

    def requests(self):
        """The requests served so far, oldest first, as dicts with method,
        path, status, bytes (of the body), range ("" when the request had
        none), agent and answer_bytes (head and body)."""
        try:
            with open(self.access_log) as f:
                lines = f.read().splitlines()
        except OSError:
            return []
        entries = []
        for line in lines:
            method, path, status, sent, header, agent, answer = ACCESS_LINE.match(line).groups()
            entries.append({"method": method, "path": path, "status": int(status), "bytes": int(sent),
                            "range": "" if header == "-" else header, "agent": agent,
                            "answer_bytes": int(answer)})
        return entries

    def stop(self):
        stop_process(self.process)


class _Fault:
    def __init__(self, path_end, kind, value, times):
        self.path_end = path_end
        self.kind = kind
        self.value = value
        self.times = times  # None: every matching request


class _ProxyHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Hop-by-hop headers are the proxy's own business on each side.
    HOP_BY_HOP = {"connection", "keep-alive", "proxy-connection", "te", "trailer", "transfer-encoding",
                  "upgrade", "host"}

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.server.relay(self, with_body=True)

    def do_HEAD(self):
        self.server.relay(self, with_body=False)


class FaultProxy(ThreadingHTTPServer):
    """An HTTP/1.1 proxy in front of nginx, standing where the program looks
    for its server. It passes every request on, and spoils the answers that
    its faults choose by the end of the requested path:
    - drop_after: send the status and headers of the real answer, then only
      the first N bytes of the body, then close the connection;
    - answer_error: answer with an error status instead of asking nginx;
    - slow_down: send bodies at a limited rate;
    - delay_answers: wait before every answer, as a far server does.
    A request path may also name a fault for the packs below it, as
    /_fault/<fault>/<path>: drop=N and status=N as above, stall=N (send N
    bytes of the body, then nothing for up to 30 s), endless (the whole
    pack, whatever range was asked, then filler without end and without a
    length), partial=N (a Range
    request "bytes=A-B" is asked of nginx as "bytes=A-<A+N-1>", so its 206
    ends N bytes after its start), whole (the Range header is dropped: nginx
    answers with the whole pack, as a server that ignores ranges does),
    trickle=N (send N bytes of the body, then one byte every 0.2 s),
    pause=N (send N bytes of the body, then nothing for 2 s, then the rest),
    silent (take the request and answer nothing for 30 s), head-drip=N (the
    status line, then one header line every N tenths of a second, 60 of
    them), head-flood (the status line, then header lines without pause, up
    to 64 MiB of them; both then end the head with an empty body).
    It counts the body bytes it has sent per path, and with request_log
    writes a line "<path>\t<Range or ->\t<status>" per request."""

    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, host, port, upstream_port, upstream_host="127.0.0.1", request_log=None):
        super().__init__((host, port), _ProxyHandler)
        self.upstream = (upstream_host, upstream_port)
        self.faults = []
        self.rate = None
        self.rate_path_end = ""
        self.delay = 0
        self.sent = {}
        self.request_log = request_log
        self.stopping = threading.Event()
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)

    def start(self):
        self.thread.start()
        return self

    def stop(self):
        self.stopping.set()
        self.shutdown()
        self.server_close()

    def drop_after(self, path_end, byte_count, times=1):
        with self.lock:
            self.faults.append(_Fault(path_end, "drop", byte_count, times))

    def answer_error(self, path_end, status=500, times=None):
        with self.lock:
            self.faults.append(_Fault(path_end, "error", status, times))

    def slow_down(self, bytes_per_second, path_end=""):
        with self.lock:
            self.rate = bytes_per_second
            self.rate_path_end = path_end

    def delay_answers(self, seconds):
        """Waits this long before every answer: the round trip to a far
        server."""
        with self.lock:
            self.delay = seconds

    def clear(self):
        with self.lock:
            self.faults = []
            self.rate = None

    def bytes_sent(self, path_end=""):
        with self.lock:
            return sum(n for path, n in self.sent.items() if path.endswith(path_end))

    def _take_fault(self, path):
        """The fault the path names or the first one set for it (used up
        once), the path to ask nginx for, and the rate limit."""
        if path.startswith("/_fault/"):
            named, _, rest = path[len("/_fault/"):].partition("/")
            path = "/" + rest
            if "/packs/" in path:
                kind, _, value = named.partition("=")
                kind = {"status": "error"}.get(kind, kind)
                return _Fault("", kind, int(value) if value else None, 1), path, None
        with self.lock:
            rate = self.rate if self.rate and path.endswith(self.rate_path_end) else None
            for fault in self.faults:
                if path.endswith(fault.path_end) and fault.times != 0:
                    if fault.times is not None:
                        fault.times -= 1
                    return fault, path, rate
        return None, path, rate

    def _record(self, handler, status):
        if self.request_log:
            with self.lock, open(self.request_log, "a") as log:
                log.write(f"{handler.path}\t{handler.headers.get('Range', '-')}\t{status}\n")

    def relay(self, handler, with_body):
        fault, path, rate = self._take_fault(handler.path)
        if self.delay:
            time.sleep(self.delay)
        try:
            if fault is not None and fault.kind in ("silent", "head-drip", "head-flood"):
                self._record(handler, 0)
                self._spoil_head(handler, fault)
                return
            if fault is not None and fault.kind == "error":
                body = b"spoiled by the test proxy\n"
                handler.send_response_only(fault.value)
                handler.send_header("Content-Type", "text/plain")
                handler.send_header("Content-Length", str(len(body)))
                handler.end_headers()
                self._record(handler, fault.value)
                if with_body:
                    handler.wfile.write(body)
                return
            upstream = http.client.HTTPConnection(*self.upstream, timeout=30)
            try:
                headers = {k: v for k, v in handler.headers.items() if k.lower() not in _ProxyHandler.HOP_BY_HOP}
                if fault is not None and fault.kind == "partial":
                    headers = _cut_range(headers, fault.value)
                if fault is not None and fault.kind in ("whole", "endless"):
                    headers = {k: v for k, v in headers.items() if k.lower() != "range"}
                upstream.request(handler.command, path, headers=headers)
                answer = upstream.getresponse()
                endless = fault is not None and fault.kind == "endless" and answer.status == 200
                handler.send_response_only(answer.status, answer.reason)
                for key, value in answer.getheaders():
                    if key.lower() not in _ProxyHandler.HOP_BY_HOP and not (endless and key.lower() == "content-length"):
                        handler.send_header(key, value)
                if endless:
                    handler.send_header("Connection", "close")
                handler.end_headers()
                self._record(handler, answer.status)
                if not with_body:
                    return
                if endless:
                    self._send_endless(handler, answer)
                elif fault is not None and fault.kind == "trickle":
                    self._send_body(handler, path, answer, fault.value, rate, close=False)
                    while not self.stopping.wait(0.2):
                        byte = answer.read(1)
                        if not byte:
                            break
                        handler.wfile.write(byte)
                        handler.wfile.flush()
                elif fault is not None and fault.kind == "pause":
                    self._send_body(handler, path, answer, fault.value, rate, close=False)
                    if not self.stopping.wait(2):
                        self._send_body(handler, path, answer, None, rate)
                elif fault is not None and fault.kind == "stall":
                    self._send_body(handler, path, answer, fault.value, rate, close=False)
                    self.stopping.wait(30)
                    handler.close_connection = True
                else:
                    limit = fault.value if fault is not None and fault.kind == "drop" else None
                    self._send_body(handler, path, answer, limit, rate)
            finally:
                upstream.close()
        except (BrokenPipeError, ConnectionResetError, socket.timeout, OSError):
            handler.close_connection = True

    def _spoil_head(self, handler, fault):
        """Answers with a head that never comes, comes a line at a time, or
        comes without end; the connection closes afterwards."""
        handler.close_connection = True
        if fault.kind == "silent":
            self.stopping.wait(30)
            return
        handler.wfile.write(b"HTTP/1.1 200 OK\r\n")
        handler.wfile.flush()
        if fault.kind == "head-drip":
            for i in range(60):
                if self.stopping.wait(fault.value / 10):
                    return
                handler.wfile.write(b"X-Drip-%d: slowly\r\n" % i)
                handler.wfile.flush()
        else:
            lines = b"".join(b"X-Flood-%d: %s\r\n" % (i, b"f" * 1000) for i in range(64))
            for _ in range((64 << 20) // len(lines)):
                if self.stopping.is_set():
                    return
                handler.wfile.write(lines)
        handler.wfile.write(b"Content-Length: 0\r\n\r\n")

    def _send_endless(self, handler, answer):
        """The body, then at most 64 MB of filler, then the end of the
        connection: a body longer than any size the client was told."""
        handler.close_connection = True
        handler.wfile.write(answer.read())
        filler = b"\0" * 65536
        for _ in range(1024):
            if self.stopping.is_set():
                return
            handler.wfile.write(filler)

    def _send_body(self, handler, path, answer, limit, rate, close=True):
        started = time.monotonic()
        count = 0
        chunk_size = 8192 if rate else 65536
        while True:
            want = chunk_size if limit is None else min(chunk_size, limit - count)
            chunk = answer.read(want) if want > 0 else b""
            if chunk:
                handler.wfile.write(chunk)
                count += len(chunk)
                with self.lock:
                    self.sent[path] = self.sent.get(path, 0) + len(chunk)
                if rate:
                    delay = started + count / rate - time.monotonic()
                    if delay > 0:
                        time.sleep(delay)
                continue
            if limit is not None and count >= limit:
                handler.wfile.flush()
                if close:
                    # The announced length was not sent: end the connection
                    # so the client sees the body broken off.
                    handler.close_connection = True
                    handler.connection.shutdown(socket.SHUT_RDWR)
            return


def _cut_range(headers, length):
    """The headers with a Range "bytes=A-" or "bytes=A-B" made "bytes=A-<A+length-1>"."""
    cut = {}
    for key, value in headers.items():
        if key.lower() == "range" and value.startswith("bytes="):
            first = int(value[len("bytes="):].split("-")[0])
            value = f"bytes={first}-{first + length - 1}"
        cut[key] = value
    return cut


class UpdateServer:
    """nginx serving <workdir>/site, whose data folder is whichever
    publication serve() last named. With a proxy, the proxy takes the
    program's address and nginx a free port behind it; without one, nginx
    takes the address itself."""

    def __init__(self, workdir, *, address=None, proxy=True):
        self.workdir = workdir
        self.site = os.path.join(workdir, "site")
        os.makedirs(self.site, exist_ok=True)
        host, port = address or program_address()
        wait_for_free_address(host, port)
        self.address = (host, port)
        nginx_port = free_port() if proxy else port
        self.nginx = Nginx(self.site, nginx_port, host="127.0.0.1" if proxy else host,
                           workdir=os.path.join(workdir, "nginx"))
        os.makedirs(self.nginx.workdir, exist_ok=True)
        self.nginx.start()
        self.proxy = None
        if proxy:
            try:
                self.proxy = FaultProxy(host, port, nginx_port).start()
            except OSError:
                self.nginx.stop()
                raise

    @property
    def url(self):
        return f"http://{self.address[0]}:{self.address[1]}/{DATA_FOLDER}/gamedata.vel"

    def serve(self, publication):
        """Makes the data folder the given publication, in one step."""
        link = os.path.join(self.site, DATA_FOLDER)
        new = link + ".new"
        if os.path.lexists(new):
            os.remove(new)
        os.symlink(os.path.abspath(publication.path), new)
        os.replace(new, link)

    def stop_serving(self):
        link = os.path.join(self.site, DATA_FOLDER)
        if os.path.lexists(link):
            os.remove(link)

    def pack_requests(self):
        """nginx's log entries for packs, oldest first."""
        return [r for r in self.nginx.requests() if "/packs/" in r["path"]]

    def close(self):
        if self.proxy:
            self.proxy.stop()
        self.nginx.stop()


# Release folders and publications.

def release_files(generation=1):
    """The files of a small game release: the game stand-in, a nested
    folder, one file that compresses well and one that does not. Generation
    2 changes two files and adds one; generation 3 also changes the large
    file that does not compress."""
    build = os.environ.get("VELMORA_BUILD") or os.path.join(SOURCE, "build", "win32")
    with open(os.path.join(build, "fixtures", "game", "velmora.exe"), "rb") as f:
        game = f.read()
    noise = random.Random(7 if generation < 3 else generation).randbytes(1536 * 1024)
    files = {
        "velmora.exe": game,
        "readme.txt": f"Velmora, release {generation}\r\n".encode(),
        "data/maps/world.pak": b"".join(b"tile %6d terrain grass height %4d\n" % (i, (i * 37 + generation) % 1000)
                                         for i in range(8000)),
        "data/textures/noise.bin": noise,
        "data/sounds/ui/click.wav": random.Random(11).randbytes(4096),
    }
    if generation >= 2:
        files["data/maps/harbor.pak"] = b"".join(b"dock %5d crane %d\n" % (i, generation) for i in range(3000))
    return files


def write_release(folder, files):
    for path, content in files.items():
        full = os.path.join(folder, *path.split("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(content)
    return folder


Chunk = collections.namedtuple("Chunk", "pack offset sha256 size stored")


class Publication:
    """A server folder made by velmora-publish."""

    def __init__(self, path):
        self.path = path

    @property
    def manifest_path(self):
        """gamedata.vel: the signed head velmora-publish writes, or a whole
        manifest put there in its place (the engine takes either)."""
        return os.path.join(self.path, "gamedata.vel")

    def head(self):
        with open(self.manifest_path, "rb") as f:
            return f.read()

    def manifest(self):
        """The manifest's text: the one the head names, unpacked from
        manifests/ (whatever it holds: some tests put another text there),
        or gamedata.vel itself when it is a whole manifest."""
        data = self.head()
        if not data.startswith(b"VELHEAD "):
            return data
        sha = next(line for line in data.decode().splitlines() if line.startswith("manifest ")).split(" ")[1]
        with open(os.path.join(self.path, "manifests", sha), "rb") as f:
            return zlib.decompress(f.read())

    def packs(self):
        """The packs in manifest order, as (name, size)."""
        return [(line.split(" ")[1], int(line.split(" ")[2]))
                for line in self.manifest().decode().splitlines() if line.startswith("pack ")]

    def files(self):
        """path -> (sha256, size, chunks), each chunk a Chunk; files of the
        player's too."""
        entries = {}
        chunks = None
        for line in self.manifest().decode().splitlines():
            if line.startswith(("file ", "player-file ")):
                _, sha, size, path = line.split(" ", 3)
                chunks = []
                entries[path] = (sha, int(size), chunks)
            elif line.startswith("chunk "):
                _, pack, offset, sha, size, stored = line.split(" ")
                chunks.append(Chunk(int(pack), int(offset), sha, int(size), int(stored)))
        return entries

    def chunks(self):
        """sha256 -> stored size of every distinct chunk."""
        return {chunk.sha256: chunk.stored for _, _, chunks in self.files().values() for chunk in chunks}

    def stored_bytes(self, beyond=None):
        """The stored bytes of the distinct chunks, leaving out those the
        publication `beyond` lists: what a player on it downloads (gaps
        between ranges aside), or without it a fresh install."""
        have = beyond.chunks() if beyond else {}
        return sum(stored for sha, stored in self.chunks().items() if sha not in have)

    def pack_of(self, path):
        """The name of the pack that holds a file's first chunk."""
        return self.packs()[self.files()[path][2][0].pack][0]

    def pack_path(self, index):
        return os.path.join(self.path, "packs", self.packs()[index][0])


def publish(release, out, version, *, expires=NOT_EXPIRING, key=TEST_KEY, previous=None, min_updater=None,
            mirrors=(), player_files=()):
    command = [PUBLISH_TOOL, "publish", "--key", key, "--release", release, "--out", out,
               "--version", str(version), "--expires", expires]
    for mirror in mirrors:
        command += ["--mirror", mirror]
    for pattern in player_files:
        command += ["--player-file", pattern]
    if previous:
        command += ["--previous", previous.path]
    if min_updater is not None:
        command += ["--min-updater", str(min_updater)]
    result = subprocess.run(command, capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise RuntimeError(f"velmora-publish failed: {result.stderr.strip()}")
    return Publication(out)


def make_key(folder):
    """A key pair other than the one the engine trusts: (private, header)."""
    private, header = os.path.join(folder, "other.pem"), os.path.join(folder, "other-public.h")
    result = subprocess.run([PUBLISH_TOOL, "keygen", private, header], capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise RuntimeError(f"velmora-publish keygen failed: {result.stderr.strip()}")
    return private, header


def tamper_chunk(publication, path):
    """Changes one byte in the middle of the stored bytes of a file's first
    chunk, in its pack, keeping every size, so only the chunk check can
    notice."""
    chunk = publication.files()[path][2][0]
    pack = publication.pack_path(chunk.pack)
    with open(pack, "rb") as f:
        data = bytearray(f.read())
    data[chunk.offset + chunk.stored // 2] ^= 0x5A
    # A new file: the pack may be a hard link into an earlier publication.
    with open(pack + ".new", "wb") as f:
        f.write(data)
    os.replace(pack + ".new", pack)


def tamper_manifest(publication):
    """Changes one hex digit of the first file's hash, leaving the manifest
    well formed and its signature as it was."""
    data = publication.manifest()
    at = data.index(b"\nfile ") + len(b"\nfile ")
    digit = data[at:at + 1]
    data = data[:at] + (b"0" if digit != b"0" else b"1") + data[at + 1:]
    with open(publication.manifest_path, "wb") as f:
        f.write(data)


# The order of the P-256 group.
P256_ORDER = 0xFFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551


def alter_signature(publication):
    """Replaces the signature's s with n - s: the other valid ECDSA form of
    the same signature, which anyone can make without the key. Returns the
    manifest's new bytes."""
    data = publication.manifest()
    at = data.rindex(b"\nsignature ") + len(b"\nsignature ")
    s = int(data[at + 64:at + 128], 16)
    data = data[:at + 64] + b"%064x" % (P256_ORDER - s) + data[at + 128:]
    with open(publication.manifest_path, "wb") as f:
        f.write(data)
    return data


def _der_integers(der):
    """r and s of a DER ECDSA-Sig-Value: SEQUENCE { INTEGER r, INTEGER s }
    (a P-256 signature's lengths fit in one byte)."""
    if der[0] != 0x30 or der[1] != len(der) - 2:
        raise ValueError("not a DER ECDSA signature")
    values, at = [], 2
    while at < len(der):
        if der[at] != 0x02:
            raise ValueError("not a DER ECDSA signature")
        length = der[at + 1]
        values.append(int.from_bytes(der[at + 2:at + 2 + length], "big"))
        at += 2 + length
    return values


def _signed_text(lines, key):
    """The lines, each ending in a line break, and a signature line over
    them made with the key (by the openssl command), s in its lower half."""
    body = ("\n".join(lines) + "\n").encode()
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=body, capture_output=True,
                         check=True, timeout=60).stdout
    r, s = _der_integers(der)
    s = min(s, P256_ORDER - s)
    signature = r.to_bytes(32, "big").hex() + s.to_bytes(32, "big").hex()
    return body + b"signature " + signature.encode() + b"\n"


def resign_manifest(publication, edit, key=TEST_KEY):
    """Rewrites a published manifest as a publisher with a faulty tool would:
    edit(lines) gets the lines before the signature and returns the new
    ones, which are then signed with the key, and the result is served as
    gamedata.vel in place of the head, so that only the engine's checks of
    the content can catch the fault."""
    lines = publication.manifest().decode().splitlines()
    text = _signed_text(edit([line for line in lines if not line.startswith("signature ")]), key)
    with open(publication.manifest_path, "wb") as f:
        f.write(text)


def resign_head(publication, edit, key=TEST_KEY):
    """The same for the head: edit(lines) gets the head's lines before its
    signature, and the new ones are signed and served as gamedata.vel."""
    lines = publication.head().decode().splitlines()
    text = _signed_text(edit([line for line in lines if not line.startswith("signature ")]), key)
    with open(publication.manifest_path, "wb") as f:
        f.write(text)


def resign_named_manifest(publication, edit, key=TEST_KEY):
    """The same as resign_manifest, but the manifest stays where the head
    names it: stored under its new SHA-256, and the head, signed again,
    names that one."""
    lines = publication.manifest().decode().splitlines()
    text = _signed_text(edit([line for line in lines if not line.startswith("signature ")]), key)
    stored = zlib.compress(text)
    sha = hashlib.sha256(text).hexdigest()
    with open(os.path.join(publication.path, "manifests", sha), "wb") as f:
        f.write(stored)
    resign_head(publication, lambda head: [f"manifest {sha} {len(text)} {len(stored)}"
                                           if line.startswith("manifest ") else line for line in head], key)


def swap_first_chunks(lines, path):
    """The manifest lines with the first two chunk lines of the file at
    `path` swapped: each chunk still checks, the file they make does not."""
    at = lines.index(next(line for line in lines if line.startswith("file ") and line.split(" ", 3)[3] == path))
    if not (lines[at + 1].startswith("chunk ") and lines[at + 2].startswith("chunk ")):
        raise ValueError(f"{path} has fewer than two chunks")
    lines = list(lines)
    lines[at + 1], lines[at + 2] = lines[at + 2], lines[at + 1]
    return lines


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def _serve_main(site, address, rate):
    host, port = address
    wait_for_free_address(host, port)
    server = Nginx(site, port, host=host, workdir=tempfile.mkdtemp(prefix="nginx-"), rate=rate)
    server.start()
    limit = f", at most {rate} bytes a second per answer" if rate else ""
    print(f"serving {site} on http://{host}:{port}/{limit}", flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    try:
        while not stop.is_set() and server.process.poll() is None:
            stop.wait(0.2)
    finally:
        server.stop()
        shutil.rmtree(server.workdir, ignore_errors=True)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description="Serves a site of publications with nginx.")
    parser.add_argument("command", choices=["serve"])
    parser.add_argument("site")
    parser.add_argument("--address", help="host:port (default: the program's update server)")
    parser.add_argument("--rate", help="nginx limit_rate of each answer, such as 4m")
    arguments = parser.parse_args()
    if arguments.address:
        name, _, number = arguments.address.rpartition(":")
        address = (name, int(number))
    else:
        address = program_address()
    _serve_main(arguments.site, address, arguments.rate)
