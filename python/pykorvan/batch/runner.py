"""Running the runs of a batch on this machine, several at once.

Every run has its own folder under the batch's output folder (the model's work
files have fixed names): the base scenario's files are copied there, the input
file is written with the run's values under the base's run id, and the model
is started in that folder.  Beside the model's own files the folder gets

- ``batch.running`` while the run is going (host and process id),
- ``batch.json`` after it: status (``ok``, ``failed`` or ``timeout``), exit
  code, wall time, the values it changed and the text of ``RunId.err``,
- ``console.txt``: what the model wrote on its console.

A run counts as done when ``korvan.ok`` exists and its input file is the one
the batch file gives now; a second call skips those and reruns the others.
"""

from __future__ import annotations

import json
import os
import shutil
import socket
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor, as_completed
from dataclasses import dataclass
from pathlib import Path

from .batchfile import Batch, BatchError, RunSpec

RESULT_FILE = "batch.json"
RUNNING_FILE = "batch.running"
CONSOLE_FILE = "console.txt"
OK_FILE = "korvan.ok"
# Files of an earlier run in a base folder that a run must not inherit.
_RUN_OUTPUTS = (".out", ".log", ".sum", ".err", ".xpo")


def find_korvan(batch: Batch | None = None, given: str | None = None) -> str:
    """The model's program: given on the command line, in the batch file, in
    $KORVAN, on the PATH, build/korvan of this source tree, or bin/korvan of
    the installation."""
    candidates = [given, batch.korvan if batch else None, os.environ.get("KORVAN")]
    for candidate in candidates:
        if candidate:
            path = Path(candidate).expanduser()
            if not path.is_absolute() and batch is not None and given is None \
                    and candidate == batch.korvan:
                path = batch.path.parent / path
            if path.is_file():
                return str(path.resolve())
            raise BatchError(f"no program korvan at {candidate}")
    found = shutil.which("korvan")
    if found:
        return found
    here = Path(__file__).resolve().parents
    # build/korvan of this source tree, or bin/korvan beside an installed package.
    for beside in (here[3] / "build" / "korvan", here[4] / "bin" / "korvan"):
        if beside.is_file():
            return str(beside)
    raise BatchError("no program korvan: give --korvan, korvan = in the batch file, "
                     "or $KORVAN")


