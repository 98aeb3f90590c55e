"""termlink-sync as a service, end to end against fleets of termsim
processes: the pages --listen serves (the status page read by headless
Chromium, the metrics by the Prometheus client's own parser), /health
following a PostgreSQL server that is stopped and started again, a clean
stop on SIGTERM in the middle of a locked download, the NOTIFY sent per
commit, and the packaged systemd unit checked by systemd-analyze."""

import html.parser
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import urllib.error
import urllib.request

import pytest
from prometheus_client.parser import text_string_to_metric_families

import fleet as F

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE_DIR = os.path.join(HERE, "../../tools/sync/debian")


class Sync:
    """A `termlink-sync run ... --listen 127.0.0.1:0` process; its standard
    error is collected by a thread so that it never blocks on a full pipe."""

    def __init__(self, db, *args):
        self.proc = subprocess.Popen(
            [F.SYNC, "run", "--db", db, "--timeout", "300", "--backoff", "100",
             "--listen", "127.0.0.1:0", *args],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.lines = []
        self.port = None
        listening = threading.Event()

        def read():
            for line in self.proc.stderr:
                self.lines.append(line)
                m = re.search(r"listening on http://127\.0\.0\.1:(\d+)/", line)
                if m:
                    self.port = int(m.group(1))
                    listening.set()
            listening.set()

        self.reader = threading.Thread(target=read, daemon=True)
        self.reader.start()
        listening.wait(120)
        assert self.port, "no listening line: " + "".join(self.lines)

    def get(self, path):
        """(status, body) of one request."""
        try:
            with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.port, path),
                                        timeout=60) as r:
                return r.status, r.read().decode("utf-8")
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode("utf-8")

    def metrics(self):
        status, text = self.get("/metrics")
        assert status == 200
        out = {}
        for family in text_string_to_metric_families(text):
            for s in family.samples:
                out[(s.name, tuple(sorted(s.labels.items())))] = s.value
        return out

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=300)
        self.reader.join(60)
        return self.proc.returncode, "".join(self.lines)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


@pytest.fixture
def terminals(tmp_path):
    started = []

    def start(count, punches=50, seed=21):
        ts = F.start_fleet(str(tmp_path), count, punches, seed)
        started.extend(ts)
        return ts

    yield start
    for t in started:
        t.close()


def write_fleet(path, named):
    with open(path, "w") as f:
        for name, t in named:
            f.write("%s %s\n" % (name, t.connection))
    return str(path)


class Rows(html.parser.HTMLParser):
    """The cells of every table row of a page, as the browser left them."""

    def __init__(self):
        super().__init__()
        self.rows, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag == "td":
            self.cell = ""

    def handle_endtag(self, tag):
        if tag == "td" and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def chromium_dom(url, workdir):
    profile = tempfile.mkdtemp(prefix="chromium-", dir=workdir)
    out = subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--no-first-run", "--user-data-dir=" + profile, "--dump-dom", url],
        capture_output=True, text=True, timeout=300)
    assert out.returncode == 0, out.stderr
    return out.stdout


def test_pages_of_a_running_fleet(tmp_path, terminals):
    # A hostile name, a healthy terminal and a dead one.
    fleet = terminals(3)
    hostile = 'front"<b>&\\x\'1'
    names = [hostile, "plain", "dead"]
    fleet[2].pause()
    db = "sqlite:" + str(tmp_path / "sync.db")
    sync = Sync(db, "--fleet", write_fleet(tmp_path / "fleet", zip(names, fleet)), "--follow",
                "--poll", "100", "--workers", "2", "--quiet")
    try:
        expected = {names[0]: len(fleet[0].punches()), names[1]: len(fleet[1].punches())}

        def rows():
            status, body = sync.get("/status.json")
            assert status == 200
            return {r["terminal"]: r for r in json.loads(body)}

        assert F.wait_until(lambda: all(rows()[n]["punches"] == k for n, k in expected.items())
                            and rows()["dead"]["failures"] > 0, 120)
        # The JSON is what `status --json` prints.
        cli = subprocess.run([F.SYNC, "status", "--db", db, "--json"], capture_output=True,
                             text=True, check=True).stdout
        assert {r["terminal"] for r in json.loads(cli)} == set(rows()) == set(names)

        # Follow renews each held lease at every poll.
        assert F.wait_until(
            lambda: sync.metrics()[("termlink_sync_lease_renewals_total", ())] > 0, 60)
        m = sync.metrics()
        assert m[("termlink_sync_database_up", ())] == 1
        assert m[("termlink_sync_database_latency_seconds", ())] >= 0
        states = {dict(k[1])["state"]: v for k, v in m.items()
                  if k[0] == "termlink_sync_terminals"}
        assert set(states) >= {"ok", "failing", "never", "syncing"}
        assert sum(states.values()) == 3
        for name, count in expected.items():
            label = (("terminal", name),)
            assert m[("termlink_sync_punches_stored", label)] == count
            assert m[("termlink_sync_last_success_timestamp_seconds", label)] > 1.7e9
        assert ("termlink_sync_last_success_timestamp_seconds", (("terminal", "dead"),)) not in m
        assert m[("termlink_sync_terminal_failures", (("terminal", "dead"),))] >= 1
        assert m[("termlink_sync_failures_total", ())] >= 1
        assert m[("termlink_sync_punches_added_total", ())] == sum(expected.values())
        assert m[("termlink_sync_downloads_total", ())] >= 2

        assert sync.get("/health") == (200, "ok\n")
        assert sync.get("/nothing-here")[0] == 404

        # The page as a browser builds it: one row per terminal, every name
        # intact (escaped on the wire, so no markup of its own).
        dom = chromium_dom("http://127.0.0.1:%d/" % sync.port, str(tmp_path))
        parser = Rows()
        parser.feed(dom)
        cells = [r for r in parser.rows if r]
        assert sorted(r[0] for r in cells) == sorted(names)
        assert "<b>" not in dom.replace("&lt;b&gt;", "")
    finally:
        code, err = sync.stop()
    assert code == 0, err


