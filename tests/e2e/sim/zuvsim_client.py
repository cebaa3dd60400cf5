"""A host's end of zuvsim's line, for the emulator's own tests.

Sim starts one zuvsim with its port, byte log and trace in a private folder;
Port is the host side of the pseudo-terminal, raw 8N1 at a chosen rate. The
download packets are built here with a CRC of their own (the augmented form,
bit by bit from 0xFFFF), so the emulator's CRC is checked against another
formulation and against the catalogued check value.
"""

import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import termios
import time
import tty
import unittest

ZUVSIM = os.environ.get("ZUVSIM", "zuvsim")

ACK, NAK, ENQ, SYN = 0x06, 0x15, 0x05, 0x16
PROMPT = b"\r\nZizezu> "

RATES = {
    4800: termios.B4800, 9600: termios.B9600, 19200: termios.B19200,
    38400: termios.B38400, 57600: termios.B57600, 115200: termios.B115200,
}


class HungUp(Exception):
    """The device closed the line."""


class Port:
    def __init__(self, path, rate=19200):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.set_rate(rate)

    def set_rate(self, rate):
        tty.setraw(self.fd)
        attrs = termios.tcgetattr(self.fd)
        cflag = attrs[2] & ~(termios.CSIZE | termios.PARENB | termios.CSTOPB)
        attrs[2] = cflag | termios.CS8 | termios.CREAD | termios.CLOCAL
        attrs[4] = attrs[5] = RATES[rate]
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)

    def write(self, data):
        view = memoryview(bytes(data))
        while view:
            try:
                n = os.write(self.fd, view)
                view = view[n:]
            except BlockingIOError:
                select.select([], [self.fd], [], 1)

    def _read_some(self, deadline, limit=4096):
        left = deadline - time.monotonic()
        if left <= 0:
            return b""
        ready, _, _ = select.select([self.fd], [], [], left)
        if not ready:
            return b""
        try:
            data = os.read(self.fd, limit)
        except BlockingIOError:
            return b""
        except OSError as e:  # EIO: the master has gone
            raise HungUp() from e
        if not data:
            raise HungUp()
        return data

    def read_exact(self, n, timeout=5.0):
        """n bytes, or an AssertionError naming what did come."""
        deadline = time.monotonic() + timeout
        got = b""
        while len(got) < n and time.monotonic() < deadline:
            got += self._read_some(deadline, n - len(got))
        if len(got) < n:
            raise AssertionError(f"wanted {n} bytes within {timeout} s, got {got!r}")
        return got

    def read_until(self, tail, timeout=5.0):
        deadline = time.monotonic() + timeout
        got = b""
        while not got.endswith(tail):
            data = self._read_some(deadline)
            if not data and time.monotonic() >= deadline:
                raise AssertionError(f"no {tail!r} within {timeout} s, got {got!r}")
            got += data
        return got

    def read_for(self, seconds):
        """Everything that comes within seconds (for what must not come)."""
        deadline = time.monotonic() + seconds
        got = b""
        while time.monotonic() < deadline:
            got += self._read_some(deadline)
        return got

    def expect_hang_up(self, timeout=5.0):
        deadline = time.monotonic() + timeout
        try:
            while time.monotonic() < deadline:
                self._read_some(deadline)
        except HungUp:
            return
        raise AssertionError(f"the device did not hang up within {timeout} s")

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None


class Sim:
    """One zuvsim; "{dir}" in an option stands for its private folder."""

    def __init__(self, *options):
        self.dir = tempfile.mkdtemp(prefix="zuvsim-test-")
        self.link = os.path.join(self.dir, "com1")
        self.trace_path = os.path.join(self.dir, "trace")
        self.log_path = os.path.join(self.dir, "rx")
        self.proc = subprocess.Popen(
            [ZUVSIM, "--link", self.link, "--log", self.log_path, "--trace", self.trace_path,
             "--lifetime", "120", *(o.replace("{dir}", self.dir) for o in options)],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        line = self.proc.stdout.readline() if ready else b""
        if not line.startswith(b"zuvsim: ready on "):
            self.stop()
            raise AssertionError(f"zuvsim did not report ready: {line!r} {self.proc.stderr.read()!r}")
        self.ports = []

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def open(self, rate=19200):
        port = Port(self.link, rate)
        self.ports.append(port)
        return port

    def trace(self):
        with open(self.trace_path, encoding="latin-1") as f:
            return f.read().splitlines()

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read()

    def wait_trace(self, pattern, timeout=10.0):
        """The first trace line matching pattern, once it is there."""
        deadline = time.monotonic() + timeout
        while True:
            for line in self.trace():
                if re.search(pattern, line):
                    return line
            if time.monotonic() >= deadline:
                raise AssertionError(f"no trace line like {pattern!r}:\n" + "\n".join(self.trace()))
            time.sleep(0.01)

    def wait_file(self, *parts, timeout=10.0):
        path = self.path(*parts)
        deadline = time.monotonic() + timeout
        while not os.path.exists(path):
            if time.monotonic() >= deadline:
                raise AssertionError(f"{path} never appeared:\n" + "\n".join(self.trace()))
            time.sleep(0.01)
        with open(path, "rb") as f:
            return f.read()

    def wait_exit(self, timeout=10.0):
        return self.proc.wait(timeout)

    def stop(self):
        for port in getattr(self, "ports", []):
            port.close()
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            self.proc.wait(10)
        self.proc.stdout.close()
        self.proc.stderr.close()

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class SimCase(unittest.TestCase):
    """A test case with sim() that starts a zuvsim and ends it afterwards."""

    def sim(self, *options):
        s = Sim(*options)
        self.addCleanup(s.remove)
        self.addCleanup(s.stop)
        return s

    def connected(self, *options, rate=19200):
        s = self.sim(*options)
        return s, s.open(rate)


# --- download packets -------------------------------------------------------

def crc16(data):
    """The augmented CRC: the bits go in at the low end, 16 zero bits complete it."""
    reg = 0xFFFF
    for byte in bytes(data) + b"\0\0":
        for bit in range(7, -1, -1):
            top = reg & 0x8000
            reg = ((reg << 1) | ((byte >> bit) & 1)) & 0xFFFF
            if top:
                reg ^= 0x1021
    return reg


def packet(payload, length=None):
    length = len(payload) + 4 if length is None else length
    body = length.to_bytes(2, "big") + bytes(payload)
    return body + crc16(body).to_bytes(2, "big")


def command(name, size=None):
    name_field = name.encode().ljust(12, b"\0")
    size_field = (b"" if size is None else str(size).encode()).ljust(5, b"\0")
    return packet(name_field + size_field)


def data_packets(blob):
    return [packet(blob[i:i + 60]) for i in range(0, len(blob), 60)]


def download_packets(conf, rules):
    return ([command("conf", len(conf))] + data_packets(conf) +
            [command("rules", len(rules))] + data_packets(rules) + [command("-cestfini-")])


def exchange(port, pkt, timeout=5.0):
    """Sends one packet and returns its one reply byte."""
    port.write(pkt)
    return port.read_exact(1, timeout)[0]


def start_download(port):
    port.write(b"download\n")
