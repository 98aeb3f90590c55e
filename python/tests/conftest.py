"""Fixtures: a termsim process serving a simulated terminal on a free port.

TERMSIM names the termsim program and TERMLINK_LIBRARY the library to bind
(both default to a build tree at ../../build)."""
import os
import pathlib
import re
import subprocess

import pytest

BUILD = pathlib.Path(__file__).resolve().parents[2] / "build"


@pytest.fixture(scope="session", autouse=True)
def library_path():
    os.environ.setdefault("TERMLINK_LIBRARY", str(BUILD / "lib" / "libtermlink.so"))


class Sim:
    def __init__(self, *args):
        program = os.environ.get("TERMSIM", str(BUILD / "bin" / "termsim"))
        self.process = subprocess.Popen([program, "--port", "0", *args], stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r" port (\d+) ", line)
        if not match:
            self.stop()
            raise RuntimeError(f"termsim did not start: {line!r}")
        self.port = int(match.group(1))

    def stop(self):
        self.process.stdin.close()  # end of input stops it
        self.process.terminate()
        self.process.wait(timeout=10)


@pytest.fixture(scope="module")
def sim_factory():
    started = []

    def start(*args):
        started.append(Sim(*args))
        return started[-1]

    yield start
    for sim in started:
        sim.stop()
