"""Shared pieces of the interop checks: results, loopback addresses, child processes."""
import logging
import os
import select
import signal
import socket
import subprocess
import time


class Results:
    """Counts named checks and prints one line per failure and a closing summary."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print(f"ok   {name}", flush=True)
        else:
            self.failed += 1
            print(f"FAIL {name} {detail}", flush=True)
        return condition

    def summary(self):
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 0 if self.failed == 0 and self.passed > 0 else 1


def unique_loopback(second_octet):
    """A loopback address of this process's own, 127.N.x.y from the pid."""
    pid = os.getpid()
    return f"127.{second_octet}.{(pid >> 8) & 0xFF}.{1 + pid % 250}"


def free_port(address):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((address, 0))
        return s.getsockname()[1]


def quiet_pymodbus():
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)


def start(args, timeout=10.0):
    """Starts a child and returns (process, first stdout line or None after timeout)."""
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            stdin=subprocess.DEVNULL)
    deadline = time.monotonic() + timeout
    line = b""
    while not line.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([proc.stdout], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            break
        byte = os.read(proc.stdout.fileno(), 1)
        if not byte:
            break
        line += byte
    return proc, (line.decode("latin-1").rstrip("\n") if line.endswith(b"\n") else None)


def stop(proc, timeout=10.0):
    """SIGTERM to the child by its pid; returns its exit code, or None if it had to be killed."""
    if proc.poll() is None:
        os.kill(proc.pid, signal.SIGTERM)
    try:
        proc.wait(timeout=timeout)
        return proc.returncode
    except subprocess.TimeoutExpired:
        os.kill(proc.pid, signal.SIGKILL)
        proc.wait(timeout=timeout)
        return None
