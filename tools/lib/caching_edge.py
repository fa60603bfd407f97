"""A studio's caching edge in front of its origin: Debian's Varnish as an
HTTP accelerator, run as a process of our own on loopback with its own
working folder, and the caching rules the origin's nginx gives it (as
docs/deploying.md sets them out).

On a miss Varnish fetches the whole object from the origin, whatever range
the player asked for, and answers every later range from its cache: a
second player behind the same edge costs the origin nothing but the
manifest, once its short lifetime is over."""

import os

from update_server import missing_program, start_listener, stop_process


def origin_cache_rules(manifest_seconds=60):
    """nginx directives for the origin's server block: any file named by its
    SHA-256 (the packs, and every other digest-named file) may be cached for
    ever; anything else, the manifest at the data URL above all, for
    `manifest_seconds`."""
    return (f'add_header Cache-Control "public, max-age={manifest_seconds}";\n'
            '        location ~ "/[0-9a-f]{64}(\\.[a-z0-9]+)?$" {\n'
            '            add_header Cache-Control "public, max-age=31536000, immutable";\n'
            '        }')


class VarnishEdge:
    def __init__(self, port, origin_port, workdir, host="127.0.0.1", storage_mib=256):
        self.host = host
        self.port = port
        self.origin_port = origin_port
        self.workdir = workdir
        self.storage_mib = storage_mib
        self.process = None
        self.output = None

    @staticmethod
    def missing():
        """Why the edge cannot run here, or None."""
        return missing_program("varnishd", "varnish")

    def start(self):
        os.makedirs(self.workdir, exist_ok=True)
        # -F: in the foreground, so the caller owns it by its pid; -j none:
        # as the caller's user, with no system user to switch to; -b: the
        # built-in rules, which cache what the origin's Cache-Control allows.
        # No grace: once the manifest's lifetime is over the next player gets
        # the new one, not the old one while the edge fetches it.
        self.output = open(os.path.join(self.workdir, "varnishd.log"), "wb")
        self.process = start_listener(
            ["varnishd", "-F", "-j", "none", "-n", self.workdir, "-a", f"{self.host}:{self.port}",
             "-b", f"127.0.0.1:{self.origin_port}", "-s", f"malloc,{self.storage_mib}m",
             "-p", "default_grace=0"],
            self.host, self.port, timeout=30, output=self.output, why=self.log)
        return self

    def log(self):
        try:
            with open(os.path.join(self.workdir, "varnishd.log")) as f:
                return f.read()
        except OSError:
            return ""

    def stop(self):
        stop_process(self.process)
        if self.output:
            self.output.close()
