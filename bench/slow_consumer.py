#!/usr/bin/env python3
"""B->A latency while side B's device takes bytes slowly.

Two pseudo-terminal pairs stand for the devices. The program relays between the two slaves.
The far end of A floods A->B as fast as the program takes it; the far end of B reads only as
fast as a 9600 baud line would (960 bytes a second). Meanwhile one byte at a time is written at
the far end of B, and the time until it comes out at the far end of A is measured: the
direction B->A should not notice that A->B is held up.

    bench/slow_consumer.py --program build-release/src/portavigilant [--samples 50] [--baud 9600]
"""
import argparse
import os
import select
import statistics
import subprocess
import sys
import threading
import time
import tty


def open_pair():
    master, slave = os.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)


def flood(fd, stop):
    os.set_blocking(fd, False)
    chunk = bytes(range(256)) * 16
    while not stop.is_set():
        try:
            os.write(fd, chunk)
        except BlockingIOError:
            select.select([], [fd], [], 0.05)
        except OSError:
            return


def trickle(fd, stop, baud):
    per_second = baud / 10
    os.set_blocking(fd, False)
    taken = 0
    start = time.monotonic()
    while not stop.is_set():
        due = int((time.monotonic() - start) * per_second) - taken
        if due > 0:
            try:
                taken += len(os.read(fd, due))
            except BlockingIOError:
                pass
        time.sleep(0.01)
    return taken


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--samples", type=int, default=50)
    parser.add_argument("--baud", type=int, default=9600)
    parser.add_argument("--timeout", type=float, default=20.0)
    args = parser.parse_args()

    a_master, a_slave, a_path = open_pair()
    b_master, b_slave, b_path = open_pair()
    relay = subprocess.Popen([args.program, "--headless", "--device-a", a_path, "--device-b",
                              b_path], stderr=subprocess.DEVNULL)
    stop = threading.Event()
    try:
        # Ready when a byte gets through B->A.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            os.write(b_master, b"?")
            if select.select([a_master], [], [], 0.2)[0]:
                os.read(a_master, 4096)
                break
        threads = [threading.Thread(target=flood, args=(a_master, stop)),
                   threading.Thread(target=trickle, args=(b_master, stop, args.baud))]
        for thread in threads:
            thread.start()
        time.sleep(2)  # A->B is held up by now
        latencies = []
        lost = 0
        for i in range(args.samples):
            byte = bytes([i % 256])
            sent = time.monotonic()
            os.write(b_master, byte)
            got = b""
            while not got:
                left = args.timeout - (time.monotonic() - sent)
                if left <= 0 or not select.select([a_master], [], [], left)[0]:
                    break
                got = os.read(a_master, 1)
            if got == byte:
                latencies.append((time.monotonic() - sent) * 1000)
            else:
                lost += 1
            time.sleep(0.05)
        stop.set()
        for thread in threads:
            thread.join()
    finally:
        relay.terminate()
        try:
            relay.wait(10)
        except subprocess.TimeoutExpired:
            relay.kill()
            print("relay did not end within 10 s of SIGTERM", file=sys.stderr)
    if latencies:
        latencies.sort()
        p99 = latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))]
        print(f"B->A one-byte latency, side B drained at {args.baud} baud: "
              f"p50 {statistics.median(latencies):.2f} ms, p99 {p99:.2f} ms, "
              f"max {latencies[-1]:.2f} ms, {len(latencies)} samples, {lost} late or lost")
    else:
        print(f"no sample arrived within {args.timeout} s ({lost} lost)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
