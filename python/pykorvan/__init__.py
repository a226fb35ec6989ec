"""pykorvan: read, export, plot and compare the results of KORVAN runs.

The readers in :mod:`pykorvan.readers` turn every output file of a run into
plain dataclasses; ``to_pandas()`` beside each converts to pandas when it is
installed. Importing pykorvan never needs pandas.
"""

from pykorvan.readers import ReaderError, Run, read_run

__all__ = ["ReaderError", "Run", "read_run"]
__version__ = "1.0"
