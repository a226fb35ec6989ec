#!/usr/bin/python3
"""Mutation tester of the KORVAN C++ sources (standard library only).

Applies one small fault at a time to a source file under src/, rebuilds a
dedicated build folder incrementally, runs the tests of the file's area and
tells whether the tests noticed the fault:

  killed        the tests fail (or crash)
  survived      the tests pass: no test sees the fault
  timed out     the tests ran longer than their time limit
  not compiled  the faulty source does not build (left out of the score)

The score is killed / (killed + survived + timed out).

The faults ("mutation operators"):

  comparison  a < b -> a <= b, <= -> <, > -> >=, >= -> >, == -> !=, != -> ==
  arithmetic  a + b -> a - b, - -> +, * -> /, / -> *, += <-> -=, *= <-> /=
  one         an integer literal n -> n + 1; "x + 1" / "x - 1" -> "x"
  constant    a floating literal c -> c * 1.5 (0.0 -> 1.0)
  statement   a one-line statement "call(...);", "x = ...;", "x++;" or
              "out << ...;" is deleted

Comments, string and character literals and preprocessor lines are never
mutated, nor template brackets, "->", "<<", ">>", "++", "--", unary signs
or pointer and reference declarations: a binary operator is only taken when
it stands between blanks, as the code's formatting writes them.

The source file is always restored, also on Ctrl-C, SIGTERM or an error; a
copy of it is kept under <build dir>/mutate-backup while a mutant is in place
and is put back at the next start if the tester was killed outright.

Examples (from the root of the repository):

  tools/mutate.py --list src/input/dates.cpp
  tools/mutate.py --sample 12 --seed 1 --report mutants.md \\
      src/substance/sorption.cpp src/input/dates.cpp
"""

from __future__ import annotations

import argparse
import contextlib
import dataclasses
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

SOURCE_SUFFIXES = (".cpp", ".hpp", ".h")
KILLED, SURVIVED, TIMED_OUT, NOT_COMPILED = "killed", "survived", "timed out", "not compiled"
RESULTS = (KILLED, SURVIVED, TIMED_OUT, NOT_COMPILED)

# ---------------------------------------------------------------------------
# Blanking: the code alone, with comments, literals and preprocessor lines
# turned into blanks at the same offsets.


def blank_code(text: str) -> str:
    """Returns `text` with comments and preprocessor lines replaced by blanks
    and the contents of string and character literals replaced by blanks
    (their quotes kept). Line ends stay, so offsets and line numbers match."""
    out = list(text)
    n = len(text)
    i = 0
    line_start = True  # only blanks seen since the last line end

    def blank(a: int, b: int) -> None:
        for j in range(a, min(b, n)):
            if out[j] != "\n":
                out[j] = " "

    while i < n:
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if line_start and c == "#":
            j = i
            while j < n:  # the directive runs on over backslash-continued lines
                k = text.find("\n", j)
                if k < 0:
                    k = n
                if text[j:k].rstrip("\r").endswith("\\"):
                    j = k + 1
                    continue
                j = k
                break
            blank(i, j)
            i = j
            continue
        line_start = False
        if text.startswith("//", i):
            k = text.find("\n", i)
            k = n if k < 0 else k
            blank(i, k)
            i = k
            continue
        if text.startswith("/*", i):
            k = text.find("*/", i + 2)
            k = n if k < 0 else k + 2
            blank(i, k)
            i = k
            continue
        raw = re.match(r'(?:u8|u|U|L)?R"([^()\\ \t\n]{0,16})\(', text[i : i + 24])
        if raw and (i == 0 or not _is_word_char(text[i - 1])):
            close = ")" + raw.group(1) + '"'
            k = text.find(close, i + raw.end())
            k = n if k < 0 else k + len(close)
            blank(text.index('"', i) + 1, k - 1)
            i = k
            continue
        if c == '"' or (c == "'" and not _digit_separator(text, i)):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, j)
            i = j + 1
            continue
        i += 1
    return "".join(out)


def _is_word_char(c: str) -> bool:
    return c.isalnum() or c == "_"


def _digit_separator(text: str, i: int) -> bool:
    """True when the quote at i separates digits of a number (1'000'000)."""
    return i > 0 and text[i - 1].isdigit() and i + 1 < len(text) and text[i + 1].isalnum()


