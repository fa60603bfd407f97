"""Debian's tinyproxy as a player's forward proxy, run as a process of our
own on loopback with its own configuration and log.

The engine never sends a loopback server through a proxy, so the server
behind this proxy goes by a name of the reserved .invalid domain, which
nothing resolves: the proxy hands every request for such a name to the test
server as to a further proxy, in absolute-URI form, and nginx serves those
as any other. A client that bypassed the proxy could not reach the server
at all."""

import os

from update_server import missing_program, start_listener, stop_process

# The domain only the proxy can reach.
PROXIED_DOMAIN = ".invalid"


class ForwardProxy:
    def __init__(self, port, server_port, workdir, host="127.0.0.1"):
        self.host = host
        self.port = port
        self.server_port = server_port
        self.workdir = workdir
        self.log = os.path.join(workdir, "tinyproxy.log")
        self.process = None

    @staticmethod
    def missing():
        """Why the proxy cannot run here, or None."""
        return missing_program("tinyproxy", "tinyproxy")

    def _config(self):
        # LogLevel Connect writes one "Request" line per request, with its
        # request line as the client sent it.
        return f"""Port {self.port}
Listen {self.host}
Timeout 60
LogFile "{self.log}"
LogLevel Connect
PidFile "{self.workdir}/tinyproxy.pid"
MaxClients 64
Allow 127.0.0.1
upstream http 127.0.0.1:{self.server_port} "{PROXIED_DOMAIN}"
"""

    def start(self):
        os.makedirs(self.workdir, exist_ok=True)
        config = os.path.join(self.workdir, "tinyproxy.conf")
        with open(config, "w") as f:
            f.write(self._config())
        # -d: in the foreground, so the caller owns it by its pid.
        self.process = start_listener(["tinyproxy", "-d", "-c", config], self.host, self.port)
        return self

    def stop(self):
        stop_process(self.process)
