"""Programs we did not write talk through the monitor's virtual ports: pyserial on both ends,
then socat receiving. Run: interop_demo.py PATH_TO_PORTAVIGILANT"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import serial

from interop_support import wait_for

PROGRAM = sys.argv.pop(1) if len(sys.argv) > 1 else "portavigilant"


def holds_open(pid, path):
    """True when process pid has the device behind path open."""
    target = os.path.realpath(path)
    fd_dir = f"/proc/{pid}/fd"
    try:
        return any(os.path.realpath(os.path.join(fd_dir, fd)) == target
                   for fd in os.listdir(fd_dir))
    except OSError:
        return False


def read_exactly(port, count, timeout=20.0):
    data = bytearray()
    deadline = time.monotonic() + timeout
    while len(data) < count and time.monotonic() < deadline:
        data += port.read(count - len(data))
    return bytes(data)


class DemoInterop(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.ports = os.path.join(self.dir.name, "ports")
        self.process = subprocess.Popen([PROGRAM, "--demo", "--virtual-dir", self.ports],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.com1 = os.path.join(self.ports, "COM1")
        self.com2 = os.path.join(self.ports, "COM2")
        self.assertTrue(wait_for(lambda: os.path.exists(self.com1) and os.path.exists(self.com2)))

    def tearDown(self):
        self.process.send_signal(signal.SIGINT)
        _, err = self.process.communicate(timeout=10)
        self.assertEqual(self.process.returncode, 0, err)
        self.assertFalse(os.path.exists(self.com1))
        self.dir.cleanup()

    def test_pyserial_both_ways(self):
        with serial.Serial(self.com1, 115200, timeout=0.5) as one, \
                serial.Serial(self.com2, 115200, timeout=0.5) as two:
            rng = random.Random(7)
            forward = bytes(rng.getrandbits(8) for _ in range(256 * 1024))
            back = bytes(rng.getrandbits(8) for _ in range(256 * 1024))
            one.write(forward)
            self.assertEqual(read_exactly(two, len(forward)), forward)
            two.write(back)
            self.assertEqual(read_exactly(one, len(back)), back)

    def test_socat_receives_what_pyserial_sends(self):
        out = os.path.join(self.dir.name, "received")
        receiver = subprocess.Popen(
            ["socat", "-u", f"OPEN:{self.com2},rawer", f"CREATE:{out}"])
        try:
            # Bytes for a port that no program holds are dropped, as on an open line.
            self.assertTrue(wait_for(lambda: holds_open(receiver.pid, self.com2)))
            payload = bytes(range(256)) * 256
            with serial.Serial(self.com1, 115200) as one:
                one.write(payload)
                one.flush()
            self.assertTrue(wait_for(lambda: os.path.exists(out)
                                     and os.path.getsize(out) >= len(payload)))
            with open(out, "rb") as f:
                self.assertEqual(f.read(), payload)
        finally:
            receiver.terminate()
            receiver.wait(timeout=5)


if __name__ == "__main__":
    unittest.main()