# ---------------------------------------------------------------------------
# Mutants


@dataclasses.dataclass(frozen=True)
class Mutant:
    path: str  # relative to the root of the repository
    line: int  # 1-based
    col: int  # 1-based
    start: int  # offset of the replaced text in the file
    end: int
    original: str
    replacement: str
    operator: str

    def apply(self, text: str) -> str:
        assert text[self.start : self.end] == self.original, "source changed under the mutant"
        return text[: self.start] + self.replacement + text[self.end :]

    def location(self) -> str:
        return f"{self.path}:{self.line}"

    def key(self) -> str:
        """Names the mutant in a results file: place, operator and new text."""
        return f"{self.path}:{self.start}:{self.operator}:{self.replacement}"

    def describe(self) -> str:
        if self.operator == "statement":
            return f"delete `{self.original}`"
        if self.operator == "one" and not self.replacement:
            return f"drop `{self.original.strip()}`"
        return f"`{self.original.strip()}` -> `{self.replacement.strip()}`"


COMPARISON = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
ARITHMETIC = {"+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=", "*=": "/=", "/=": "*="}

# Longest operators first, so that "<<" or "->" is never read as "<" or "-".
_OPERATOR = re.compile(
    r"<=>|<<=|>>=|<<|>>|->\*|->|\+\+|--|<=|>=|==|!=|\+=|-=|\*=|/=|%=|&&|\|\||::|[<>+\-*/]"
)
_NUMBER = re.compile(
    r"(?<![\w.'])"
    r"(?P<body>0[xXbB][0-9a-fA-F']+|(?:\d[\d']*\.?[\d']*|\.\d[\d']*)(?:[eE][+-]?\d+)?)"
    r"(?P<suffix>[uUlLfF]*)(?![\w.'])"
)
# A line that joins texts with "+": its "+" and "+=" are left alone.
_TEXT_JOIN = re.compile(r'"\)*\s*\+|\+=?\s*"|std::(to_)?string\b|\.substr\(')
_DROP_ONE = re.compile(r"\s+[+-]\s+1(?![\w.'])")
_PURE_VIRTUAL = re.compile(r"\)\s*(const\s*)?(override\s*)?=\s*0\s*;")
_STATEMENT_CALL = re.compile(r"^(\+\+|--)?[\w:.\->\[\]()~*]+(\(\)|\+\+|--)?;$")
_STATEMENT_ASSIGN = re.compile(r"^[^\s=]+\s*([-+*/%|&^]|<<|>>)?=\s")
_STATEMENT_STREAM = re.compile(r"^[^\s=]+\s*<<\s")
_ASSERTION = re.compile(r"^\s*assert\s*\(")
_NOT_DELETED = re.compile(r"^(assert|static_assert|return|break|continue|goto|co_\w+)\b")


def find_sites(text: str, path: str = "") -> list[Mutant]:
    """All the mutants of one source text, in the order of the text."""
    code = blank_code(text)
    mutants: list[Mutant] = []
    offset = 0
    previous = ""  # the last line of code before this one, blanks stripped
    for number, line in enumerate(code.split("\n"), start=1):
        if _ASSERTION.match(line):  # compiled out of the release build
            found = []
        else:
            found = (
                _operator_sites(line)
                + _number_sites(line)
                + _statement_sites(line, previous, text[offset : offset + len(line)])
            )
        for col, original, replacement, op in sorted(found):
            start = offset + col
            mutants.append(
                Mutant(path, number, col + 1, start, start + len(original),
                       text[start : start + len(original)], replacement, op)
            )
        if line.strip():
            previous = line.strip()
        offset += len(line) + 1
    return mutants


