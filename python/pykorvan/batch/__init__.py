"""Batch runs of KORVAN: a batch file of base scenarios and variations, an
editor that changes single values of an input file, a local runner, Slurm
job arrays, and the collected results of a batch."""

from .batchfile import Batch, BatchError, RunSpec, load_batch
from .editor import InputError, InputFile, parse_parameter

__all__ = ["Batch", "BatchError", "RunSpec", "load_batch", "InputError", "InputFile",
           "parse_parameter"]