class Postgres:
    """A throw-away PostgreSQL server that a test may stop and start again."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tl-pg-")
        for _ in range(3):
            s = socket.socket()
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
            s.close()
            if self.script("start", str(self.port)) == 0:
                break
            self.script("stop")
            shutil.rmtree(os.path.join(self.dir, "data"), ignore_errors=True)
        else:
            raise RuntimeError("PostgreSQL did not start")
        self.url = "postgresql://postgres@127.0.0.1:%d/fleet" % self.port

    def script(self, *args):
        return subprocess.run(["bash", F.PG_SERVER, args[0], self.dir, *args[1:]],
                              timeout=120).returncode

    def database(self, name):
        subprocess.run(["psql", "-X", "-q", self.url, "-c", "CREATE DATABASE " + name],
                       check=True, capture_output=True)
        return self.url.rsplit("/", 1)[0] + "/" + name


@pytest.fixture(scope="module")
def postgres():
    pg = Postgres()
    yield pg
    pg.script("stop")
    shutil.rmtree(pg.dir, ignore_errors=True)


def test_health_follows_the_database(postgres, tmp_path, terminals):
    (t,) = terminals(1)
    db = postgres.database("health")
    sync = Sync(db, "--fleet", write_fleet(tmp_path / "fleet", [("t", t)]), "--follow",
                "--poll", "100", "--quiet")
    try:
        assert F.wait_until(lambda: sync.get("/health")[0] == 200, 60)
        assert postgres.script("stop") == 0
        assert F.wait_until(lambda: sync.get("/health")[0] == 503, 60)
        status, body = sync.get("/health")
        assert body.startswith("database unreachable: postgresql://postgres@127.0.0.1:")
        assert sync.get("/status.json")[0] == 503
        # The metrics still answer, and say the database is down.
        assert sync.metrics()[("termlink_sync_database_up", ())] == 0
        assert postgres.script("resume") == 0
        assert F.wait_until(lambda: sync.get("/health") == (200, "ok\n"), 60)
        # The sync itself came back too: a new punch is stored.
        t.command("punch 1 1", "punch PIN")
        assert F.wait_until(lambda: set(F.Database(db).punch_keys()) == t.punches(), 120)
    finally:
        code, err = sync.stop()
    assert code == 0, err


def test_sigterm_during_a_locked_download_unlocks_and_loses_nothing(tmp_path, terminals):
    (t,) = terminals(1, punches=3000)
    t.command("delay 2", "faults")  # downloads long enough to be caught locked
    before = t.punches()
    db = "sqlite:" + str(tmp_path / "sync.db")
    sync = Sync(db, "--fleet", write_fleet(tmp_path / "fleet", [("t", t)]), "--follow",
                "--lock", "--clear", "--poll", "100", "--full-every", "1")
    try:
        # Punches at the keypad (each of a state of its own, so that no two
        # share a key) until one is refused: the keypad is locked, a full
        # download is under way. Then the stop.
        accepted = 0
        while True:
            line = t.command("punch %d %d" % (1 + accepted % 5, accepted % 256), "punch")
            if "refused" in line:
                break
            accepted += 1
            assert accepted < 1280, "the keypad was never locked"
            time.sleep(0.02)  # paces the punches; nothing depends on it
        code, err = sync.stop()
    finally:
        sync.kill()
    assert code == 0, err
    assert "failed" not in err.replace("0 failed", "")
    # The keypad is on again, and every punch is in the database or still on
    # the terminal.
    assert "refused" not in t.command("punch 6 0", "punch")
    stored = F.Database(db).punch_keys()
    assert len(stored) == len(set(stored))
    left = t.punches()
    everything = set(stored) | left
    assert before <= everything
    assert len(everything) == len(before) + accepted + 1


def test_a_one_shot_run_stopped_early_does_not_report_success(tmp_path, terminals):
    live, dead = terminals(2)
    dead.pause()
    db = "sqlite:" + str(tmp_path / "sync.db")
    sync = Sync(db, "--fleet", write_fleet(tmp_path / "fleet", [("live", live), ("dead", dead)]),
                "--attempts", "100")
    try:
        assert F.wait_until(lambda: "dead: " in "".join(sync.lines), 120)
        code, err = sync.stop()
    finally:
        sync.kill()
    assert code == 1, err
    assert "stopped by a signal before this run had synced every terminal" in err


def notices(listener):
    """The notifications psql received so far, as parsed payloads."""
    listener.stdin.write("SELECT 1;\n\\echo END\n")
    listener.stdin.flush()
    out = []
    while True:
        line = listener.stdout.readline()
        assert line, "psql ended"
        if line.strip() == "END":
            return out
        m = re.match(r'Asynchronous notification "termlink_punches" with payload "(.*)" '
                     r'received from server process', line)
        if m:
            out.append(json.loads(m.group(1)))


def test_each_commit_that_stores_punches_notifies(postgres, tmp_path, terminals):
    fleet = terminals(2, punches=40, seed=5)
    db = postgres.database("notify")
    listener = subprocess.Popen(["psql", "-X", "-q", "-A", "-t", db], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        listener.stdin.write("LISTEN termlink_punches;\n")
        assert notices(listener) == []  # listening from here on
        fleet_file = write_fleet(tmp_path / "fleet", [("a", fleet[0]), ("b", fleet[1])])
        r = F.run_sync(db, "--fleet", fleet_file)
        assert r.returncode == 0, r.stderr
        got = notices(listener)
        assert sorted(got, key=lambda n: n["terminal"]) == [
            {"terminal": "a", "serial": fleet[0].serial, "punches": len(fleet[0].punches())},
            {"terminal": "b", "serial": fleet[1].serial, "punches": len(fleet[1].punches())}]

        # Nothing new: no notice. A commit refused for a changed serial
        # number rolls back: no notice either; the other terminal's one new
        # punch: one notice.
        assert F.run_sync(db).returncode == 0
        assert notices(listener) == []
        fleet[0].command("serial OTHER", "serial number")
        fleet[0].command("punch 1", "punch PIN")
        fleet[1].command("punch 1", "punch PIN")
        assert F.run_sync(db).returncode == 1
        assert notices(listener) == [
            {"terminal": "b", "serial": fleet[1].serial, "punches": 1}]
    finally:
        listener.stdin.close()
        listener.wait(timeout=60)


def test_the_service_unit_verifies(tmp_path):
    # The unit as installed, with its program at the build's path (the
    # check requires the program to exist).
    with open(os.path.join(SERVICE_DIR, "termlink-sync.service")) as f:
        unit = f.read()
    assert "ExecStart=/usr/bin/termlink-sync run --follow " in unit
    unit = unit.replace("/usr/bin/termlink-sync", os.path.abspath(F.SYNC))
    (tmp_path / "termlink-sync.service").write_text(unit)
    r = subprocess.run(["systemd-analyze", "verify", "--man=no",
                        str(tmp_path / "termlink-sync.service")],
                       capture_output=True, text=True, timeout=120)
    assert r.returncode == 0 and not (r.stdout + r.stderr).strip(), r.stdout + r.stderr
    for script in ("postinst", "prerm", "postrm"):
        subprocess.run(["sh", "-n", os.path.join(SERVICE_DIR, script)], check=True)
    # The options the settings file ships are ones the program takes.
    settings = {}
    with open(os.path.join(SERVICE_DIR, "termlink-sync.conf")) as f:
        for line in f:
            if re.match(r"^[A-Z_]+=", line):
                key, value = line.rstrip("\n").split("=", 1)
                settings[key] = value
    r = subprocess.run([F.SYNC, "run", "--db", "sqlite:" + str(tmp_path / "s.db"),
                        "--fleet", os.path.join(SERVICE_DIR, "fleet"),
                        *settings["TLSYNC_OPTIONS"].replace("9817", "0").split()],
                       capture_output=True, text=True, timeout=120)
    # The shipped fleet file lists no terminal yet: the run says so.
    assert r.returncode == 1 and "no terminals" in r.stderr, r.stderr