def _operator_sites(line: str) -> list[tuple[int, str, str, str]]:
    sites = []
    joins_text = bool(_TEXT_JOIN.search(line))
    for m in _OPERATOR.finditer(line):
        tok, a, b = m.group(), m.start(), m.end()
        if tok not in COMPARISON and tok not in ARITHMETIC:
            continue
        # A binary operator stands between blanks; template brackets, unary
        # signs, pointers and dereferences do not.
        if a == 0 or not line[a - 1].isspace() or b >= len(line) or not line[b].isspace():
            continue
        before = line[:a].rstrip()
        after = line[b:].lstrip()
        if re.search(r"\b(template|operator)$", before) or before.endswith(("(", ",", "=", "return")):
            continue
        if tok in COMPARISON:
            sites.append((a, tok, COMPARISON[tok], "comparison"))
        elif tok in ("+", "+=") and joins_text or tok == "-" and (
                before.endswith(('"', "'")) or after.startswith(('"', "'"))):
            continue  # a "+" that joins texts has no "-"
        else:
            sites.append((a, tok, ARITHMETIC[tok], "arithmetic"))
    return sites


def _number_sites(line: str) -> list[tuple[int, str, str, str]]:
    if _PURE_VIRTUAL.search(line):
        return []
    sites = []
    for m in _DROP_ONE.finditer(line):
        if line[: m.start()].strip() and not line[: m.start()].rstrip().endswith(("(", ",", "=")):
            sites.append((m.start(), m.group(), "", "one"))
    for m in _NUMBER.finditer(line):
        body, suffix = m.group("body"), m.group("suffix")
        if body.lower().startswith(("0x", "0b")) or "'" in body:
            continue
        if len(body) > 1 and body[0] == "0" and body.isdigit():
            continue  # octal
        floating = any(ch in body for ch in ".eE") or "f" in suffix.lower()
        if floating:
            value = float(body)
            new = "1.0" if value == 0.0 else _float_text(value * 1.5)
            sites.append((m.start(), m.group(), new + suffix, "constant"))
        else:
            sites.append((m.start(), m.group(), str(int(body) + 1) + suffix, "one"))
    return sites


def _float_text(value: float) -> str:
    text = f"{value:.6g}"
    return text if any(ch in text for ch in ".e") else text + ".0"


def _statement_sites(line: str, previous: str, source: str) -> list[tuple[int, str, str, str]]:
    stmt = line.strip()
    if not stmt.endswith(";") or stmt.count(";") != 1 or any(ch in stmt for ch in "{}"):
        return []
    # The statement must begin on this line, and must not be the body of an
    # if, else, for or while written without braces.
    if previous and not previous.endswith((";", "{", "}", ":")):
        return []
    if _NOT_DELETED.match(stmt):
        return []
    flat = stmt
    while True:  # empty the brackets, so that only the outer shape is left
        reduced = re.sub(r"\([^()]*\)", "()", re.sub(r"\[[^\[\]]*\]", "[]", flat))
        if reduced == flat:
            break
        flat = reduced
    if not (_STATEMENT_CALL.match(flat) and (flat.endswith(");") or "++" in flat or "--" in flat)
            or _STATEMENT_ASSIGN.match(flat) or _STATEMENT_STREAM.match(flat)):
        return []
    a = len(line) - len(line.lstrip())
    b = a + len(stmt)
    return [(a, source[a:b], "", "statement")]


# ---------------------------------------------------------------------------
# The tests of an area

# The test folders whose tests run first for a source file of each area of
# src/. When they pass, the end-to-end tests run: first the quick ones (the
# recorded example outputs, the corpus of bad inputs, the command line), then
# the sweeps over all example scenarios, which take most of the time.
AREA_TESTS = {
    "core": ["core"],
    "input": ["input"],
    "temperature": ["temperature"],
    "hydrology": ["hydrology"],
    "substance": ["substance"],
    "report": ["report"],
    "driver": ["driver"],
}
END_TO_END = ["e2e", "bad_input"]
SLOW_SUITES = {"Example", "WindowsInput", "MassBalanceYear"}


def suites_of(test_dir: Path) -> list[tuple[str, str]]:
    """(suite, gtest filter pattern) of all the test suites in a folder."""
    found: list[tuple[str, str]] = []
    for f in sorted(test_dir.glob("*.cpp")):
        raw = f.read_text(errors="replace")
        text = blank_code(raw)
        for kind, suite in re.findall(r"\b(TEST|TEST_F|TEST_P|TYPED_TEST)\(\s*(\w+)\s*,", text):
            if kind == "TEST_P":
                prefixes = re.findall(
                    r"INSTANTIATE_TEST_SUITE_P\(\s*(\w+)\s*,\s*" + suite + r"\b", raw)
                patterns = [f"{p}/{suite}.*" for p in prefixes] or [f"*/{suite}.*"]
            elif kind == "TYPED_TEST":
                patterns = [f"{suite}/*"]
            else:
                patterns = [f"{suite}.*"]
            found += [(suite, p) for p in patterns if (suite, p) not in found]
    return found


