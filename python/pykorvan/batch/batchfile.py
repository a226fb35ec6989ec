"""The batch file: base scenarios times variations of their input values.

A batch file is TOML::

    output = "runs"                  # folder of the runs (beside the batch file)
    korvan = "/usr/local/bin/korvan" # optional; else $KORVAN, PATH or build/korvan
    timeout = 3600                   # optional: seconds before a run is stopped

    [[base]]                          # one or more scenarios
    folder = "../examples/ditch"      # a .kvn with its weather and field-model files
    run_id = "ditch"                  # optional when the folder holds one .kvn
    [base.set]                        # optional: values changed in every run of it
    TimEnd = "20-May-1980"

    [[variation]]                     # optional; several multiply
    kind = "grid"                     # list, grid or sample
    DT50WatRef_CMP = [5, 10, 20]
    KomSed_CMP = [100, 1000]

A ``list`` variation gives one run per position of its equal-length lists;
a ``grid`` one run per combination; a ``sample`` draws ``n`` sets with a fixed
``seed`` from distributions::

    [[variation]]
    kind = "sample"
    n = 200
    seed = 1
    digits = 6                        # significant digits written (default 6)
    DT50WatRef_CMP = { distribution = "log-uniform", low = 1, high = 100 }
    KomSed_CMP = { distribution = "truncated-log-normal", mu = 6.0,
                   sigma = 1.0, low = 10, high = 10000 }

Distributions: ``uniform`` and ``log-uniform`` (low, high), ``normal``
(mean, sd), ``log-normal`` (mu, sigma of the natural logarithm),
``truncated-normal`` and ``truncated-log-normal`` (the same with low and
high bounds on the value).  A name of several parameters joined by ``+``
(``"KomSed_CMP+KomSusSol_CMP"``) writes one value into each of them.  The runs are every base times the product of the
variations, numbered from 1 in that order.
"""

from __future__ import annotations

import itertools
import math
import random
import tomllib
from dataclasses import dataclass, field
from pathlib import Path
from statistics import NormalDist

from .editor import InputError, InputFile, format_value, parse_parameter


class BatchError(ValueError):
    """A batch file that cannot be run as written."""


@dataclass(frozen=True)
class Base:
    """A scenario: its folder, run id and the values set in every run of it."""

    name: str
    folder: Path
    run_id: str
    fixed: dict[str, str] = field(default_factory=dict)


@dataclass(frozen=True)
class RunSpec:
    """One run of the batch: number, base, folder and the values it changes."""

    index: int
    base: Base
    parameters: dict[str, str]

    @property
    def name(self) -> str:
        return f"{self.index:05d}_{self.base.name}"

    def input_text(self) -> str:
        """The run's input file: the base's with the fixed and varied values written."""
        kvn = InputFile.read(self.base.folder / f"{self.base.run_id}.kvn")
        for name, value in {**self.base.fixed, **self.parameters}.items():
            for part in split_linked(name):
                kvn.set(part, value)
        return kvn.text()


@dataclass
class Batch:
    """A batch file read and expanded into its runs."""

    path: Path
    output: Path
    runs: list[RunSpec]
    parameter_names: list[str]
    korvan: str | None = None
    timeout: float | None = None

    def select(self, only: str | None) -> list[RunSpec]:
        """The runs whose numbers a selection like ``1-10,15`` names (all when None)."""
        if not only:
            return list(self.runs)
        wanted = parse_selection(only, len(self.runs))
        return [run for run in self.runs if run.index in wanted]


def split_linked(name: str) -> list[str]:
    """The parameters that one name sets to one value: ``KomSed_CMP+KomSusSol_CMP``."""
    return [part.strip() for part in name.split("+")]


def parse_selection(text: str, count: int) -> set[int]:
    """Run numbers from a list of numbers and ranges (``1-10,15``)."""
    wanted: set[int] = set()
    for part in text.split(","):
        part = part.strip()
        if not part:
            continue
        try:
            if "-" in part:
                first, last = (int(p) for p in part.split("-", 1))
            else:
                first = last = int(part)
        except ValueError:
            raise BatchError(f"--only {text}: run numbers and ranges like 1-10,15") from None
        if first < 1 or last > count or first > last:
            raise BatchError(f"--only {text}: the batch has runs 1 to {count}")
        wanted.update(range(first, last + 1))
    return wanted


