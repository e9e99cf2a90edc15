"""Helpers the interop scripts share."""
import time


def wait_for(condition, timeout=10.0):
    """Polls condition until it holds or timeout seconds have passed; its last answer."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.01)
    return condition()
