"""Runs of the examples, shortened to 20 May 1980, shared by the tests.

The program is the one named by the environment variable KORVAN (set by the
CTest test), else build/korvan of this tree.
"""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

EXAMPLES = sorted(p.name for p in (ROOT / "examples").iterdir() if p.is_dir())
SHORT_END = "20-May-1980"
_MONTHS = "JanFebMarAprMayJunJulAugSepOctNovDec"


def korvan_binary() -> Path:
    """Return the korvan program under test."""
    return Path(os.environ.get("KORVAN", ROOT / "build" / "korvan"))


def _key(date: str) -> tuple[int, int, int]:
    return int(date[7:11]), _MONTHS.index(date[3:6]), int(date[0:2])


def shorten(kvn: Path, end: str = SHORT_END, edits: dict[str, str] | None = None) -> None:
    """End a run at ``end`` (dropping later loading events) and set records."""
    lines = kvn.read_text().split("\n")
    out, in_table = [], False
    for line in lines:
        words = line.split()
        if len(words) > 1 and not line.startswith("*"):
            if words[1] == "TimEnd":
                line = f"{end}     {line[line.index(' TimEnd'):]}"
            elif edits and words[1] in edits:
                line = f"{edits[words[1]]:<17}{line[line.index(' ' + words[1]) + 1:]}"
        if line == "table Loadings":
            in_table = True
        elif in_table and line.startswith("end_table"):
            in_table = False
        elif in_table and re.match(r"\d\d-[A-Z][a-z]{2}-\d{4}", line) and \
                _key(line[:11]) > _key(end):
            continue
        out.append(line)
    kvn.write_text("\n".join(out))


def run_example(name: str, folder: Path, edits: dict[str, str] | None = None) -> Path:
    """Copy an example into ``folder``, shorten it, run it; return the folder."""
    binary = korvan_binary()
    if not binary.is_file():
        pytest.fail(f"no korvan program at {binary} (build it, or set KORVAN)")
    shutil.copytree(ROOT / "examples" / name, folder)
    shorten(folder / f"{name}.kvn", edits=edits)
    done = subprocess.run([str(binary), name], cwd=folder, capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    return folder


@pytest.fixture(scope="session")
def example_runs(tmp_path_factory: pytest.TempPathFactory) -> dict[str, Path]:
    """Return the folder of the shortened run of every example."""
    base = tmp_path_factory.mktemp("examples")
    return {name: run_example(name, base / name) for name in EXAMPLES}


@pytest.fixture(scope="session")
def hourly_ditch(tmp_path_factory: pytest.TempPathFactory) -> Path:
    """Return the ditch run printing every hour, with the momentary concentration."""
    folder = tmp_path_factory.mktemp("hourly") / "ditch"
    return run_example("ditch", folder, {"OptDelTimPrn": "Hour", "print_ConLiqWatLayCur": "Yes"})


def write_ditch_batch(path: Path, time_ends: list[str]) -> Path:
    """Write a batch of three shortened ditch runs, one per TimEnd (with
    DT50WatRef_CMP 5, 10 and 20 d), and return its path."""
    korvan = korvan_binary()
    if not korvan.is_file():
        pytest.fail(f"no program {korvan}: build it first or set KORVAN")
    ends = ", ".join(f'"{e}"' for e in time_ends)
    path.write_text(f"""korvan = "{korvan}"
[[base]]
folder = "{ROOT / 'examples' / 'ditch'}"
[base.set]
TimStart = "01-May-1980"
[[variation]]
kind = "list"
TimEnd = [{ends}]
DT50WatRef_CMP = [5, 10, 20]
""")
    return path