def load_batch(path: Path | str) -> Batch:
    """Reads a batch file and expands it into runs; every parameter is checked
    against every base's input file."""
    path = Path(path).resolve()
    try:
        with open(path, "rb") as handle:
            data = tomllib.load(handle)
    except (OSError, tomllib.TOMLDecodeError) as error:
        raise BatchError(f"{path}: {error}") from None
    known = {"output", "korvan", "timeout", "base", "variation"}
    _refuse_unknown(data, known, "the batch file")
    bases = [_read_base(entry, path.parent, number)
             for number, entry in enumerate(_tables(data, "base"), start=1)]
    if not bases:
        raise BatchError("the batch file names no [[base]] scenario")
    if len({b.name for b in bases}) != len(bases):
        raise BatchError("two [[base]] scenarios have the same name")
    variations = [_expand_variation(entry, number)
                  for number, entry in enumerate(_tables(data, "variation"), start=1)]
    names: list[str] = []
    for sets in variations:
        for name in sets[0] if sets else {}:
            if name in names:
                raise BatchError(f"{name} is varied twice")
            names.append(name)
    for base in bases:
        _check_parameters(base, names)
    runs: list[RunSpec] = []
    for base in bases:
        for combination in itertools.product(*variations):
            parameters: dict[str, str] = {}
            for part in combination:
                parameters.update(part)
            runs.append(RunSpec(index=len(runs) + 1, base=base, parameters=parameters))
    timeout = data.get("timeout")
    if timeout is not None and (not isinstance(timeout, (int, float)) or timeout <= 0):
        raise BatchError("timeout: a number of seconds above 0")
    return Batch(path=path, output=(path.parent / str(data.get("output", "runs"))).resolve(),
                 runs=runs, parameter_names=names, korvan=data.get("korvan"),
                 timeout=float(timeout) if timeout else None)


def _tables(data: dict, key: str) -> list[dict]:
    entries = data.get(key, [])
    if isinstance(entries, dict):
        entries = [entries]
    if not isinstance(entries, list) or not all(isinstance(e, dict) for e in entries):
        raise BatchError(f"{key}: write it as [[{key}]] tables")
    return entries


def _refuse_unknown(data: dict, known: set[str], where: str) -> None:
    for key in data:
        if key not in known:
            raise BatchError(f"{where}: unknown key {key}")


def _read_base(entry: dict, root: Path, number: int) -> Base:
    _refuse_unknown(entry, {"folder", "run_id", "name", "set"}, f"[[base]] {number}")
    if "folder" not in entry:
        raise BatchError(f"[[base]] {number}: no folder")
    folder = (root / str(entry["folder"])).resolve()
    if not folder.is_dir():
        raise BatchError(f"[[base]] {number}: no folder {folder}")
    run_id = entry.get("run_id")
    if run_id is None:
        inputs = sorted(folder.glob("*.kvn"))
        if len(inputs) != 1:
            raise BatchError(f"[[base]] {number}: {folder} holds {len(inputs)} .kvn files; "
                             "name the run_id")
        run_id = inputs[0].stem
    if not (folder / f"{run_id}.kvn").is_file():
        raise BatchError(f"[[base]] {number}: no input file {run_id}.kvn in {folder}")
    fixed = {}
    for name, value in entry.get("set", {}).items():
        try:
            fixed[name] = format_value(value)
        except InputError as error:
            raise BatchError(f"[[base]] {number}: {error}") from None
    base = Base(name=str(entry.get("name", run_id)), folder=folder, run_id=str(run_id),
                fixed=fixed)
    _check_parameters(base, list(fixed))
    return base


def _check_parameters(base: Base, names: list[str]) -> None:
    kvn = InputFile.read(base.folder / f"{base.run_id}.kvn")
    for name in names:
        try:
            for part in split_linked(name):
                kvn.get(parse_parameter(part))
        except InputError as error:
            raise BatchError(f"base {base.name} ({base.run_id}.kvn): {error}") from None


def _expand_variation(entry: dict, number: int) -> list[dict[str, str]]:
    """The value sets of one variation, as the texts written into the input."""
    where = f"[[variation]] {number}"
    kind = entry.get("kind")
    values = {k: v for k, v in entry.items() if k not in ("kind", "n", "seed", "digits")}
    if not values:
        raise BatchError(f"{where}: no parameter")
    for name in values:
        try:
            for part in split_linked(name):
                parse_parameter(part)
        except InputError as error:
            raise BatchError(f"{where}: {error}") from None
    try:
        if kind == "list":
            return _expand_list(values, where)
        if kind == "grid":
            return _expand_grid(values, where)
        if kind == "sample":
            return _expand_sample(entry, values, where)
    except InputError as error:
        raise BatchError(f"{where}: {error}") from None
    raise BatchError(f"{where}: kind must be list, grid or sample")


