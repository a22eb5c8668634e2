"""Client of Tarrow's control socket (JSON Lines), standard library only.

    with Tarrow.serve(port="pty", period=0.1) as t:
        t.subscribe("records")
        tick = t.set(xte=-0.5)["tick"]
        print(t.next_record(timeout=2, tick=tick)["text"])
"""

import collections
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

__all__ = ["Tarrow", "TarrowError", "PROTOCOL"]

PROTOCOL = 1


class TarrowError(Exception):
    """A request the program refused; the message is its own text."""


def _connect(address, timeout):
    if address.startswith("unix:"):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.settimeout(timeout)
        s.connect(address[5:])
        return s
    if address.startswith("tcp:"):
        host, _, port = address[4:].rpartition(":")
        return socket.create_connection((host.strip("[]") or "127.0.0.1", int(port)), timeout)
    raise ValueError("address must be unix:PATH or tcp:[HOST:]PORT, not %r" % address)


class Tarrow:
    """One connection to a running program, and the program itself when it was started here."""

    def __init__(self, sock, process=None, workdir=None):
        self._sock = sock
        self._process = process
        self._workdir = workdir
        self._buffer = b""
        self._events = collections.deque()
        self._next_id = 0

    # -- starting and connecting

    @classmethod
    def connect(cls, address, timeout=5.0):
        """Connects to a program started with --control=ADDRESS."""
        return cls(_connect(address, timeout))

    @classmethod
    def serve(cls, port="pty", period=1.0, program=None, args=(), timeout=5.0):
        """Starts `tarrow-cli serve` on `port` with a control socket of its own."""
        program = program or os.environ.get("TARROW_CLI") or shutil.which("tarrow-cli")
        if not program:
            raise FileNotFoundError("tarrow-cli is not on PATH; give program=")
        workdir = tempfile.mkdtemp(prefix="tarrow-")
        path = os.path.join(workdir, "control")
        command = [program, "--port", port, "--quiet", "serve", "--period", repr(period),
                   "--control=unix:" + path, *args]
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + timeout
        while True:
            if process.poll() is not None:
                err = process.stderr.read().decode(errors="replace").strip()
                shutil.rmtree(workdir, ignore_errors=True)
                raise RuntimeError("tarrow-cli ended at start: " + err)
            try:
                return cls(_connect("unix:" + path, timeout), process, workdir)
            except OSError:
                if time.monotonic() > deadline:
                    process.kill()
                    process.wait()
                    shutil.rmtree(workdir, ignore_errors=True)
                    raise
                time.sleep(0.02)

    def close(self):
        """Closes the connection; stops the program if it was started here."""
        if self._sock is not None:
            self._sock.close()
            self._sock = None
        if self._process is not None:
            if self._process.poll() is None:
                self._process.send_signal(signal.SIGTERM)
                try:
                    self._process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    self._process.kill()
                    self._process.wait()
            self._process.stderr.close()
            self._process = None
        if self._workdir is not None:
            shutil.rmtree(self._workdir, ignore_errors=True)
            self._workdir = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # -- requests

    def request(self, cmd, **fields):
        """Sends one request and returns its answer; raises TarrowError on a refusal."""
        self._next_id += 1
        message = dict(fields, id=self._next_id, cmd=cmd)
        self._sock.sendall((json.dumps(message) + "\n").encode())
        while True:
            line = self._read_line(None)
            if "event" in line:
                self._events.append(line)
            elif line.get("id") == self._next_id:
                if not line.get("ok"):
                    raise TarrowError(line.get("error", "refused"))
                return line

    def hello(self):
        return self.request("hello")

    def set(self, **fields):
        """Changes values together (xte, xte_mode, track, speed, course, heading, format,
        period); the answer's "tick" is the first tick that carries them."""
        return self.request("set", **fields)

    def pause(self, on=True):
        return self.request("pause", on=on)

    def faults(self, words=(), live_time=None):
        fields = {"faults": list(words)}
        if live_time is not None:
            fields["live_time"] = live_time
        return self.request("faults", **fields)

    def coupler(self, command, value, compatibility=None):
        fields = {"command": command, "value": value}
        if compatibility is not None:
            fields["compatibility"] = compatibility
        return self.request("coupler", **fields)

    def status(self):
        return self.request("status")

    def subscribe(self, what="records"):
        return self.request("subscribe", what=what)

    # -- events

    def next_event(self, timeout=None):
        """The next event, or None when none comes within `timeout` seconds."""
        if self._events:
            return self._events.popleft()
        deadline = None if timeout is None else time.monotonic() + timeout
        while True:
            line = self._read_line(deadline)
            if line is None:
                return None
            if "event" in line:
                return line

    def next_record(self, timeout=None, tick=0):
        """The next record handed to the line (from tick `tick` on), or None on time-out."""
        deadline = None if timeout is None else time.monotonic() + timeout
        while True:
            left = None if deadline is None else max(0.0, deadline - time.monotonic())
            event = self.next_event(left)
            if event is None:
                return None
            if event["event"] == "record" and event.get("tick", 0) >= tick:
                return event

    def _read_line(self, deadline):
        while b"\n" not in self._buffer:
            if deadline is not None:
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._sock.settimeout(left)
            else:
                self._sock.settimeout(None)
            try:
                chunk = self._sock.recv(65536)
            except socket.timeout:
                return None
            if not chunk:
                raise ConnectionError("the program closed the control socket")
            self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return json.loads(line)
