#!/usr/bin/env python3
"""Unpaced upload through a pseudo-terminal against cat.

Usage: send_bench.py PROGRAM [--mb N] [--runs N]

Both write the same file of random bytes into the slave of a pseudo-terminal whose master this
script reads as fast as the kernel hands it out: `cat FILE > SLAVE`, and
`PROGRAM --headless --device-a SLAVE --send FILE` (side A on the slave, side B the terminal
uploading the file in blocks of 128 bytes). Every byte is checked. The runs alternate, so both
see the same load; wall time counts from the start of the process to the last byte read.
"""

import argparse
import hashlib
import os
import statistics
import subprocess
import sys
import tempfile
import time
import tty


def read_all(master, expected, proc):
    digest = hashlib.sha256()
    got = 0
    first = None
    while got < expected:
        try:
            chunk = os.read(master, 1 << 16)
        except OSError:
            break
        if not chunk:
            break
        if first is None:
            first = time.monotonic()
        digest.update(chunk)
        got += len(chunk)
    return got, digest.hexdigest(), first


def run_once(argv, size, want_digest):
    master, slave = os.openpty()
    tty.setraw(slave)
    slave_path = os.ttyname(slave)
    start = time.monotonic()
    if argv[0] == "cat":
        out = os.open(slave_path, os.O_WRONLY | os.O_NOCTTY)
        proc = subprocess.Popen(argv, stdout=out)
        os.close(out)
    else:
        proc = subprocess.Popen(argv + ["--device-a", slave_path], stdin=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)
    got, digest, first = read_all(master, size, proc)
    end = time.monotonic()
    proc.wait(timeout=60)
    os.close(master)
    os.close(slave)
    if got != size or digest != want_digest:
        sys.exit(f"{argv[0]}: {got} of {size} bytes, or not the same bytes")
    return end - start, end - (first or start)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--mb", type=int, default=100)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    size = args.mb * 1000 * 1000
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "upload.bin")
        with open(path, "wb") as f:
            f.write(os.urandom(size))
        with open(path, "rb") as f:
            want = hashlib.sha256(f.read()).hexdigest()
        params = os.path.join(folder, "none.dat")
        ours = [args.program, "--headless", "--params", params, "--send", path]
        times = {"cat": [], "portavigilant": []}
        load_before = os.getloadavg()
        for _ in range(args.runs):
            times["cat"].append(run_once(["cat", path], size, want))
            times["portavigilant"].append(run_once(ours, size, want))
        load_after = os.getloadavg()
    print(f"{args.mb} MB, {args.runs} interleaved runs; load average "
          f"{load_before[0]:.1f} before, {load_after[0]:.1f} after (1 min), {os.cpu_count()} cores")
    rates = {}
    for name, runs in times.items():
        walls = [w for w, _ in runs]
        rates[name] = [size / w / 1e6 for w in walls]
        print(f"{name:14} median {statistics.median(rates[name]):7.1f} MB/s "
              f"[{min(rates[name]):.1f}-{max(rates[name]):.1f}], wall {statistics.median(walls):.2f} s")
    ratio = statistics.median(rates["portavigilant"]) / statistics.median(rates["cat"])
    print(f"portavigilant / cat: {ratio:.2f}")


if __name__ == "__main__":
    main()