def area_of(path: str) -> str | None:
    parts = Path(path).parts
    return parts[1] if len(parts) > 2 and parts[0] == "src" else None


def default_stages(path: str, root: Path = ROOT) -> list[str]:
    """The gtest filters run for a mutant of `path`, in order: the unit tests
    of its area, the quick end-to-end tests, the scenario sweeps."""
    area = area_of(path)
    if area is None:
        raise SystemExit(f"mutate: {path} is not under src/<area>/: give --filter")
    unit = [p for d in AREA_TESTS.get(area, [area]) for _, p in suites_of(root / "tests" / d)]
    e2e = [sp for d in END_TO_END for sp in suites_of(root / "tests" / d)]
    quick = [p for s, p in e2e if s not in SLOW_SUITES and p not in unit]
    slow = [p for s, p in e2e if s in SLOW_SUITES and p not in unit]
    return [":".join(group) for group in (unit, quick, slow) if group]


# ---------------------------------------------------------------------------
# Running


class Interrupted(Exception):
    pass


def _on_signal(signum, frame):  # noqa: ARG001
    raise KeyboardInterrupt(f"signal {signum}")


def run_group(cmd: list[str], cwd: Path, timeout: float | None, log: Path) -> tuple[int | None, float]:
    """Runs a command in its own process group; returns (status, seconds),
    status None when it ran out of time. The whole group is ended on a
    time-out or an interruption."""
    start = time.monotonic()
    status: int | None = None
    with open(log, "wb") as out:
        proc = subprocess.Popen(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        try:
            status = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            status = None
        finally:
            if proc.poll() is None or status is None:  # ended, or left running
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
    return status, time.monotonic() - start


class Workspace:
    """The dedicated build folder and the safe swapping of source files."""

    def __init__(self, root: Path, build_dir: Path, jobs: int):
        self.root = root
        self.build_dir = build_dir
        self.jobs = jobs
        self.backup_dir = build_dir / "mutate-backup"

    def restore_leftovers(self) -> None:
        """Puts back sources saved by a tester that was killed outright."""
        if not self.backup_dir.is_dir():
            return
        for saved in sorted(self.backup_dir.rglob("*")):
            if saved.is_file():
                target = self.root / saved.relative_to(self.backup_dir)
                print(f"mutate: restoring {target.relative_to(self.root)} left by an earlier run")
                target.write_bytes(saved.read_bytes())
                saved.unlink()

    def configure(self) -> None:
        if (self.build_dir / "CMakeCache.txt").exists():
            return
        cmd = ["cmake", "-S", str(self.root), "-B", str(self.build_dir),
               "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
               # optimised as the release, without the debug information that slows each link
               "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG",
               # list the tests when ctest runs, not after each link of a mutant
               "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"]
        if subprocess.run(cmd, stdout=subprocess.DEVNULL).returncode != 0:
            raise SystemExit("mutate: cmake could not configure " + str(self.build_dir))

    def build(self) -> bool:
        log = self.build_dir / "mutate-build.log"
        cmd = ["cmake", "--build", str(self.build_dir), "-j", str(self.jobs)]
        status, _ = run_group(cmd, self.root, None, log)
        return status == 0

    @contextlib.contextmanager
    def mutated(self, mutant: Mutant):
        """Puts the mutant in place for the duration of the block; the
        original bytes are back afterwards whatever happens."""
        target = self.root / mutant.path
        original = target.read_bytes()
        backup = self.backup_dir / mutant.path
        backup.parent.mkdir(parents=True, exist_ok=True)
        backup.write_bytes(original)
        try:
            text = original.decode("utf-8", "surrogateescape")
            target.write_bytes(mutant.apply(text).encode("utf-8", "surrogateescape"))
            yield
        finally:
            blocked = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}
            old = signal.pthread_sigmask(signal.SIG_BLOCK, blocked)
            try:
                target.write_bytes(original)
                if target.read_bytes() != original:
                    raise RuntimeError(f"could not restore {target}; the original is in {backup}")
                backup.unlink()
            finally:
                signal.pthread_sigmask(signal.SIG_SETMASK, old)


