"""Running a batch on a Slurm cluster as a job array.

pykorvan only writes the job script and reads the markers: Slurm schedules.
Each array task runs a chunk of consecutive runs with a plain
``pykorvan batch run BATCH.toml --only FIRST-LAST`` on the cores Slurm gave
it, so that a task that fails or is cancelled can be rerun the same way.
The script and the tasks' console files are in ``<output>/slurm/``; the ids
of the submitted jobs are appended to ``<output>/slurm/jobs.txt``.
"""

from __future__ import annotations

import shlex
import shutil
import subprocess
import sys
from collections import Counter
from pathlib import Path

from .batchfile import Batch, BatchError
from .runner import OK_FILE, RUNNING_FILE, read_result, run_folder

PACKAGE_ROOT = Path(__file__).resolve().parents[2]


def slurm_folder(batch: Batch) -> Path:
    return batch.output / "slurm"


def chunks(count: int, size: int) -> list[tuple[int, int]]:
    """First and last run number of every array task."""
    return [(first, min(first + size - 1, count)) for first in range(1, count + 1, size)]


def job_script(batch: Batch, korvan: str, *, partition: str | None, time_limit: str | None,
               chunk: int, cpus: int = 1) -> str:
    """The text of the job-array script of the whole batch."""
    parts = chunks(len(batch.runs), chunk)
    folder = slurm_folder(batch)
    options = [f"--job-name=korvan-{batch.path.stem}",
               f"--array=0-{len(parts) - 1}",
               f"--output={folder}/task-%A_%a.txt",
               f"--cpus-per-task={cpus}",
               "--ntasks=1"]
    if partition:
        options.append(f"--partition={partition}")
    if time_limit:
        options.append(f"--time={time_limit}")
    command = [sys.executable, "-m", "pykorvan", "batch", "run", str(batch.path),
               "--korvan", korvan, "--jobs", "${SLURM_CPUS_PER_TASK:-1}", "--only", "$only"]
    quoted = " ".join(c if c.startswith(("${", "$only")) else shlex.quote(c) for c in command)
    return "\n".join(
        ["#!/bin/bash"]
        + [f"#SBATCH {option}" for option in options]
        + ["# Each task runs the chunk of runs its array index names; a run that",
           "# ended with korvan.ok before is skipped.",
           "set -eu",
           f"chunk={chunk}",
           f"count={len(batch.runs)}",
           "first=$(( SLURM_ARRAY_TASK_ID * chunk + 1 ))",
           "last=$(( first + chunk - 1 ))",
           "if [ $last -gt $count ]; then last=$count; fi",
           "only=\"$first-$last\"",
           "export OMP_NUM_THREADS=1",
           f"export PYTHONPATH={shlex.quote(str(PACKAGE_ROOT))}${{PYTHONPATH:+:$PYTHONPATH}}",
           f"cd {shlex.quote(str(batch.path.parent))}",
           f"{quoted} --no-progress",
           ""])


def submit(batch: Batch, korvan: str, *, partition: str | None = None,
           time_limit: str | None = None, chunk: int = 10) -> str:
    """Writes the script, submits it with sbatch and returns the job id."""
    if chunk < 1:
        raise BatchError("--array-chunk must be at least 1")
    if shutil.which("sbatch") is None:
        raise BatchError("sbatch is not on the PATH: Slurm's commands are needed")
    folder = slurm_folder(batch)
    folder.mkdir(parents=True, exist_ok=True)
    script = folder / "batch.sbatch"
    script.write_text(job_script(batch, korvan, partition=partition, time_limit=time_limit,
                                 chunk=chunk))
    done = subprocess.run(["sbatch", "--parsable", str(script)], capture_output=True,
                          text=True)
    if done.returncode != 0:
        raise BatchError(f"sbatch refused the job: {done.stderr.strip()}")
    job = done.stdout.strip().split(";")[0]
    with open(folder / "jobs.txt", "a") as jobs:
        jobs.write(job + "\n")
    return job


def submitted_jobs(batch: Batch) -> list[str]:
    try:
        return (slurm_folder(batch) / "jobs.txt").read_text().split()
    except OSError:
        return []


def run_states(batch: Batch) -> Counter:
    """How many runs are done, failed, running or not started, from their markers."""
    states: Counter = Counter()
    for run in batch.runs:
        folder = run_folder(batch, run)
        result = read_result(folder)
        if (folder / RUNNING_FILE).exists():
            states["running"] += 1
        elif (folder / OK_FILE).exists():
            states["done"] += 1
        elif result is not None:
            states["failed"] += 1
        else:
            states["not started"] += 1
    return states


def array_states(job: str) -> Counter:
    """The states of the array's tasks: from squeue while queued or running,
    from sacct when accounting is kept."""
    states: Counter = Counter()
    if shutil.which("squeue"):
        queue = subprocess.run(["squeue", "--array", "-h", "-j", job, "-o", "%T"],
                               capture_output=True, text=True)
        states.update(line.strip() for line in queue.stdout.splitlines() if line.strip())
    if shutil.which("sacct"):
        account = subprocess.run(["sacct", "-n", "-X", "-P", "-j", job, "-o", "JobID,State"],
                                 capture_output=True, text=True)
        if account.returncode == 0:
            for line in account.stdout.splitlines():
                task, _, state = line.partition("|")
                if state and state.split()[0] not in ("PENDING", "RUNNING"):
                    states[f"{state.split()[0]} (sacct)"] += 1
    return states


def status_text(batch: Batch) -> str:
    """The progress of the batch: its submitted arrays and its runs."""
    lines = []
    for job in submitted_jobs(batch):
        states = array_states(job)
        shown = ", ".join(f"{n} {s.lower()}" for s, n in sorted(states.items())) or \
            "no task queued or running"
        lines.append(f"job {job}: {shown}")
    runs = run_states(batch)
    lines.append(f"runs: {len(batch.runs)} in all, " + ", ".join(
        f"{runs[s]} {s}" for s in ("done", "failed", "running", "not started")))
    return "\n".join(lines)
