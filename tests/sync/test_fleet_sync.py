"""termlink-sync end to end: simulated terminals (termsim processes) synced
into SQLite and into a PostgreSQL server started on loopback."""

import json
import os
import random
import signal
import sqlite3
import subprocess
import threading
import time

import pytest

import fleet as F


@pytest.fixture(scope="module")
def postgres():
    url, stop = F.pg_start()
    yield url
    stop()


_db_counter = [0]


@pytest.fixture(params=["sqlite", "postgresql"])
def db(request, tmp_path):
    """A fresh database of each kind."""
    if request.param == "sqlite":
        return "sqlite:" + str(tmp_path / "sync.db")
    base = request.getfixturevalue("postgres")
    _db_counter[0] += 1
    name = "t%d_%d" % (os.getpid(), _db_counter[0])
    subprocess.run(["psql", "-X", "-q", base, "-c", "CREATE DATABASE " + name], check=True,
                   capture_output=True)
    return base.rsplit("/", 1)[0] + "/" + name


@pytest.fixture
def make_fleet(tmp_path):
    """Starts simulated terminals and a fleet file naming them; all are
    stopped when the test ends."""
    started = []

    def make(count, punches=300, seed=1, extra_lines=()):
        terminals = F.start_fleet(str(tmp_path), count, punches, seed)
        started.extend(terminals)
        fleet_file = str(tmp_path / ("fleet%d.txt" % len(started)))
        F.write_fleet_file(fleet_file, terminals, extra_lines)
        return terminals, fleet_file

    yield make
    for t in started:
        t.close()


def union(terminals):
    keys = set()
    for t in terminals:
        keys |= t.punches()
    return keys


def assert_exactly(database, expected):
    stored = database.punch_keys()
    assert len(stored) == len(set(stored))
    assert set(stored) == expected
    total, rows = database.counters()
    assert total == rows  # the per-terminal counters moved with the rows


def test_fifty_terminals_with_faults_then_a_second_run(db, make_fleet):
    # Ten terminals are dead peers in the first run, every fifth loses
    # frames, and one line of the fleet file is broken.
    fleet, fleet_file = make_fleet(50, extra_lines=["this-line-is-broken"])
    dead = fleet[3::5]
    for t in dead:
        t.pause()
    r = F.run_sync(db, "--fleet", fleet_file, "--workers", "8", "--attempts", "2", "--json")
    assert r.returncode == 1, r.stderr
    assert "line 52: expected NAME CONNECTION" in r.stderr
    summary = json.loads(r.stdout)
    assert summary["terminals"] == 50 and summary["failed"] == len(dead)
    assert summary["reached"] == 50 - len(dead)
    database = F.Database(db)
    assert_exactly(database, union([t for t in fleet if t not in dead]))
    status = json.loads(subprocess.run([F.SYNC, "status", "--db", db, "--json"],
                                       capture_output=True, text=True, check=True).stdout)
    failing = {row["terminal"] for row in status if row["state"] == "failing"}
    assert failing == {t.name for t in dead}
    assert all("did not answer" in row["last_error"] for row in status
               if row["terminal"] in failing)

    # The dead terminals come back; nothing is stored twice.
    for t in dead:
        t.resume()
    r = F.run_sync(db, "--workers", "8")
    assert r.returncode == 0, r.stderr
    assert_exactly(database, union(fleet))
    users = database.query("SELECT count(*) FROM users WHERE name <> ''")
    assert int(users[0][0]) == sum(10 + i % 7 for i in range(50))