@dataclasses.dataclass
class Stage:
    gtest_filter: str
    seconds: float = 0.0
    tests: int = 0


class Tester:
    def __init__(self, ws: Workspace, timeout_factor: float, min_timeout: float):
        self.ws = ws
        self.binary = ws.build_dir / "korvan_tests"
        self.timeout_factor = timeout_factor
        self.min_timeout = min_timeout
        self.stages: dict[str, Stage] = {}

    def _cmd(self, gtest_filter: str) -> list[str]:
        return [str(self.binary), "--gtest_filter=" + gtest_filter, "--gtest_fail_fast",
                "--gtest_brief=1"]

    def baseline(self, gtest_filter: str) -> Stage:
        """Runs a stage on the unmutated code: it must pass, and its time sets the limit."""
        if gtest_filter in self.stages:
            return self.stages[gtest_filter]
        log = self.ws.build_dir / "mutate-baseline.log"
        status, seconds = run_group(self._cmd(gtest_filter), self.ws.build_dir, None, log)
        text = log.read_text(errors="replace")
        m = re.search(r"\[==========\] (\d+) tests? from", text)
        tests = int(m.group(1)) if m else 0
        if status != 0:
            raise SystemExit(f"mutate: the unmutated tests fail ({gtest_filter}); see {log}")
        if tests == 0:
            raise SystemExit(f"mutate: no test matches the filter {gtest_filter}")
        stage = Stage(gtest_filter, seconds, tests)
        self.stages[gtest_filter] = stage
        return stage

    def limit(self, stage: Stage) -> float:
        return max(self.timeout_factor * stage.seconds, self.min_timeout)

    def classify(self, filters: list[str]) -> str:
        log = self.ws.build_dir / "mutate-tests.log"
        for f in filters:
            stage = self.stages[f]
            status, _ = run_group(self._cmd(f), self.ws.build_dir, self.limit(stage), log)
            if status is None:  # once more with twice the time: the machine may be busy
                status, _ = run_group(self._cmd(f), self.ws.build_dir, 2 * self.limit(stage), log)
            if status is None:
                return TIMED_OUT
            if status != 0:
                return KILLED
        return SURVIVED


# ---------------------------------------------------------------------------
# Reports


def score(counts: dict[str, int]) -> float | None:
    scored = counts[KILLED] + counts[SURVIVED] + counts[TIMED_OUT]
    return counts[KILLED] / scored if scored else None


def report_markdown(results: list[tuple[Mutant, str]], heading: str, notes: list[str]) -> str:
    counts = {r: sum(1 for _, s in results if s == r) for r in RESULTS}
    s = score(counts)
    lines = [f"# {heading}", ""] + notes + [""]
    lines += ["| Result | Mutants |", "|---|---:|"]
    lines += [f"| {r} | {counts[r]} |" for r in RESULTS]
    lines += ["", "Score = killed / (killed + survived + timed out) = "
              + ("n/a" if s is None else f"{counts[KILLED]}/{counts[KILLED] + counts[SURVIVED] + counts[TIMED_OUT]} = {100 * s:.0f} %"), ""]
    lines += ["| # | Result | Location | Operator | Mutation |", "|---:|---|---|---|---|"]
    for i, (m, r) in enumerate(results, start=1):
        mutation = m.describe().replace("|", "\\|")
        lines.append(f"| {i} | {r} | {m.location()} | {m.operator} | {mutation} |")
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------
# Command line


def collect_files(paths: list[str], root: Path) -> list[str]:
    files: list[str] = []
    for p in paths:
        full = (Path.cwd() / p).resolve()
        if full.is_dir():
            found = sorted(f for f in full.rglob("*.cpp") if f.is_file())
        elif full.is_file():
            found = [full]
        else:
            raise SystemExit(f"mutate: no such file or folder: {p}")
        for f in found:
            try:
                rel = f.relative_to(root).as_posix()
            except ValueError:
                raise SystemExit(f"mutate: {p} is outside the repository {root}") from None
            if f.suffix not in SOURCE_SUFFIXES:
                raise SystemExit(f"mutate: {rel} is not a C++ source file")
            if rel not in files:
                files.append(rel)
    return files


