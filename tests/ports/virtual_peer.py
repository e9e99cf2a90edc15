"""The other program on a virtual port, driven by the tests through stdin and stdout.

exchange LINK TO_PEER FROM_PEER
    Opens LINK with pyserial, prints "open", waits for "go", then sends the bytes of FROM_PEER
    while it reads as many bytes as TO_PEER holds, and prints "rx ok" or what went wrong.
plain LINK
    Opens LINK with os.open and leaves the line settings alone, prints "open", then obeys
    "read COUNT MS" (prints the hex of what arrived within MS), "write HEX" and "quit".
"""
import os
import select
import sys
import threading
import time


def say(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()


def exchange(link, to_peer_path, from_peer_path):
    import serial

    expected = open(to_peer_path, "rb").read()
    outgoing = open(from_peer_path, "rb").read()
    port = serial.Serial(link, 115200, timeout=0.5)
    say("open")
    if sys.stdin.readline().strip() != "go":
        return 2

    def send():
        for i in range(0, len(outgoing), 4096):
            port.write(outgoing[i:i + 4096])
        port.flush()

    writer = threading.Thread(target=send)
    writer.start()
    received = bytearray()
    deadline = time.monotonic() + 60
    while len(received) < len(expected) and time.monotonic() < deadline:
        received += port.read(min(65536, len(expected) - len(received)))
    writer.join()
    if received == expected:
        say("rx ok")
    elif len(received) != len(expected):
        say("rx short %d of %d" % (len(received), len(expected)))
    else:
        first = next(i for i in range(len(expected)) if received[i] != expected[i])
        say("rx mismatch at %d" % first)
    sys.stdin.readline()  # stay until the test has taken everything we sent
    port.close()
    return 0


def plain(link):
    fd = os.open(link, os.O_RDWR | os.O_NOCTTY)
    say("open")
    for line in sys.stdin:
        words = line.split()
        if not words or words[0] == "quit":
            break
        if words[0] == "read":
            count, ms = int(words[1]), int(words[2])
            got = bytearray()
            deadline = time.monotonic() + ms / 1000.0
            while len(got) < count:
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([fd], [], [], left)[0]:
                    break
                got += os.read(fd, count - len(got))
            say("got " + got.hex())
        elif words[0] == "write":
            data = bytes.fromhex(words[1])
            done = 0
            while done < len(data):
                done += os.write(fd, data[done:])
            say("written")
    os.close(fd)
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "exchange":
        sys.exit(exchange(*sys.argv[2:5]))
    sys.exit(plain(sys.argv[2]))
