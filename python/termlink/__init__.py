"""Python binding for libtermlink: fingerprint time-attendance terminals.

    import termlink

    with termlink.connect("192.168.1.201", key=1234) as terminal:
        for record in terminal.attendance_log():
            print(record.user, record.time, record.state)

Every failure raises a TermlinkError carrying the library's result code;
the raw C functions stay reachable as ``termlink.library().TL_...``.
"""
from __future__ import annotations

import ctypes
import os
import tempfile
from dataclasses import dataclass
from datetime import date, datetime
from typing import Iterator, Optional, Type, Union

from ._lib import Library, library

__all__ = [
    "connect", "connect_serial", "connect_usb", "Terminal", "AttendanceRecord",
    "OperationRecord", "User", "TermlinkError", "NullSessionError", "RefusedError",
    "NotAvailableError", "ArgumentRefusedError", "NotFoundError", "ConnectError",
    "TerminalTimeoutError", "ConnectTimeoutError", "KeyRejectedError", "Library", "library",
]
__version__ = "0.1.0"

# ---- errors ------------------------------------------------------------------


class TermlinkError(Exception):
    """A call failed. ``code`` is the library's result (-1, -2, -100, 4, 0, or
    another code the call documents); ``transport_error`` is TL_LastError()
    at the time (the transport's last error on this thread, possibly from an
    earlier failure); ``function`` is the C function called."""

    def __init__(self, message: str, code: int, function: str, transport_error: int = 0):
        super().__init__(message)
        self.code = code
        self.function = function
        self.transport_error = transport_error


class NullSessionError(TermlinkError):
    """-1: no open session (the terminal was closed)."""


class RefusedError(TermlinkError):
    """-2: the terminal refused, did not answer, or a download failed."""


class TerminalTimeoutError(RefusedError, TimeoutError):
    """-2 with the transport reporting a timeout: the terminal did not answer."""


class NotAvailableError(TermlinkError):
    """-100: not available for this firmware or terminal kind."""


class ArgumentRefusedError(TermlinkError, ValueError):
    """4: the library refused an argument; nothing was sent."""


class NotFoundError(TermlinkError, LookupError):
    """0 where something was asked for: nothing found."""


class ConnectError(TermlinkError, ConnectionError):
    """The connect call returned no session; ``transport_error`` says why."""


class ConnectTimeoutError(ConnectError, TimeoutError):
    """Nothing answered at that address within the timeout."""


class KeyRejectedError(ConnectError):
    """The terminal refused the communication key."""


# The transport's error codes (portmux_errors.h).
_PMXE_TIMEOUT = 6
_PMXE_AUTH = 7
_TRANSPORT_TEXT = {
    1: "the transport refused the call's arguments",
    2: "the connection is no longer open",
    3: "the transport plug-in is missing or unusable",
    4: "the transport plug-in is missing or unusable",
    5: "address not resolved, connection refused, or device could not be opened",
    6: "timeout: the terminal did not answer",
    7: "the terminal refused the communication key",
    8: "the terminal closed the connection",
    9: "the terminal's answer made no sense",
    13: "the terminal restarted and no longer knows this session",
}
_BY_CODE: dict[int, Type[TermlinkError]] = {
    -1: NullSessionError, -2: RefusedError, -100: NotAvailableError,
    4: ArgumentRefusedError, 0: NotFoundError,
}


def _fail(lib: Library, function: str, code: int) -> TermlinkError:
    transport = lib.TL_LastError()
    cls = _BY_CODE.get(code, TermlinkError)
    if code == -2 and transport == _PMXE_TIMEOUT:
        cls = TerminalTimeoutError
    text = f"{function} returned {code}"
    if code == -2 and transport in _TRANSPORT_TEXT:
        text += f" ({_TRANSPORT_TEXT[transport]})"
    return cls(text, code, function, transport)


# ---- records -------------------------------------------------------------------


@dataclass(frozen=True)
class AttendanceRecord:
    """One punch: who (enrolled number, or text ID on text-ID terminals), when,
    how they verified (``verify_mode``), the attendance state and work code."""
    user: str
    time: datetime
    state: int
    verify_mode: int
    work_code: int


@dataclass(frozen=True)
class OperationRecord:
    """One entry of the operation log: who did it (``operator``), the
    operation code, its parameters, and when."""
    operator: str
    operation: int
    params: tuple[int, ...]
    time: datetime


