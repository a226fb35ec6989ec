"""The ``pykorvan batch`` commands: run, status and collect."""

from __future__ import annotations

import argparse
import sys

from .batchfile import BatchError, load_batch
from .editor import InputError


def add_batch_parser(subparsers: argparse._SubParsersAction) -> None:
    """Registers ``batch run``, ``batch status`` and ``batch collect``."""
    batch = subparsers.add_parser("batch", help="many runs from a batch file",
                                  description="Runs, watches and collects a batch of runs.")
    commands = batch.add_subparsers(dest="batch_command", required=True)

    run = commands.add_parser("run", help="run the batch here or submit it to Slurm")
    run.add_argument("batch_file", help="the batch file (TOML)")
    run.add_argument("--jobs", "-j", type=int, default=None,
                     help="runs at once (default: the number of cores)")
    run.add_argument("--only", help="run numbers and ranges, like 1-10,15")
    run.add_argument("--korvan", help="the model's program")
    run.add_argument("--no-progress", action="store_true", help="no progress bar")
    run.add_argument("--slurm", action="store_true",
                     help="write a job-array script and submit it with sbatch")
    run.add_argument("--partition", help="Slurm partition")
    run.add_argument("--time", dest="time_limit", help="Slurm time limit of a task")
    run.add_argument("--array-chunk", type=int, default=10,
                     help="runs per array task (default 10)")
    run.set_defaults(handler=_run)

    status = commands.add_parser("status", help="progress of the batch's runs and jobs")
    status.add_argument("batch_file")
    status.set_defaults(handler=_status)

    collect = commands.add_parser("collect", help="one CSV and an HTML page of the results")
    collect.add_argument("batch_file")
    collect.add_argument("--csv", help="the table (default: <output>/results.csv)")
    collect.add_argument("--html", help="the page (default: <output>/results.html)")
    collect.set_defaults(handler=_collect)


def run_batch_command(args: argparse.Namespace) -> int:
    """Carries out a parsed ``batch`` command; returns the exit status."""
    try:
        return args.handler(args)
    except (BatchError, InputError) as error:
        print(f"pykorvan batch: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print("pykorvan batch: interrupted; the same command runs the rest", file=sys.stderr)
        return 130


def _run(args: argparse.Namespace) -> int:
    from .runner import find_korvan, run_batch
    batch = load_batch(args.batch_file)
    if args.slurm:
        from .slurm import submit
        job = submit(batch, find_korvan(batch, args.korvan), partition=args.partition,
                     time_limit=args.time_limit, chunk=args.array_chunk)
        print(job)
        return 0
    results = run_batch(batch, jobs=args.jobs, only=args.only, korvan=args.korvan,
                        progress=not args.no_progress)
    failed = [r for r in results if r.status != "ok"]
    for result in failed:
        first = result.error.splitlines()[0] if result.error else ""
        print(f"run {result.index} {result.status} (exit code {result.exit_code}): {first}",
              file=sys.stderr)
    return 1 if failed else 0


def _status(args: argparse.Namespace) -> int:
    from .slurm import status_text
    print(status_text(load_batch(args.batch_file)))
    return 0


def _collect(args: argparse.Namespace) -> int:
    from .collect import collect
    csv_path, html_path = collect(load_batch(args.batch_file), csv_path=args.csv,
                                  html_path=args.html)
    print(csv_path)
    print(html_path)
    return 0


def main(argv: list[str] | None = None) -> int:
    """``pykorvan batch ...`` on its own."""
    parser = argparse.ArgumentParser(prog="pykorvan")
    add_batch_parser(parser.add_subparsers(dest="command", required=True))
    return run_batch_command(parser.parse_args(argv))
