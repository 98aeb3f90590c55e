"""Loads libtermlink and binds its exports with ctypes, from the signatures in
_cdefs.py (generated from the export table and the public headers)."""
from __future__ import annotations

import ctypes
import os
import sys
from typing import Any, Optional

from ._cdefs import FUNCTIONS

_CTYPES = {
    None: None,
    "handle": ctypes.c_void_p,
    "int": ctypes.c_int,
    "int_p": ctypes.POINTER(ctypes.c_int),
    "intptr": ctypes.c_ssize_t,
    "char_p": ctypes.c_char_p,
    "ubyte_p": ctypes.POINTER(ctypes.c_ubyte),
    "ubyte_pp": ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte)),
    "ushort_p": ctypes.POINTER(ctypes.c_ushort),
    "uint": ctypes.c_uint,
    "uint_p": ctypes.POINTER(ctypes.c_uint),
    "void_p": ctypes.c_void_p,
    "char_pp": ctypes.POINTER(ctypes.c_char_p),
    "double": ctypes.c_double,
}

# The library's major version: the SONAME libtermlink.so.<major>.
SOVERSION = 0


def _candidates(path: Optional[str]) -> list[str]:
    if path:
        return [path]
    if os.environ.get("TERMLINK_LIBRARY"):
        return [os.environ["TERMLINK_LIBRARY"]]
    if sys.platform == "win32":
        return ["termlink.dll"]
    # The SONAME first (what an installed runtime has), then the
    # development link (a build tree, LD_LIBRARY_PATH=build/lib).
    return [f"libtermlink.so.{SOVERSION}", "libtermlink.so"]


class Library:
    """libtermlink's exports as attributes: lib.TL_Close(handle) and so on.

    Each call is the plain C function with the argument and result types
    of its header; nothing is checked or converted beyond what ctypes does.
    """

    def __init__(self, path: Optional[str] = None) -> None:
        errors = []
        for name in _candidates(path):
            try:
                self._cdll = ctypes.CDLL(name)
                self._stdcall = ctypes.WinDLL(name) if sys.platform == "win32" else self._cdll
                self.path = name
                break
            except OSError as e:
                errors.append(f"{name}: {e}")
        else:
            raise OSError("cannot load libtermlink (set TERMLINK_LIBRARY to its path): " +
                          "; ".join(errors))
        for plain, (exported, convention, result, args) in FUNCTIONS.items():
            # ELF exports plain names; a 32-bit Windows DLL some names
            # decorated, with the callee removing stdcall arguments.
            on_windows = sys.platform == "win32"
            dll = self._stdcall if on_windows and convention == "stdcall" else self._cdll
            function = getattr(dll, exported if on_windows else plain)
            function.restype = _CTYPES[result]
            function.argtypes = [_CTYPES[a] for a in args]
            setattr(self, plain, function)

    def __getattr__(self, name: str) -> Any:  # only reached for names not bound
        raise AttributeError(f"libtermlink has no bound export {name!r}")


_default: Optional[Library] = None


def library() -> Library:
    """The process's libtermlink, loaded on first use."""
    global _default
    if _default is None:
        _default = Library()
    return _default
