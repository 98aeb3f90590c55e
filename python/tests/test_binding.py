"""The binding against a simulated terminal: logs, users, errors."""
import datetime
import os
import signal
import socket

import pytest

import termlink

PROFILES = ["classic", "tft"]  # numeric user numbers, and text IDs


@pytest.fixture(scope="module", params=PROFILES)
def sim(request, sim_factory):
    return sim_factory("--profile", request.param, "--users", "6", "--punches", "30",
                       "--seed", "5")


def test_logs_and_users(sim):
    with termlink.connect(port=sim.port) as t:
        assert t.firmware_version().startswith("Ver ")
        punches = list(t.attendance_log())
        users = list(t.users())
        ops = list(t.operation_log())
    assert len(punches) == 30
    assert len(users) == 6
    assert all(isinstance(p, termlink.AttendanceRecord) and isinstance(p.time, datetime.datetime)
               for p in punches)
    assert {p.user for p in punches} <= {u.user_id for u in users}
    assert all(isinstance(o.time, datetime.datetime) for o in ops)
    # The iterators restart from a fresh download each time.
    with termlink.connect(port=sim.port, transport="udp") as t:
        assert [p.time for p in t.attendance_log()] == [p.time for p in punches]


def test_closed_session_raises_with_its_code(sim):
    t = termlink.connect(port=sim.port)
    t.close()
    with pytest.raises(termlink.NullSessionError) as e:
        t.time()
    assert e.value.code == -1


def test_refused_argument_carries_the_result_code(sim):
    with termlink.connect(port=sim.port) as t:
        with pytest.raises(termlink.ArgumentRefusedError) as e:
            t.call("TL_GetSerialNumber", None)  # a null text buffer is refused
    assert (e.value.code, e.value.function) == (4, "TL_GetSerialNumber")


def test_wrong_key(sim_factory):
    sim = sim_factory("--key", "1234")
    with pytest.raises(termlink.KeyRejectedError) as e:
        termlink.connect(port=sim.port, key=99)
    assert e.value.transport_error == 7
    with termlink.connect(port=sim.port, key=1234) as t:
        assert t.time().year >= 2000


def test_silent_terminal_times_out():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as silent:
        silent.bind(("127.0.0.1", 0))
        with pytest.raises(termlink.ConnectTimeoutError) as e:
            termlink.connect(port=silent.getsockname()[1], transport="udp", timeout=0.2)
    assert isinstance(e.value, TimeoutError) and e.value.transport_error == 6


def test_terminal_that_stops_answering_times_out(sim_factory):
    sim = sim_factory()
    with termlink.connect(port=sim.port, transport="udp", timeout=0.3) as t:
        t.time()
        sim.process.send_signal(signal.SIGSTOP)  # the terminal goes silent mid-session
        # The signal is delivered later; a request sent before the stop lands
        # would still be answered.
        os.waitpid(sim.process.pid, os.WUNTRACED)
        try:
            with pytest.raises(termlink.TerminalTimeoutError) as e:
                t.time()
        finally:
            sim.process.send_signal(signal.SIGCONT)
    assert (e.value.code, e.value.transport_error) == (-2, 6)
    assert isinstance(e.value, TimeoutError)


@pytest.mark.parametrize("last_day", [datetime.date(2024, 3, 15),
                                      datetime.datetime(2024, 3, 15, 23, 59, 59)])
def test_report_covers_exactly_the_days_asked(sim_factory, tmp_path, last_day):
    # The sample data: 20 users, each on a shift every day.
    sim = sim_factory("--profile", "tft", "--seed", "1")
    page = tmp_path / "exceptions.html"
    with termlink.connect(port=sim.port) as t:
        t.report(datetime.date(2024, 3, 4), last_day, page, work_folder=tmp_path / "work")
    text = page.read_bytes().decode("gb2312")
    rows = [text.count(f"<td width=8%>03-{day:02d}</td>") for day in range(3, 17)]
    assert rows == [0] + [20] * 12 + [0]  # 03-04 to 03-15, every user once a day
    assert (tmp_path / "work" / "AttAbnormite.dat").stat().st_size == 12 * 20 * 60
