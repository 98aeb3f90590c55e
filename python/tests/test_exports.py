"""The binding follows the export table: every export is bound (with the
table's argument count) or listed as deliberately unbound, and the generated
signatures match the table and the public headers."""
import pathlib
import subprocess
import sys

import termlink
from termlink import _cdefs

SOURCE = pathlib.Path(__file__).resolve().parents[2]
TABLE = SOURCE / "termlink" / "exports" / "exports.tsv"


def table_rows():
    for line in TABLE.read_text().splitlines():
        if line.strip() and not line.startswith("#"):
            yield line.split()


def test_every_export_is_bound_or_listed_unbound():
    lib = termlink.library()
    for exported, plain, argc, convention in table_rows():
        if plain in _cdefs.UNBOUND:
            continue
        assert plain in _cdefs.FUNCTIONS, f"{plain} is neither bound nor listed as unbound"
        bound_exported, bound_convention, _, args = _cdefs.FUNCTIONS[plain]
        assert (bound_exported, bound_convention, len(args)) == (exported, convention, int(argc))
        assert len(getattr(lib, plain).argtypes) == int(argc)
    names = {row[1] for row in table_rows()}
    assert set(_cdefs.FUNCTIONS) | set(_cdefs.UNBOUND) == names


def test_generated_signatures_are_current():
    generator = SOURCE / "python" / "gen_bindings.py"
    result = subprocess.run([sys.executable, str(generator), "--check"], capture_output=True,
                            text=True)
    assert result.returncode == 0, result.stdout + result.stderr
