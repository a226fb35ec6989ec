"""Readers of the output files of a KORVAN run.

One module per file: :mod:`out` (RunId.out), :mod:`summary` (RunId.sum),
:mod:`hyd`, :mod:`tem`, :mod:`xpo` and :mod:`log`. Each returns plain
dataclasses; their ``to_pandas()`` converts when pandas is installed. A file
that is not what its reader expects raises :class:`ReaderError`, which names
the file and the line.
"""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path
from typing import Optional

from pykorvan.readers.common import ReaderError
from pykorvan.readers.hyd import HydFile, read_hyd
from pykorvan.readers.log import LogFile, read_log
from pykorvan.readers.out import OutFile, read_out
from pykorvan.readers.summary import SummaryFile, read_summary
from pykorvan.readers.tem import TemFile, read_tem
from pykorvan.readers.xpo import XpoFile, read_xpo

__all__ = ["ReaderError", "Run", "read_run", "find_run_id", "read_out", "read_summary",
           "read_hyd", "read_tem", "read_xpo", "read_log", "OutFile", "SummaryFile",
           "HydFile", "TemFile", "XpoFile", "LogFile"]


@dataclass
class Run:
    """Every output file of one run that exists in its folder (None when absent)."""

    folder: Path
    run_id: str
    summary: SummaryFile
    log: Optional[LogFile]
    out: Optional[OutFile]
    hyd: Optional[HydFile]
    tem: Optional[TemFile]
    xpo: Optional[XpoFile]

    @property
    def compounds(self) -> list[str]:
        """Return the compound names in the order of the run."""
        return self.summary.compounds


def find_run_id(folder: Path | str) -> str:
    """Return the run identifier of the only RunId.sum in a folder."""
    d = Path(folder)
    if d.is_file() and d.suffix == ".sum":
        return d.stem
    sums = sorted(d.glob("*.sum"))
    if not sums:
        raise ReaderError(d, 0, "no summary file (RunId.sum) in this folder")
    if len(sums) > 1:
        names = ", ".join(s.name for s in sums)
        raise ReaderError(d, 0, f"several summary files ({names}); give the run identifier")
    return sums[0].stem


def read_run(folder: Path | str, run_id: Optional[str] = None) -> Run:
    """Read every output file of a run from its folder.

    ``folder`` may also be the path of the RunId.sum. Without ``run_id`` the
    folder must hold exactly one summary file.
    """
    d = Path(folder)
    if d.is_file():
        run_id = run_id or d.stem
        d = d.parent
    rid = run_id or find_run_id(d)

    def path(ext: str) -> Optional[Path]:
        p = d / f"{rid}.{ext}"
        return p if p.is_file() else None

    summary_path = path("sum")
    if summary_path is None:
        raise ReaderError(d / f"{rid}.sum", 0, "the summary file does not exist")
    log_path, out_path = path("log"), path("out")
    hyd_path, tem_path, xpo_path = path("hyd"), path("tem"), path("xpo")
    log = read_log(log_path) if log_path else None
    segments = log.output_segments if log else None
    return Run(d, rid, read_summary(summary_path), log,
               read_out(out_path, segments) if out_path else None,
               read_hyd(hyd_path) if hyd_path else None,
               read_tem(tem_path) if tem_path else None,
               read_xpo(xpo_path) if xpo_path else None)