def choose(files: list[str], root: Path, sample: int | None, seed: int) -> tuple[list[Mutant], int]:
    sites = [m for f in files for m in find_sites(
        (root / f).read_bytes().decode("utf-8", "surrogateescape"), f)]
    total = len(sites)
    if sample is not None and sample < total:
        sites = random.Random(seed).sample(sites, sample)
        sites.sort(key=lambda m: (files.index(m.path), m.start, m.operator))
    return sites, total


def parse_args(argv: list[str]) -> argparse.Namespace:
    p = argparse.ArgumentParser(
        prog="mutate.py", description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("paths", nargs="+", help="source files or folders under src/ (folders: their .cpp files)")
    p.add_argument("--list", action="store_true", help="only list the mutation sites")
    p.add_argument("--sample", type=int, metavar="N", help="a random sample of N mutants over all sites")
    p.add_argument("--seed", type=int, default=1, metavar="S", help="seed of the sample (default 1)")
    p.add_argument("--jobs", "-j", type=int, default=2, help="parallel jobs of the build (default 2)")
    p.add_argument("--build-dir", default="build-mutate", help="build folder (default build-mutate)")
    p.add_argument("--filter", action="append", metavar="GTEST_FILTER",
                   help="gtest filter of the tests to run, in place of the area's; "
                        "repeat it for stages run one after the other")
    p.add_argument("--timeout-factor", type=float, default=3.0,
                   help="time limit of a test stage as a multiple of its unmutated time (default 3); "
                        "a stage that overruns it runs once more with twice the limit")
    p.add_argument("--min-timeout", type=float, default=20.0,
                   help="lowest time limit of a test stage in seconds (default 20)")
    p.add_argument("--report", metavar="FILE", help="write a markdown report to FILE")
    p.add_argument("--results", metavar="FILE",
                   help="a JSON line per mutant, appended as each one ends; mutants already "
                        "in the file are not run again (a run can be resumed)")
    p.add_argument("--shard", metavar="K/N", type=parse_shard, default=(0, 1),
                   help="run only the mutants K, K+N, K+2N, ... of the sample (0 <= K < N), "
                        "e.g. one shard per copy of the repository")
    p.add_argument("--only", action="append", metavar="PATH",
                   help="run only the mutants of the sample in files under PATH (repeatable); "
                        "the sample itself is still drawn over all the given paths")
    p.add_argument("--again-killed", metavar="FILE",
                   help="run again only the mutants that FILE (the results file of an earlier "
                        "run of the same sample) records as killed; the others keep their result "
                        "from FILE, so that the score is a lower bound when the tests changed")
    p.add_argument("--again-survived", metavar="FILE",
                   help="run again only the mutants that FILE records as survived or timed out "
                        "(after tests were added for them); the others keep their result from FILE")
    return p.parse_args(argv)


def parse_shard(text: str) -> tuple[int, int]:
    m = re.fullmatch(r"(\d+)/(\d+)", text)
    if not m or not int(m.group(1)) < int(m.group(2)):
        raise argparse.ArgumentTypeError(f"not K/N with 0 <= K < N: {text}")
    return int(m.group(1)), int(m.group(2))


def read_results(path: Path | None) -> dict[str, str]:
    """The results of earlier runs by mutant key (the last line of a key wins)."""
    done: dict[str, str] = {}
    if path is not None and path.exists():
        for line in path.read_text().splitlines():
            if line.strip():
                entry = json.loads(line)
                done[entry["key"]] = entry["result"]
    return done


def main(argv: list[str]) -> int:
    args = parse_args(argv)
    root = ROOT
    files = collect_files(args.paths, root)
    mutants, total = choose(files, root, args.sample, args.seed)
    if args.only:
        prefixes = [Path(p).as_posix().rstrip("/") for p in args.only]
        mutants = [m for m in mutants
                   if any(m.path == p or m.path.startswith(p + "/") for p in prefixes)]
    shard, shards = args.shard
    mutants = mutants[shard::shards]
    if args.list:
        for m in mutants:
            print(f"{m.path}:{m.line}:{m.col}: {m.operator}: {m.describe()}")
        print(f"{len(mutants)} of {total} mutation sites", file=sys.stderr)
        return 0

    results_file = Path(args.results).resolve() if args.results else None
    done = read_results(results_file)
    again = args.again_killed or args.again_survived
    if args.again_killed and args.again_survived:
        raise SystemExit("mutate: give --again-killed or --again-survived, not both")
    if again:
        rerun = {KILLED} if args.again_killed else {SURVIVED, TIMED_OUT}
        earlier = read_results(Path(again))
        missing = sum(1 for m in mutants if m.key() not in earlier)
        if missing:
            # the earlier run is still going: what it has not reached waits for a later call
            print(f"mutate: {missing} mutants of the sample are not yet in {again}; "
                  "left out", file=sys.stderr)
            mutants = [m for m in mutants if m.key() in earlier]
        done.update({m.key(): earlier[m.key()] for m in mutants if earlier[m.key()] not in rerun})
    if all(m.key() in done for m in mutants):
        results = [(m, done[m.key()]) for m in mutants]
        return finish(args, files, total, results, 0.0, len(mutants))

    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, _on_signal)
    build_dir = Path(args.build_dir)
    build_dir = build_dir if build_dir.is_absolute() else root / build_dir
    ws = Workspace(root, build_dir, args.jobs)
    ws.configure()
    ws.restore_leftovers()
    tester = Tester(ws, args.timeout_factor, args.min_timeout)

    print(f"mutate: building the unmutated code in {build_dir.relative_to(root)}", flush=True)
    if not ws.build():
        raise SystemExit(f"mutate: the unmutated code does not build; see {build_dir / 'mutate-build.log'}")
    filters_of = {f: (args.filter or default_stages(f, root)) for f in files}
    for f in files:
        for flt in filters_of[f]:
            stage = tester.baseline(flt)
            print(f"mutate: {f}: {stage.tests} tests in {stage.seconds:.1f} s, "
                  f"limit {tester.limit(stage):.0f} s", flush=True)

    results: list[tuple[Mutant, str]] = []
    started = time.monotonic()
    try:
        for i, m in enumerate(mutants, start=1):
            if m.key() in done:
                results.append((m, done[m.key()]))
                continue
            with ws.mutated(m):
                result = tester.classify(filters_of[m.path]) if ws.build() else NOT_COMPILED
            results.append((m, result))
            if results_file is not None:
                with open(results_file, "a") as out:
                    out.write(json.dumps({"key": m.key(), "location": m.location(),
                                          "operator": m.operator, "mutation": m.describe(),
                                          "result": result}) + "\n")
            print(f"[{i}/{len(mutants)}] {result:12} {m.location()} {m.operator}: {m.describe()}",
                  flush=True)
    except KeyboardInterrupt:
        print("mutate: interrupted; the sources are restored", file=sys.stderr)
    return finish(args, files, total, results, (time.monotonic() - started) / 60, len(mutants))


