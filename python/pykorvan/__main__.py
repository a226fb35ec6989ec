"""The pykorvan command line: ``python3 -m pykorvan <command> ...``."""

import argparse
import sys

from pykorvan.batch.cli import add_batch_parser, run_batch_command


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="pykorvan", description="KORVAN results and runs")
    commands = parser.add_subparsers(dest="command", required=True)
    add_batch_parser(commands)
    args = parser.parse_args(argv)
    if args.command == "batch":
        return run_batch_command(args)
    return 2


if __name__ == "__main__":
    sys.exit(main())
