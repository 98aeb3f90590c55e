"""A fleet of simulated terminals (termsim processes) for termlink-sync's
end-to-end tests, with what each of them holds read back from its saved
state, and helpers to read the sync's database."""

import os
import random
import re
import shutil
import sqlite3
import subprocess
import tempfile
import time

BIN = os.environ.get("TL_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
TERMSIM = os.path.join(BIN, "termsim")
SYNC = os.path.join(BIN, "termlink-sync")
PG_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pg_server.sh")


def device_time_text(v):
    """The terminal's 32-bit time (31-day months from 2000) as text."""
    second, v = v % 60, v // 60
    minute, v = v % 60, v // 60
    hour, v = v % 24, v // 24
    day, v = v % 31 + 1, v // 31
    month, year = v % 12 + 1, v // 12 + 2000
    return "%04d-%02d-%02d %02d:%02d:%02d" % (year, month, day, hour, minute, second)


def unescape(text):
    if text == "-":
        return ""
    return re.sub(r"%([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), text)


class Terminal:
    """One termsim process serving one terminal on a loopback UDP port."""

    def __init__(self, workdir, name, profile, serial, users, punches, seed, faults=()):
        self.name, self.profile, self.serial = name, profile, serial
        self.workdir = workdir
        self.proc = subprocess.Popen(
            [TERMSIM, "--port", "0", "--ptys", "0", "--no-tcp", "--profile", profile,
             "--users", str(users), "--punches", str(punches), "--seed", str(seed),
             "--serial", serial, *faults],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        line = self.proc.stdout.readline()
        m = re.search(r"port (\d+)", line)
        assert m, "termsim did not start: " + line
        self.port = int(m.group(1))
        self.stopped = False

    @property
    def connection(self):
        return "udp:127.0.0.1:%d" % self.port

    def command(self, line, expect):
        """Sends a line to the simulator and waits for its answer."""
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        while True:
            out = self.proc.stdout.readline()
            assert out, "termsim ended"
            if expect in out:
                return out

    def punches(self):
        """The punches the terminal holds now, as the sync keys them."""
        path = os.path.join(self.workdir, self.name + ".state")
        self.command("save " + path, "saved")
        keys = set()
        with open(path, encoding="latin-1") as f:
            for line in f:
                fields = line.split()
                if not fields or fields[0] != "punch":
                    continue
                pin, pin2, ident, when, state, verify, work = fields[1:8]
                if self.profile == "tft":
                    user = unescape(ident)
                else:
                    user = pin2 if int(pin2) else pin
                keys.add((self.serial, user, device_time_text(int(when)), int(state),
                          int(verify), int(work)))
        return keys

    def user_keys(self):
        """Each user's PIN mapped to the ID the sync keys that user's punches by."""
        path = os.path.join(self.workdir, self.name + ".users")
        self.command("save " + path, "saved")
        keys = {}
        with open(path, encoding="latin-1") as f:
            for line in f:
                fields = line.split()
                if not fields or fields[0] != "user":
                    continue
                pin, pin2, ident = fields[1:4]
                keys[int(pin)] = unescape(ident) if self.profile == "tft" else (
                    pin2 if int(pin2) else pin)
        return keys

    def keypad(self, pin, state, user_keys):
        """A user punches at the keypad. Returns the punch's key when the
        terminal took it, None when it refused (keypad locked)."""
        out = self.command("punch %d %d" % (pin, state), "punch")
        m = re.search(r"punch PIN \d+ state \d+ at (\d+)", out)
        if not m:
            return None
        return (self.serial, user_keys[pin], device_time_text(int(m.group(1))), state, 1, 0)

    def pause(self):
        """A dead peer: the process stops answering."""
        self.proc.send_signal(19)  # SIGSTOP
        # Only once it has stopped: a terminal still answering the first
        # request after the signal would not count as dead.
        os.waitpid(self.proc.pid, os.WUNTRACED)
        self.stopped = True

    def resume(self):
        self.proc.send_signal(18)  # SIGCONT
        self.stopped = False

    def close(self):
        if self.stopped:
            self.resume()
        self.proc.kill()
        self.proc.wait()


PROFILES = ["tft", "extended", "classic", "legacy", "fp10"]


def start_fleet(workdir, count, punches=300, seed=1):
    """`count` terminals of mixed profiles; every fifth drops frames."""
    rng = random.Random(seed)
    fleet = []
    for i in range(count):
        faults = ("--drop", "0.05") if i % 5 == 4 else ()
        fleet.append(Terminal(workdir, "t%02d" % i, PROFILES[i % len(PROFILES)],
                              "SN%06d" % (1000 + i), 10 + i % 7,
                              punches + rng.randrange(100), 100 + i, faults))
    return fleet


def write_fleet_file(path, fleet, extra_lines=()):
    with open(path, "w") as f:
        f.write("# name connection\n")
        for t in fleet:
            f.write("%s %s\n" % (t.name, t.connection))
        for line in extra_lines:
            f.write(line + "\n")


def run_sync(db, *args, timeout=600):
    return subprocess.run([SYNC, "run", "--db", db, "--quiet", "--timeout", "300",
                           "--backoff", "100", *args],
                          capture_output=True, text=True, timeout=timeout)


class Database:
    """Reads what termlink-sync stored, in SQLite or PostgreSQL."""

    def __init__(self, url):
        self.url = url

    def query(self, sql):
        if self.url.startswith("sqlite:"):
            con = sqlite3.connect(self.url[len("sqlite:"):])
            con.text_factory = lambda b: b.decode("latin-1")
            try:
                return [tuple(r) for r in con.execute(sql).fetchall()]
            finally:
                con.close()
        out = subprocess.run(["psql", "-X", "-q", "-A", "-t", "-F", "\x1f", self.url, "-c", sql],
                             capture_output=True, check=True, timeout=60).stdout
        rows = []
        for line in out.decode("latin-1").splitlines():
            rows.append(tuple(line.split("\x1f")))
        return rows

    def punch_keys(self):
        rows = self.query("SELECT serial, user_id, punch_time, state, verify, work_code "
                          "FROM punches")
        return [(s, u, t, int(st), int(v), int(w)) for s, u, t, st, v, w in rows]

    def counters(self):
        """The sum of the terminals' punch counters, and the rows stored."""
        total = int(self.query("SELECT coalesce(sum(punches), 0) FROM terminals")[0][0])
        rows = int(self.query("SELECT count(*) FROM punches")[0][0])
        return total, rows


def pg_start():
    """A throw-away PostgreSQL server on loopback; returns (url, stop)."""
    d = tempfile.mkdtemp(prefix="tl-pg-")
    import socket
    # The free port is only free when looked at: another program may take it
    # while the server is being set up, so a failed start tries another.
    for attempt in range(3):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
        s.close()
        started = subprocess.run(["bash", PG_SERVER, "start", d, str(port)], timeout=120)
        if started.returncode == 0:
            break
        subprocess.run(["bash", PG_SERVER, "stop", d], timeout=120)
        shutil.rmtree(os.path.join(d, "data"), ignore_errors=True)
    else:
        raise RuntimeError("PostgreSQL did not start")
    url = "postgresql://postgres@127.0.0.1:%d/fleet" % port

    def stop():
        subprocess.run(["bash", PG_SERVER, "stop", d], timeout=120)

    return url, stop


def wait_until(predicate, seconds=20):
    """Polls a condition (not a timing check: the bound only ends a hang)."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            if predicate():
                return True
        except (sqlite3.Error, subprocess.CalledProcessError):
            pass  # the database is not there yet
        time.sleep(0.1)
    return predicate()
