"""Two headless instances bridge two pseudo-terminals across their TCP link on 127.0.0.1:
  master A <-> instance 1 (A serial, B network server) <-> instance 2 (A network client,
  B serial) <-> master B
Every byte must arrive unchanged and in order, each way and both at once.
Run: interop_tcp.py PATH_TO_PORTAVIGILANT"""
import os
import random
import select
import signal
import socket
import subprocess
import sys
import tempfile
import time
import tty
import unittest

from interop_support import wait_for

PROGRAM = sys.argv.pop(1) if len(sys.argv) > 1 else "portavigilant"


def free_port():
    """A port from 4000 to 9999 that nothing on 127.0.0.1 uses now."""
    for port in random.sample(range(4000, 10000), 6000):
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
            except OSError:
                continue
            return port
    raise RuntimeError("no free port from 4000 to 9999")


def listening(port):
    hex_port = ":%04X " % port
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                for line in f.readlines()[1:]:
                    fields = line.split()
                    if fields[1].endswith(hex_port.strip()) and fields[3] == "0A":
                        return True
        except OSError:
            pass
    return False


CLASSIC_LINES = 635


def write_params(path, edits):
    """The default parameter file with the given lines (numbered from 1) replaced. Only the
    classic lines are kept, as another instance would write them, so the test also shows that
    such a file loads here."""
    result = subprocess.run([PROGRAM, "--headless", "--params", path, "--start", "none", "--save"],
                            capture_output=True, timeout=30)
    if result.returncode != 0:
        raise RuntimeError("%s cannot write a parameter file (needs --params, --save, --start): "
                           "%s" % (PROGRAM, result.stderr.decode(errors="replace")))
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")[:CLASSIC_LINES]
    for number, value in edits.items():
        lines[number - 1] = str(value).encode()
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n")


class Pty:
    """A pseudo-terminal: the test writes and reads the master, an instance opens the slave. The
    test keeps the slave open too, so the master never reads EIO while the instance restarts."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.path = os.ttyname(self.slave)

    def close(self):
        os.close(self.master)
        os.close(self.slave)


def pump(streams, timeout=30.0):
    """streams: (write fd, data, read fd). Writes each data to its fd while reading the same count
    from its read fd, all at once; returns what each read fd received."""
    sent = [0] * len(streams)
    received = [bytearray() for _ in streams]
    last_progress = time.monotonic()
    while any(len(r) < len(s[1]) for r, s in zip(received, streams)):
        if time.monotonic() - last_progress > timeout:
            break
        readers = {s[2]: i for i, s in enumerate(streams) if len(received[i]) < len(s[1])}
        writers = {s[0]: i for i, s in enumerate(streams) if sent[i] < len(s[1])}
        r, w, _ = select.select(list(readers), list(writers), [], 0.5)
        for fd in r:
            i = readers[fd]
            try:
                chunk = os.read(fd, 65536)
            except BlockingIOError:
                continue
            received[i] += chunk
            last_progress = time.monotonic()
        for fd in w:
            i = writers[fd]
            try:
                sent[i] += os.write(fd, streams[i][1][sent[i]:sent[i] + 4096])
            except BlockingIOError:
                pass
    return [bytes(r) for r in received]


def drain(fds, quiet=0.2):
    while select.select(fds, [], [], quiet)[0]:
        for fd in select.select(fds, [], [], 0)[0]:
            try:
                os.read(fd, 65536)
            except BlockingIOError:
                pass


class TcpLinkInterop(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.a = Pty()
        self.b = Pty()
        self.port = free_port()
        # Lines 57-60: A serial, A network, B serial, B network; 610, 611: B, A virtual;
        # 54: this instance is the server; 55: server address; 56: TCP port.
        self.server_params = os.path.join(self.dir.name, "server.dat")
        self.client_params = os.path.join(self.dir.name, "client.dat")
        link = {55: "127.0.0.1", 56: self.port, 610: 0, 611: 0}
        write_params(self.server_params, {57: 1, 58: 0, 59: 0, 60: 1, 54: 1, **link})
        write_params(self.client_params, {57: 0, 58: 1, 59: 1, 60: 0, 54: 0, **link})
        self.server = self.start(self.server_params, "--device-a", self.a.path)
        self.assertTrue(wait_for(lambda: listening(self.port) or self.server.poll() is not None),
                        "the server instance does not listen")
        self.check_running(self.server)
        self.client = self.start(self.client_params, "--device-b", self.b.path)
        self.wait_linked()

    def tearDown(self):
        for process in (self.client, self.server):
            if process.poll() is None:
                process.send_signal(signal.SIGINT)
                process.wait(timeout=10)
            process.stderr.close()
        self.a.close()
        self.b.close()
        self.dir.cleanup()

    def start(self, params, *device):
        return subprocess.Popen([PROGRAM, "--headless", "--params", params, *device],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def check_running(self, process):
        if process.poll() is not None:
            self.fail("an instance ended with %d: %s"
                      % (process.returncode, process.stderr.read().decode(errors="replace")))

    def wait_linked(self, timeout=10.0):
        """Sends a probe byte from A until one reaches B: until then the server has no client
        and drops what A receives. Then B must reach A too."""
        deadline = time.monotonic() + timeout
        for source, target in ((self.a.master, self.b.master), (self.b.master, self.a.master)):
            while not select.select([target], [], [], 0.1)[0]:
                self.assertLess(time.monotonic(), deadline, "no byte crosses the link")
                for process in (self.server, self.client):
                    self.check_running(process)
                os.write(source, b"\x55")
            drain([self.a.master, self.b.master])

    def assert_exact(self, got, expected, direction):
        if got != expected:
            at = next((i for i, (x, y) in enumerate(zip(got, expected)) if x != y),
                      min(len(got), len(expected)))
            self.fail("%s: %d of %d bytes arrived, first difference at %d"
                      % (direction, len(got), len(expected), at))

    def test_every_byte_crosses_each_way_and_both_at_once(self):
        rng = random.Random(11)
        forward = rng.randbytes(768 * 1024)
        back = rng.randbytes(768 * 1024)
        a, b = self.a.master, self.b.master
        (got,) = pump([(a, forward, b)])
        self.assert_exact(got, forward, "A to B")
        (got,) = pump([(b, back, a)])
        self.assert_exact(got, back, "B to A")
        got_b, got_a = pump([(a, back, b), (b, forward, a)])
        self.assert_exact(got_b, back, "A to B, both at once")
        self.assert_exact(got_a, forward, "B to A, both at once")
        for process in (self.server, self.client):
            self.check_running(process)

    def test_the_server_learns_when_its_client_goes_and_runs_on(self):
        self.client.send_signal(signal.SIGINT)
        _, err = self.client.communicate(timeout=10)
        self.assertEqual(self.client.returncode, 0, err)
        told = bytearray()

        def read_told():
            try:
                told.extend(os.read(self.server.stderr.fileno(), 4096))
            except BlockingIOError:
                pass
            return b"Socket closed by Client !" in told

        os.set_blocking(self.server.stderr.fileno(), False)
        self.assertTrue(wait_for(read_told), told)
        # Its network side stops; the instance runs on until it is told to end.
        self.assertIsNone(self.server.poll())
        self.server.send_signal(signal.SIGINT)
        self.assertEqual(self.server.wait(timeout=10), 0)


if __name__ == "__main__":
    unittest.main()