def test_killed_runs_lose_nothing_and_store_nothing_twice(db, make_fleet):
    rng = random.Random(7)
    terminals, fleet_file = make_fleet(12, punches=3000, seed=3)
    # Slow links so that kills land in downloads and commits.
    for t in terminals[::2]:
        t.command("delay 2", "faults")
    expected = union(terminals)
    for _ in range(5):
        p = subprocess.Popen([F.SYNC, "run", "--db", db, "--fleet", fleet_file, "--clear",
                              "--quiet", "--workers", "3", "--lease", "1"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(rng.uniform(0.2, 1.5))
        p.send_signal(signal.SIGKILL)
        p.wait()
    time.sleep(1.1)  # the killed runs' one-second leases run out
    r = F.run_sync(db, "--clear", "--workers", "3")
    assert r.returncode == 0, r.stderr
    assert_exactly(F.Database(db), expected)
    # Cleared only after being stored: every log is empty now.
    assert all(not t.punches() for t in terminals)


def test_clear_while_downloads_outlast_their_lease(db, make_fleet):
    # Each frame is late, so one download takes several times the 1 s lease,
    # while people punch at the keypad throughout; two processes of two
    # workers each compete for the one terminal.
    terminals, fleet_file = make_fleet(1, punches=3000, seed=17)
    t = terminals[0]
    expected = t.punches()
    users = t.user_keys()
    pins = sorted(users)
    t.command("delay 150", "faults")
    stop = threading.Event()

    def keypad():
        i = 0
        while not stop.is_set():
            key = t.keypad(pins[i % len(pins)], i // len(pins) % 6, users)
            if key:
                expected.add(key)
            i += 1
            time.sleep(0.02)

    puncher = threading.Thread(target=keypad)
    puncher.start()
    try:
        procs = [subprocess.Popen([F.SYNC, "run", "--db", db, "--fleet", fleet_file, "--clear",
                                   "--workers", "2", "--lease", "1", "--timeout", "5000"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                 for _ in range(2)]
        errors = [p.communicate(timeout=600)[1] for p in procs]
    finally:
        stop.set()
        puncher.join()
    for p, err in zip(procs, errors):
        assert p.returncode == 0, err
        assert "1 terminals: 2 reached" not in err
    t.command("delay 0", "faults")
    r = F.run_sync(db, "--clear")  # what arrived after the last clear
    assert r.returncode == 0, r.stderr
    assert_exactly(F.Database(db), expected)
    assert not t.punches()


def test_two_processes_share_postgresql(postgres, make_fleet):
    terminals, fleet_file = make_fleet(30, punches=500, seed=5)
    for t in terminals:
        t.command("delay 1", "faults")
    procs = [subprocess.Popen([F.SYNC, "run", "--db", postgres, "--fleet", fleet_file, "--quiet",
                               "--json", "--workers", "3", "--owner", owner],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
             for owner in ("alpha", "beta")]
    results = [p.communicate(timeout=600) for p in procs]
    for p, (out, err) in zip(procs, results):
        assert p.returncode == 0, err
    reached = [json.loads(out)["reached"] for out, _ in results]
    assert all(n > 0 for n in reached)  # both did a share of the work
    assert_exactly(F.Database(postgres), union(terminals))


def test_follow_stores_live_punches_once(db, make_fleet):
    terminals, fleet_file = make_fleet(5, punches=50, seed=11)
    p = subprocess.Popen([F.SYNC, "run", "--db", db, "--fleet", fleet_file, "--follow",
                          "--poll", "100", "--full-every", "2", "--workers", "2"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    database = F.Database(db)
    try:
        assert F.wait_until(lambda: len(database.punch_keys()) == len(union(terminals)))
        # Live punches: events on four profiles; the legacy terminal has no
        # events and is caught by the periodic download.
        for t in terminals:
            t.command("punch 1 1", "punch PIN")
            t.command("punch 2 0", "punch PIN")
        expected = union(terminals)
        assert F.wait_until(lambda: set(database.punch_keys()) == expected)
        time.sleep(2.5)  # at least one safety-net download after the events
    finally:
        p.send_signal(signal.SIGTERM)
        _, err = p.communicate(timeout=60)
    assert p.returncode == 0, err
    assert "following" in err and "live punch" in err
    assert_exactly(database, expected)


def test_bad_input_gives_clear_messages(db, make_fleet):
    terminals, fleet_file = make_fleet(
        3, punches=20, seed=13, extra_lines=["x ftp:host", "y udp:h:99999", "t00 usb:1"])
    r = F.run_sync(db, "--fleet", fleet_file)
    assert r.returncode == 1
    for text in ("line 5: unknown connection kind 'ftp'", "line 6: port must be 1-65535",
                 "line 7: terminal 't00' is listed twice"):
        assert text in r.stderr
    # A replaced terminal: its serial changes. It is refused, the others
    # are synced; after a rebind it is synced under its new serial.
    terminals[1].command("serial REPLACED1", "serial number")
    terminals[1].command("punch 1", "punch PIN")
    terminals[2].command("punch 1", "punch PIN")
    r = F.run_sync(db)
    assert r.returncode == 1
    assert "t01: serial number changed: 't01' was SN001001, now reports REPLACED1" in r.stderr
    assert "termlink-sync rebind t01" in r.stderr
    database = F.Database(db)
    assert terminals[2].punches() <= set(database.punch_keys())
    assert not [k for k in database.punch_keys() if k[0] == "REPLACED1"]
    subprocess.run([F.SYNC, "rebind", "--db", db, "t01"], check=True, capture_output=True)
    r = F.run_sync(db)
    assert r.returncode == 0, r.stderr
    assert len([k for k in database.punch_keys() if k[0] == "REPLACED1"]) == len(
        terminals[1].punches())


def test_a_code_page_serial_number_is_synced_again(db, tmp_path):
    # The serial's bytes are not UTF-8 (a terminal's 8-bit code page).
    t = F.Terminal(str(tmp_path), "t0", "extended", "S<b>\"'&\udce9z", 5, 20, 23)
    try:
        fleet_file = str(tmp_path / "fleet.txt")
        F.write_fleet_file(fleet_file, [t])
        stored = []
        for state in range(2):
            t.command("punch 1 %d" % state, "punch PIN")
            r = F.run_sync(db, "--fleet", fleet_file)
            assert r.returncode == 0, r.stderr
            stored.append(int(F.Database(db).query("SELECT count(*) FROM punches")[0][0]))
        assert stored[1] == stored[0] + 1
    finally:
        t.close()


def test_without_backoff_each_dead_terminal_counts_once(db, tmp_path):
    # Terminals that refuse at once, more workers than terminals and no
    # pause between tries: a terminal given up by one worker is claimable
    # again at once by another. Repeated, as the overlap is a race.
    fleet_file = str(tmp_path / "dead.txt")
    with open(fleet_file, "w") as f:
        for i in range(12):
            f.write("d%02d tcp:127.0.0.1:%d\n" % (i, 9 + i))
    for run in range(1, 5):
        r = subprocess.run([F.SYNC, "run", "--db", db, "--fleet", fleet_file, "--quiet",
                            "--json", "--timeout", "300", "--backoff", "0", "--attempts", "2",
                            "--workers", "16"], capture_output=True, text=True, timeout=600)
        assert r.returncode == 1
        summary = json.loads(r.stdout)
        assert (summary["reached"], summary["failed"]) == (0, 12), r.stderr
        failures = F.Database(db).query("SELECT failures FROM terminals")
        assert [int(n) for n, in failures] == [2 * run] * 12


def test_status_of_a_missing_database_and_a_page_written_whole(make_fleet, tmp_path):
    missing = tmp_path / "nosuch.db"
    r = subprocess.run([F.SYNC, "status", "--db", "sqlite:%s" % missing], capture_output=True,
                       text=True)
    assert r.returncode == 3 and not missing.exists(), r.stderr

    terminals, fleet_file = make_fleet(2, punches=5, seed=29)
    db = "sqlite:%s" % (tmp_path / "sync.db")
    assert F.run_sync(db, "--fleet", fleet_file).returncode == 0
    # Many terminals with long names: the page is larger than the database.
    con = sqlite3.connect(str(tmp_path / "sync.db"))
    con.executemany("INSERT INTO terminals (name, connection) VALUES (?, 'udp:192.0.2.1')",
                    [("x%04d-%s" % (i, "n" * 200),) for i in range(3000)])
    con.commit()
    con.close()
    page = tmp_path / "status.html"
    page.write_text("the previous page\n" * 100)

    def small_files():
        # Writes past 1 MB fail (and do not kill the process).
        import resource
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, 1 << 20))

    r = subprocess.run([F.SYNC, "status", "--db", db, "--html", str(page)], capture_output=True,
                       text=True, preexec_fn=small_files)
    assert r.returncode == 1
    assert page.read_text() == "the previous page\n" * 100
    assert not [n for n in os.listdir(tmp_path) if n.startswith("status.html.")]
    r = subprocess.run([F.SYNC, "status", "--db", db, "--html", str(page)], capture_output=True,
                       text=True)
    assert r.returncode == 0, r.stderr
    assert page.read_text().endswith("</html>\n")


@pytest.mark.parametrize("url", ["postgresql://nobody@127.0.0.1:1/none",
                                 "sqlite:/nonexistent-folder/sync.db"])
def test_unreachable_database(url, tmp_path):
    r = subprocess.run([F.SYNC, "status", "--db", url], capture_output=True, text=True)
    assert r.returncode == 3
    assert r.stderr.startswith("termlink-sync: database: ")
    assert "password" not in r.stderr
