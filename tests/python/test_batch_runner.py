"""The local runner on real runs of the shortened ditch: a folder per run,
failed runs recorded with their message, resumption, and the Slurm script."""

import json
import os
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

from pykorvan.batch.batchfile import load_batch  # noqa: E402
from pykorvan.batch.cli import main  # noqa: E402
from pykorvan.batch.runner import run_batch  # noqa: E402
from pykorvan.batch.slurm import job_script, run_states  # noqa: E402
from conftest import write_ditch_batch  # noqa: E402

KORVAN = Path(os.environ.get("KORVAN", ROOT / "build" / "korvan"))
DITCH = ROOT / "examples" / "ditch"


@pytest.fixture
def batch_file(tmp_path):
    return write_ditch_batch(tmp_path / "batch.toml", ["20-May-1980", "01-Apr-1980", "18-May-1980"])


def test_runs_failures_and_resumption(batch_file, capsys):
    batch = load_batch(batch_file)
    results = run_batch(batch, jobs=2, progress=False)
    assert [(r.index, r.status, r.exit_code) for r in results] == \
        [(1, "ok", 0), (2, "failed", 1), (3, "ok", 0)]
    assert results[1].error == "TimEnd < TimStart"
    runs = batch.output
    assert sorted(p.name for p in runs.iterdir()) == ["00001_ditch", "00002_ditch", "00003_ditch"]
    first = runs / "00001_ditch"
    # Inputs copied, run id kept, the value written, no marker of a running run.
    assert (first / "Ditch.met").read_bytes() == (DITCH / "Ditch.met").read_bytes()
    assert "\n5               DT50WatRef_CMP    (d)" in (first / "ditch.kvn").read_text()
    assert {"korvan.ok", "ditch.sum", "console.txt", "batch.json"} <= \
        {p.name for p in first.iterdir()}
    assert not (first / "batch.running").exists()
    failed = json.loads((runs / "00002_ditch" / "batch.json").read_text())
    assert (failed["status"], failed["exit_code"], failed["error"]) == \
        ("failed", 1, "TimEnd < TimStart")
    assert failed["parameters"] == {"TimEnd": "01-Apr-1980", "DT50WatRef_CMP": "10"}
    assert run_states(batch) == {"done": 2, "failed": 1}

    # A second call reruns only the run without korvan.ok; a changed value reruns its run.
    stamp = (first / "batch.json").stat().st_mtime_ns
    again = run_batch(batch, jobs=2, progress=False)
    assert [r.index for r in again] == [2]
    assert (first / "batch.json").stat().st_mtime_ns == stamp
    batch_file.write_text(batch_file.read_text().replace("01-Apr-1980", "19-May-1980")
                          .replace("20]", "21]"))
    changed = load_batch(batch_file)
    assert [(r.index, r.status) for r in run_batch(changed, progress=False)] == \
        [(2, "ok"), (3, "ok")]
    assert main(["batch", "run", str(batch_file), "--no-progress"]) == 0
    assert main(["batch", "run", str(batch_file), "--only", "4"]) == 2
    assert "--only 4: the batch has runs 1 to 3" in capsys.readouterr().err


def test_slurm_script_runs_chunks_of_the_batch(batch_file):
    batch = load_batch(batch_file)
    script = job_script(batch, str(KORVAN), partition="short", time_limit="01:00:00", chunk=2)
    lines = script.splitlines()
    assert lines[0] == "#!/bin/bash"
    assert "#SBATCH --array=0-1" in lines
    assert "#SBATCH --partition=short" in lines and "#SBATCH --time=01:00:00" in lines
    assert "chunk=2" in lines and "count=3" in lines
    assert "export OMP_NUM_THREADS=1" in lines
    command = lines[-1]
    assert f"-m pykorvan batch run {batch_file} " in command
    assert command.endswith(f"--korvan {KORVAN} --jobs ${{SLURM_CPUS_PER_TASK:-1}} "
                            "--only $only --no-progress")