@dataclass(frozen=True)
class User:
    """One user of the terminal. ``number`` is the internal user number;
    ``user_id`` what people are known by (enrolled number or text ID)."""
    number: int
    user_id: str
    name: str
    privilege: int
    enabled: bool
    password: str
    card: int
    group: int


def _text(buffer: bytes, width: int, encoding: str) -> str:
    return buffer[:width].split(b"\0", 1)[0].decode(encoding, errors="replace")


def _time(y: int, mo: int, d: int, h: int = 0, mi: int = 0, s: int = 0) -> datetime:
    return datetime(y, mo, d, h, mi, s)


# ---- sessions ------------------------------------------------------------------


class Terminal:
    """An open session with one terminal. Use it as a context manager (or
    call close()); it must be used by one thread at a time."""

    def __init__(self, handle: int, lib: Library, encoding: str) -> None:
        self._handle: Optional[int] = handle
        self._lib = lib
        self.encoding = encoding
        tft, width = ctypes.c_int(0), ctypes.c_int(0)
        self.text_ids = self._lib.TL_IsTFTMachine(handle, ctypes.byref(tft)) == 1 and tft.value != 0
        # Learning the user-number width lets the logs name users by their
        # enrolled numbers (and text IDs) instead of internal numbers.
        self._lib.TL_GetPINWidth(handle, ctypes.byref(width))

    def __enter__(self) -> "Terminal":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def close(self) -> None:
        if self._handle is not None:
            self._lib.TL_Close(self._handle)
            self._handle = None

    @property
    def handle(self) -> int:
        """The C session handle, for calls through library()."""
        if self._handle is None:
            raise NullSessionError("the terminal is closed", -1, "")
        return self._handle

    def call(self, function: str, *args: object) -> int:
        """Calls TL_<function>(handle, *args); raises unless the result is 1."""
        result = getattr(self._lib, function)(self.handle, *args)
        if result != 1:
            raise _fail(self._lib, function, result)
        return result

    def _read(self, function: str, *args: object) -> bool:
        """A table download: False when the terminal has no records."""
        result = getattr(self._lib, function)(self.handle, *args)
        if result == 0:
            return False
        if result != 1:
            raise _fail(self._lib, function, result)
        return True

    def _records(self, function: str, *args: object) -> Iterator[None]:
        """Calls an iterating export until it reports the end of the data."""
        while True:
            result = getattr(self._lib, function)(self.handle, *args)
            if result == 0:
                return
            if result != 1:
                raise _fail(self._lib, function, result)
            yield None

    # -- information

    def firmware_version(self) -> str:
        buffer = ctypes.create_string_buffer(64)
        self.call("TL_GetFirmwareVersion", buffer)
        return _text(buffer.raw, 50, self.encoding)

    def serial_number(self) -> str:
        buffer = ctypes.create_string_buffer(100)
        self.call("TL_GetSerialNumber", buffer)
        return _text(buffer.raw, 100, self.encoding)

    def time(self) -> datetime:
        """The terminal's clock."""
        v = [ctypes.c_int(0) for _ in range(6)]
        self.call("TL_GetTime", *map(ctypes.byref, v))
        return _time(*(x.value for x in v))

    # -- logs and users

    def attendance_log(self) -> Iterator[AttendanceRecord]:
        """Downloads the attendance log and yields its records in stored order."""
        if not self._read("TL_ReadLog", 1):
            return
        mode, state = ctypes.c_ubyte(0), ctypes.c_ubyte(0)
        t = [ctypes.c_int(0) for _ in range(6)]
        work, extra, pin = ctypes.c_int(0), ctypes.c_int(0), ctypes.c_int(0)
        times = list(map(ctypes.byref, t))
        if self.text_ids:
            uid = ctypes.create_string_buffer(32)
            args = (uid, ctypes.byref(mode), ctypes.byref(state), *times, ctypes.byref(work))
            for _ in self._records("TL_SSR_GetLog", *args):
                yield AttendanceRecord(_text(uid.raw, 24, self.encoding),
                                       _time(*(x.value for x in t)), state.value, mode.value,
                                       work.value)
        else:
            args = (ctypes.byref(pin), ctypes.byref(mode), ctypes.byref(state), *times,
                    ctypes.byref(work), ctypes.byref(extra))
            for _ in self._records("TL_GetExtLog", *args):
                yield AttendanceRecord(str(pin.value), _time(*(x.value for x in t)), state.value,
                                       mode.value, work.value)

    def operation_log(self) -> Iterator[OperationRecord]:
        """Downloads the operation log and yields its records in stored order."""
        if not self._read("TL_ReadOpLog", 1):
            return
        code = ctypes.c_int(0)
        if self.text_ids:
            operator, target = ctypes.create_string_buffer(32), ctypes.create_string_buffer(32)
            when, params = ctypes.create_string_buffer(32), (ctypes.c_int * 3)()
            for _ in self._records("TL_SSR_GetOpLog", operator, target, ctypes.byref(code), when,
                                   params):
                mo, d, rest = when.value.decode("ascii").split("-", 2)
                y, hm = rest.split(" ")
                h, mi = hm.split(":")
                yield OperationRecord(_text(operator.raw, 24, self.encoding), code.value,
                                      tuple(params), _time(int(y), int(mo), int(d), int(h), int(mi)))
        else:
            op, params = ctypes.c_int(0), (ctypes.c_int * 4)()
            t = [ctypes.c_int(0) for _ in range(6)]
            for _ in self._records("TL_GetOpLog", ctypes.byref(op), ctypes.byref(code), params,
                                   *map(ctypes.byref, t)):
                yield OperationRecord(str(op.value), code.value, tuple(params),
                                      _time(*(x.value for x in t)))

    def users(self) -> Iterator[User]:
        """Downloads the user table and yields its users in stored order."""
        if not self._read("TL_ReadUserInfo"):
            return
        pin, priv, enabled, group = (ctypes.c_int(0) for _ in range(4))
        zones = (ctypes.c_int * 4)()
        name, password = ctypes.create_string_buffer(32), ctypes.create_string_buffer(16)
        common = (ctypes.byref(pin),)
        if self.text_ids:
            uid, card = ctypes.create_string_buffer(32), ctypes.c_int(0)
            args = (*common, uid, name, ctypes.byref(priv), ctypes.byref(enabled), password,
                    ctypes.byref(card), ctypes.byref(group), zones)
            for _ in self._records("SSR_TL_GetUserInfo", *args):
                yield User(pin.value, _text(uid.raw, 24, self.encoding),
                           _text(name.raw, 24, self.encoding), priv.value, enabled.value != 0,
                           _text(password.raw, 8, self.encoding), card.value & 0xFFFFFFFF,
                           group.value)
        else:
            card, pin2 = (ctypes.c_ubyte * 5)(), ctypes.c_int(0)
            args = (*common, name, ctypes.byref(priv), ctypes.byref(enabled), password, card,
                    ctypes.byref(pin2), ctypes.byref(group), zones)
            for _ in self._records("TL_GetUserInfo", *args):
                yield User(pin.value, str(pin2.value or pin.value),
                           _text(name.raw, 8, self.encoding), priv.value, enabled.value != 0,
                           _text(password.raw, 5, self.encoding),
                           int.from_bytes(bytes(card[:4]), "little"), group.value)


    # -- attendance reports

    _REPORT_KINDS = {"punches": 1, "exceptions": 2, "statistics": 3}

    def report(self, first_day: date, last_day: date, page: Union[str, "os.PathLike[str]"], *,
               kind: str = "exceptions", user: str = "", caption: str = "Attendance",
               work_folder: Union[str, "os.PathLike[str]", None] = None) -> None:
        """Computes attendance from the terminal's report tables and writes
        one HTML page (GB2312 text) to ``page``: ``kind`` "punches" (per-day
        punch list), "exceptions" (one row per scheduled shift) or
        "statistics" (one row per user). The report covers the whole days
        ``first_day`` to ``last_day``, both included (a datetime counts by
        its date). ``user`` names one user by text ID (default: everybody);
        ``caption`` labels the punch list. The tables and the engine's work
        files go to ``work_folder`` when given, else to a temporary folder.
        Needs a text-ID terminal with report tables. The engine prints trace
        lines on the process's standard output."""
        if kind not in self._REPORT_KINDS:
            raise ValueError(f"kind must be one of {sorted(self._REPORT_KINDS)}, not {kind!r}")
        first_day, last_day = (d.date() if isinstance(d, datetime) else d
                               for d in (first_day, last_day))
        if last_day < first_day:
            raise ValueError("last_day lies before first_day")
        if work_folder is None:
            with tempfile.TemporaryDirectory(prefix="termlink-report-") as folder:
                self._report(first_day, last_day, page, kind, user, caption, folder)
        else:
            os.makedirs(work_folder, exist_ok=True)
            self._report(first_day, last_day, page, kind, user, caption, os.fspath(work_folder))

    def _report(self, first: date, last: date, page: Union[str, "os.PathLike[str]"], kind: str,
                user: str, caption: str, folder: str) -> None:
        def path(name: str) -> bytes:
            return os.fsencode(os.path.join(folder, name))

        files = {"log": path("attlog.dat"), "rule": path("attrule.dat"),
                 "dept": path("departments.dat"), "shift": path("shifts.dat"),
                 "users": path("users.dat")}
        # The tables share one download buffer: each is saved before the next
        # is read; the users last, since the engine walks the session's user
        # table from its start.
        for read, args, save_kind, name in (("TL_ReadLog", (1,), 1, "log"),
                                            ("TL_SSR_ReadAttRule", (), 3, "rule"),
                                            ("TL_SSR_ReadDPT", (), 4, "dept"),
                                            ("TL_SSR_ReadTurn", (), 5, "shift"),
                                            ("TL_ReadUserInfo", (), 2, "users")):
            if self._read(read, *args):
                self.call("TL_SSR_SaveDate", files[name], save_kind)
            elif os.path.exists(files[name]):
                os.remove(files[name])  # no such table: no file left from an earlier run
        # Whole days: 00:00:00 of the first and of the last day; the engine
        # covers both days entirely.
        days = (first.year, first.month, first.day, 0, 0, 0,
                last.year, last.month, last.day, 0, 0, 0)
        self.call("TL_SSR_OutPutHtml", user.encode(self.encoding), files["log"], files["users"],
                  files["dept"], files["shift"], *days, os.fsencode(page),
                  os.fsencode(os.path.join(folder, "")), files["rule"],
                  self._REPORT_KINDS[kind], caption.encode("gb2312"))


