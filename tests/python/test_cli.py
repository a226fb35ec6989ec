"""The pykorvan command, and pykorvan on a machine without pandas."""

from __future__ import annotations

import os
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import ROOT
from pykorvan.readers import read_run

PYTHON = "/usr/bin/python3"
NO_PANDAS = "import sys; sys.modules['pandas'] = None\n"


def _run(code: str, *args: str) -> subprocess.CompletedProcess:
    return subprocess.run([PYTHON, "-c", code, *args], capture_output=True, text=True,
                          env={"PYTHONPATH": str(ROOT / "python"), "PATH": "/usr/bin:/bin"})


def test_commands_without_pandas(example_runs, tmp_path):
    folder = str(example_runs["ditch"])
    code = NO_PANDAS + ("from pykorvan.__main__ import main\n"
                        "sys.exit(main(sys.argv[1:]))\n")
    done = _run(code, "export", folder, "--out", str(tmp_path / "csv"))
    assert done.returncode == 0, done.stderr
    assert (tmp_path / "csv" / "ditch_out.csv").is_file()
    done = _run(code, "report", folder, "--out", str(tmp_path))
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == str(tmp_path / "ditch.html")
    done = _run(code, "compare", folder, str(example_runs["pond"]), "--out", str(tmp_path))
    assert done.returncode == 0 and "global maximum water" in done.stdout
    # to_pandas says what is missing.
    done = _run(NO_PANDAS + "import pykorvan\nr = pykorvan.read_run(sys.argv[1])\n"
                "r.out.to_pandas()\n", folder)
    assert "to_pandas() needs pandas (Debian: python3-pandas)" in done.stderr


def test_errors_and_module_entry(example_runs, tmp_path):
    done = subprocess.run([PYTHON, "-m", "pykorvan", "report", str(tmp_path)],
                          capture_output=True, text=True, cwd=ROOT / "python")
    assert done.returncode == 1
    assert done.stderr == f"pykorvan: {tmp_path}: no summary file (RunId.sum) in this folder\n"
    broken = tmp_path / "broken"
    broken.mkdir()
    text = (example_runs["pond"] / "pond.sum").read_text().replace("  1980 Mar   pond",
                                                                      "  198O Mar   pond")
    (broken / "pond.sum").write_text(text)
    done = subprocess.run([PYTHON, "-m", "pykorvan", "export", str(broken)],
                          capture_output=True, text=True, cwd=ROOT / "python")
    line = text.splitlines().index(next(t for t in text.splitlines() if "198O" in t)) + 1
    assert done.returncode == 1
    assert done.stderr == (f"pykorvan: {broken / 'pond.sum'}, line {line}: "
                           "expected a year, found '198O'\n")


def test_to_pandas_when_installed(example_runs):
    pandas = pytest.importorskip("pandas")
    run = read_run(example_runs["ditch"])
    frame = run.out.to_pandas()
    assert isinstance(frame, pandas.DataFrame) and len(frame) == sum(1 for _ in run.out.rows())
    assert run.hyd.to_pandas()["DepWat [m]"].tolist() == run.hyd.depth
    tables = run.summary.to_pandas()
    assert tables["mass_balance"]["AmaDrf"].sum() == pytest.approx(2 * 1.25)
    assert len(run.log.to_pandas()) == 10
    assert sys.modules.get("pandas") is pandas


def test_installed_command(example_runs, tmp_path):
    """The install rules put the package and the launcher under the prefix."""
    build = os.environ.get("KORVAN_BUILD_DIR", str(ROOT / "build"))
    if not (Path(build) / "cmake_install.cmake").is_file():
        pytest.skip(f"no configured build at {build}")
    prefix = tmp_path / "prefix"
    done = subprocess.run(["cmake", "--install", build, "--prefix", str(prefix),
                           "--component", "pykorvan"], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert (prefix / "lib" / "pykorvan" / "pykorvan" / "readers" / "summary.py").is_file()
    done = subprocess.run([str(prefix / "bin" / "pykorvan"), "report", str(example_runs["pond"]),
                           "--out", str(tmp_path)], capture_output=True, text=True,
                          env={"PATH": "/usr/bin:/bin"}, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert (tmp_path / "pond.html").is_file()
