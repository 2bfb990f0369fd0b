"""zorbel-gensim for the zorbel module's tests: a fresh simulator per test on a
loopback address of its own, lock files in a folder of the run's own."""

import os
import random
import signal
import socket
import subprocess
import tempfile
from pathlib import Path

import pytest

# Before the module runs a session: the instrument locks go here, not to the user's folder.
os.environ.setdefault("XDG_RUNTIME_DIR", tempfile.mkdtemp(prefix="zorbel-pytest-"))

import zorbel  # noqa: E402


def bin_dir() -> Path:
    if "ZORBEL_BIN_DIR" in os.environ:
        return Path(os.environ["ZORBEL_BIN_DIR"])
    return Path(zorbel.__file__).resolve().parent.parent / "bin"


class Gensim:
    """zorbel-gensim serving LAN on `address`; `ask` sends it a query the way the
    library does (one UDP datagram to port 9966) and returns its answer."""

    def __init__(self, address: str):
        self.address = address
        self.process = None

    def start(self) -> bool:
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            [str(bin_dir() / "zorbel-gensim"), "--lan", self.address, "--ready-fd", str(write_end)],
            pass_fds=[write_end],
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        os.close(write_end)
        with os.fdopen(read_end, "rb") as ready:
            started = ready.read() == b"ready\n"
        if not started:
            self.process.wait(timeout=10)
        return started

    def kill(self) -> None:
        self.process.send_signal(signal.SIGKILL)
        self.process.wait(timeout=10)

    def ask(self, query: str) -> str:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.settimeout(2.0)
            s.sendto(query.encode(), (self.address, 9966))
            return s.recv(65536).decode()

    def lock_path(self) -> Path:
        return Path(os.environ["XDG_RUNTIME_DIR"]) / f"zorbel-lan-{self.address}.lock"


def unique_address() -> str:
    return "127." + ".".join(str(random.randint(1, 254)) for _ in range(3))


@pytest.fixture
def sim():
    for _ in range(5):  # an address another test run holds: another one
        gensim = Gensim(unique_address())
        if gensim.start():
            break
    else:
        pytest.fail("zorbel-gensim did not start")
    yield gensim
    if gensim.process.poll() is None:
        gensim.kill()


@pytest.fixture
def gen(sim):
    with zorbel.Generator(lan=sim.address, timeout=10, wait=0.5) as generator:
        yield generator