def solver_thread_arguments(korvan: str) -> list[str]:
    """``--threads 1`` when the program takes it, so that runs side by side
    do not compete for the cores."""
    try:
        usage = subprocess.run([korvan, "--help"], capture_output=True, text=True,
                               timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return []
    return ["--threads", "1"] if "--threads" in usage else []


def run_folder(batch: Batch, run: RunSpec) -> Path:
    return batch.output / run.name


def is_done(batch: Batch, run: RunSpec) -> bool:
    """True when the run ended normally with the input the batch file gives now."""
    folder = run_folder(batch, run)
    kvn = folder / f"{run.base.run_id}.kvn"
    return (folder / OK_FILE).is_file() and kvn.is_file() and \
        kvn.read_bytes() == run.input_text().encode("latin-1")


def prepare(batch: Batch, run: RunSpec) -> Path:
    """A fresh folder holding the base's files and the run's input file."""
    folder = run_folder(batch, run)
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    for source in sorted(run.base.folder.iterdir()):
        if source.name == OK_FILE or (source.stem == run.base.run_id
                                      and source.suffix in _RUN_OUTPUTS):
            continue
        if source.is_dir():
            # The batch's own output may lie inside the base folder.
            if source.resolve() == batch.output or source.resolve() in batch.output.parents:
                continue
            shutil.copytree(source, folder / source.name)
        else:
            shutil.copy2(source, folder / source.name)
    (folder / f"{run.base.run_id}.kvn").write_bytes(run.input_text().encode("latin-1"))
    return folder


@dataclass
class RunResult:
    """What one run of the batch ended with."""

    index: int
    status: str
    exit_code: int | None
    wall_time: float
    error: str


def execute(batch: Batch, run: RunSpec, korvan: str, extra: list[str]) -> RunResult:
    """Prepares and runs one run; never raises for a run that fails."""
    folder = prepare(batch, run)
    (folder / RUNNING_FILE).write_text(f"{socket.gethostname()} {os.getpid()}\n")
    env = dict(os.environ, OMP_NUM_THREADS="1")
    start = time.monotonic()
    status, code, message = "failed", None, ""
    try:
        with open(folder / CONSOLE_FILE, "wb") as console:
            process = subprocess.run([korvan, run.base.run_id, *extra], cwd=folder,
                                     stdout=console, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, env=env, timeout=batch.timeout)
        code = process.returncode
        status = "ok" if code == 0 and (folder / OK_FILE).is_file() else "failed"
    except subprocess.TimeoutExpired:
        status = "timeout"
    except OSError as error:
        status, message = "failed", f"cannot start {korvan}: {error}"
    wall = time.monotonic() - start
    err_file = folder / f"{run.base.run_id}.err"
    if status != "ok" and not message:
        if err_file.is_file():
            message = err_file.read_text(encoding="latin-1").strip()
        elif status == "timeout":
            message = f"stopped after {batch.timeout:g} s"
        elif code is not None:
            lines = (folder / CONSOLE_FILE).read_text(encoding="latin-1").strip().splitlines()
            message = "\n".join(lines[-5:])
    result = RunResult(run.index, status, code, wall, message)
    write_result(folder, run, result)
    (folder / RUNNING_FILE).unlink(missing_ok=True)
    return result


def write_result(folder: Path, run: RunSpec, result: RunResult) -> None:
    record = {"index": run.index, "base": run.base.name, "run_id": run.base.run_id,
              "parameters": run.parameters, "status": result.status,
              "exit_code": result.exit_code, "wall_time": round(result.wall_time, 3),
              "error": result.error, "host": socket.gethostname()}
    (folder / RESULT_FILE).write_text(json.dumps(record, indent=1) + "\n")


def read_result(folder: Path) -> dict | None:
    """The record a run left in its folder, or None before it ended."""
    try:
        return json.loads((folder / RESULT_FILE).read_text())
    except (OSError, ValueError):
        return None


class Progress:
    """One line with runs done, failed and running, and the time left."""

    def __init__(self, total: int, skipped: int, jobs: int, stream=sys.stderr) -> None:
        self.total, self.done, self.failed, self.running = total, skipped, 0, 0
        self.skipped, self.jobs = skipped, jobs
        self.start = time.monotonic()
        self.stream = stream
        self.tty = stream.isatty()
        self.lock = threading.Lock()

    def started(self) -> None:
        with self.lock:
            self.running += 1
            self._show()

    def ended(self, result: RunResult) -> None:
        with self.lock:
            self.running -= 1
            self.done += 1
            if result.status != "ok":
                self.failed += 1
            self._show(final=not self.tty)

    def line(self) -> str:
        finished = self.done - self.skipped
        left = self.total - self.done
        if finished and left:
            eta = (time.monotonic() - self.start) / finished * left
            eta_text = time.strftime("%H:%M:%S", time.gmtime(eta))
        else:
            eta_text = "--:--:--" if left else "00:00:00"
        width = 30
        filled = width * self.done // self.total if self.total else width
        bar = "#" * filled + "." * (width - filled)
        return (f"[{bar}] {self.done}/{self.total} done, {self.failed} failed, "
                f"{self.running} running, ETA {eta_text}")

    def _show(self, final: bool = False) -> None:
        if self.tty:
            self.stream.write("\r" + self.line())
        elif final:
            self.stream.write(self.line() + "\n")
        self.stream.flush()

    def close(self) -> None:
        if self.tty:
            self.stream.write("\n")
            self.stream.flush()


def run_batch(batch: Batch, *, jobs: int | None = None, only: str | None = None,
              korvan: str | None = None, progress: bool = True) -> list[RunResult]:
    """Runs the selected runs that are not done yet, ``jobs`` at once (default:
    the number of cores); returns the results of the runs made now."""
    program = find_korvan(batch, korvan)
    extra = solver_thread_arguments(program)
    selected = batch.select(only)
    todo = [run for run in selected if not is_done(batch, run)]
    jobs = max(1, jobs or os.cpu_count() or 1)
    batch.output.mkdir(parents=True, exist_ok=True)
    bar = Progress(len(selected), len(selected) - len(todo), jobs,
                   stream=sys.stderr if progress else open(os.devnull, "w"))

    stopping = threading.Event()

    def one(run: RunSpec) -> RunResult | None:
        if stopping.is_set():
            return None
        bar.started()
        result = execute(batch, run, program, extra)
        bar.ended(result)
        return result

    results = []
    pool = ThreadPoolExecutor(max_workers=jobs)
    try:
        for future in as_completed([pool.submit(one, run) for run in todo]):
            results.append(future.result())
    except KeyboardInterrupt:
        stopping.set()
        # The runs going on got the interrupt too; none of the others starts.
        pool.shutdown(wait=True, cancel_futures=True)
        bar.close()
        raise
    pool.shutdown()
    bar.close()
    return sorted(results, key=lambda r: r.index)