def _value_lists(values: dict, where: str) -> dict[str, list[str]]:
    lists = {}
    for name, items in values.items():
        if not isinstance(items, list) or not items:
            raise BatchError(f"{where}: {name} must be a list of values")
        lists[name] = [format_value(item) for item in items]
    return lists


def _expand_list(values: dict, where: str) -> list[dict[str, str]]:
    lists = _value_lists(values, where)
    lengths = {len(items) for items in lists.values()}
    if len(lengths) != 1:
        raise BatchError(f"{where}: the lists of a list variation have one length")
    return [dict(zip(lists, row)) for row in zip(*lists.values())]


def _expand_grid(values: dict, where: str) -> list[dict[str, str]]:
    lists = _value_lists(values, where)
    return [dict(zip(lists, row)) for row in itertools.product(*lists.values())]


_DISTRIBUTIONS = {
    "uniform": ("low", "high"),
    "log-uniform": ("low", "high"),
    "normal": ("mean", "sd"),
    "log-normal": ("mu", "sigma"),
    "truncated-normal": ("mean", "sd", "low", "high"),
    "truncated-log-normal": ("mu", "sigma", "low", "high"),
}


def _expand_sample(entry: dict, values: dict, where: str) -> list[dict[str, str]]:
    n, seed, digits = entry.get("n"), entry.get("seed"), entry.get("digits", 6)
    if not isinstance(n, int) or n < 1:
        raise BatchError(f"{where}: n, the number of samples, must be a whole number above 0")
    if not isinstance(seed, int):
        raise BatchError(f"{where}: a sample needs a whole-number seed (the same runs "
                         "on every call and every cluster task)")
    if not isinstance(digits, int) or not 1 <= digits <= 17:
        raise BatchError(f"{where}: digits must be 1 to 17")
    generator = random.Random(seed)
    columns = {}
    for name, dist in values.items():
        draw = _sampler(name, dist, where)
        columns[name] = [_round(draw(generator.random()), digits) for _ in range(n)]
    return [dict(zip(columns, row)) for row in zip(*columns.values())]


def _round(value: float, digits: int) -> str:
    return format_value(float(f"{value:.{digits}g}"))


def _sampler(name: str, dist: object, where: str):
    """The inverse distribution function of a parameter's distribution."""
    if not isinstance(dist, dict) or dist.get("distribution") not in _DISTRIBUTIONS:
        raise BatchError(f"{where}: {name} = {{ distribution = ... }} with one of "
                         + ", ".join(_DISTRIBUTIONS))
    kind = dist["distribution"]
    needed = _DISTRIBUTIONS[kind]
    extra = set(dist) - set(needed) - {"distribution"}
    missing = [k for k in needed if not isinstance(dist.get(k), (int, float))
               or isinstance(dist.get(k), bool)]
    if extra or missing:
        raise BatchError(f"{where}: {name}: a {kind} distribution takes "
                         + ", ".join(needed))
    p = {k: float(dist[k]) for k in needed}
    if "low" in p and "high" in p and not p["low"] < p["high"]:
        raise BatchError(f"{where}: {name}: low must be below high")
    if kind == "uniform":
        return lambda u: p["low"] + u * (p["high"] - p["low"])
    if kind == "log-uniform":
        if p["low"] <= 0:
            raise BatchError(f"{where}: {name}: a log-uniform distribution needs low above 0")
        a, b = math.log(p["low"]), math.log(p["high"])
        return lambda u: math.exp(a + u * (b - a))
    spread = p["sd"] if "sd" in p else p["sigma"]
    if spread <= 0:
        raise BatchError(f"{where}: {name}: the spread must be above 0")
    normal = NormalDist(p.get("mean", p.get("mu")), spread)
    logarithmic = "log" in kind
    if not kind.startswith("truncated"):
        return (lambda u: math.exp(normal.inv_cdf(_open(u)))) if logarithmic else \
            (lambda u: normal.inv_cdf(_open(u)))
    low, high = p["low"], p["high"]
    if logarithmic:
        if low <= 0:
            raise BatchError(f"{where}: {name}: a log-normal bound must be above 0")
        low, high = math.log(low), math.log(high)
    lo, hi = normal.cdf(low), normal.cdf(high)
    if hi - lo < 1e-12:
        raise BatchError(f"{where}: {name}: the bounds leave no probability")

    def draw(u: float) -> float:
        x = min(max(normal.inv_cdf(_open(lo + u * (hi - lo))), low), high)
        return math.exp(x) if logarithmic else x
    return draw


def _open(u: float) -> float:
    """A probability inside (0, 1), as the inverse distribution function needs."""
    return min(max(u, 1e-300), 1.0 - 1e-16)