def finish(args: argparse.Namespace, files: list[str], total: int,
           results: list[tuple[Mutant, str]], minutes: float, wanted: int) -> int:
    """Prints the counts and writes the report; 130 when the run was cut short."""
    counts = {r: sum(1 for _, s in results if s == r) for r in RESULTS}
    s = score(counts)
    print("mutate: " + ", ".join(f"{counts[r]} {r}" for r in RESULTS)
          + ("" if s is None else f"; score {100 * s:.0f} %") + f" ({minutes:.1f} min)")
    if args.report:
        notes = [
            f"Sources: {', '.join(args.paths)} ({len(files)} files).",
            f"Mutants: {len(results)} of {total} sites"
            + (f" (random sample, seed {args.seed})" if args.sample is not None else "") + ".",
            f"Tests: {'given filters' if args.filter else 'the area tests, then the end-to-end tests'}; "
            f"time limit {args.timeout_factor:g} x the unmutated time, at least {args.min_timeout:g} s.",
        ]
        if args.again_killed or args.again_survived:
            what = "killed" if args.again_killed else "not killed"
            notes.append(f"Only the mutants {what} in {Path(args.again_killed or args.again_survived).name} "
                         "ran again; the others keep their result from there.")
        Path(args.report).write_text(report_markdown(results, "Mutation testing", notes))
    return 0 if len(results) == wanted else 130


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        print("mutate: interrupted", file=sys.stderr)
        sys.exit(130)
