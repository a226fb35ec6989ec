"""The command line: ``pykorvan export|report|compare|batch``."""

from __future__ import annotations

import argparse
import sys
from typing import Optional, Sequence

from pykorvan.batch.cli import add_batch_parser, run_batch_command
from pykorvan.readers import ReaderError


def _parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(
        prog="pykorvan", description="Results of KORVAN runs in CSV, plots and reports.")
    sub = p.add_subparsers(dest="command", required=True)
    e = sub.add_parser("export", help="write the tables of a run as CSV and its results as JSON")
    e.add_argument("run_dir", help="folder of the run (or its RunId.sum)")
    e.add_argument("--out", help="folder of the files (default: the run's folder)")
    r = sub.add_parser("report", help="write RunId.html, the visual report of a run")
    r.add_argument("run_dir", help="folder of the run (or its RunId.sum)")
    r.add_argument("--out", help="file or folder of the page (default: the run's folder)")
    c = sub.add_parser("compare", help="compare two runs: figures and PEC/TWA differences")
    c.add_argument("run_a")
    c.add_argument("run_b")
    c.add_argument("--out", help="file or folder of the page (default: compare_A_B.html here)")
    add_batch_parser(sub)
    return p


def main(argv: Optional[Sequence[str]] = None) -> int:
    """Run the command line; return the exit status (1 after a reader error)."""
    args = _parser().parse_args(argv)
    if args.command == "batch":
        return run_batch_command(args)
    try:
        if args.command == "export":
            from pykorvan.export import export_folder
            for path in export_folder(args.run_dir, args.out):
                print(path)
        elif args.command == "report":
            from pykorvan.report import write_report
            print(write_report(args.run_dir, args.out))
        else:
            from pykorvan.compare import compare_folders
            text, path = compare_folders(args.run_a, args.run_b, args.out)
            sys.stdout.write(text)
            print(f"\n{path}")
    except ReaderError as e:
        print(f"pykorvan: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