def _open(function: str, args: tuple, lib: Optional[Library], encoding: str) -> Terminal:
    lib = lib or library()
    handle = getattr(lib, function)(*args)
    if not handle:
        transport = lib.TL_LastError()
        cls = {_PMXE_TIMEOUT: ConnectTimeoutError, _PMXE_AUTH: KeyRejectedError}.get(
            transport, ConnectError)
        reason = _TRANSPORT_TEXT.get(transport, f"transport error {transport}")
        raise cls(f"{function} failed: {reason}", 0, function, transport)
    return Terminal(handle, lib, encoding)


def _ms(timeout: Optional[float]) -> int:
    return 0 if timeout is None else max(1, round(timeout * 1000))


def connect(host: str = "127.0.0.1", port: int = 4370, *, transport: str = "tcp", key: int = 0,
            timeout: Optional[float] = None, encoding: str = "latin-1",
            lib: Optional[Library] = None) -> Terminal:
    """Connects to a network terminal over TCP (``transport="tcp"``) or
    datagrams (``"udp"``). ``timeout`` is in seconds (None: the transport's
    default); ``key`` the terminal's communication key; ``encoding`` the
    terminal's code page for names and IDs."""
    functions = {"tcp": "TL_Connect_NETEX", "udp": "TL_Connect_NET"}
    if transport not in functions:
        raise ValueError(f"transport must be 'tcp' or 'udp', not {transport!r}")
    return _open(functions[transport], (host.encode(), port, key, _ms(timeout), 0), lib, encoding)


def connect_serial(port_name: str, *, device: int = 1, baud: int = 115200, key: int = 0,
                   timeout: Optional[float] = None, encoding: str = "latin-1",
                   lib: Optional[Library] = None) -> Terminal:
    """Connects to terminal number ``device`` on a serial line."""
    return _open("TL_Connect_COM", (port_name.encode(), device, baud, key, _ms(timeout), 0, None),
                 lib, encoding)


def connect_usb(port: int = 0, *, key: int = 0, timeout: Optional[float] = None,
                encoding: str = "latin-1", lib: Optional[Library] = None) -> Terminal:
    """Connects to a USB terminal."""
    return _open("TL_Connect_USB", (port, key, _ms(timeout), 0), lib, encoding)
