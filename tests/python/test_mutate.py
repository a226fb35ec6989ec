"""The site finder and the mutation operators of tools/mutate.py.

Run with: /usr/bin/python3 -m pytest tests/python
"""

import json
import sys
import time
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import mutate  # noqa: E402


def sites(source):
    return [(m.line, m.operator, m.describe()) for m in mutate.find_sites(source, "src/x.cpp")]


def test_blanking_keeps_offsets_and_empties_comments_literals_and_directives():
    source = ('#include <vector>  // a < b\n'
              'x = "a < b" + y; /* c * d */ z = \'+\';\n'
              'auto r = R"(p - q)"; n = 1\'000;\n')
    code = mutate.blank_code(source)
    assert len(code) == len(source) and code.count("\n") == 3
    assert code.split("\n") == [
        " " * 27,
        'x = "     " + y;' + " " * 13 + "z = ' ';",
        'auto r = R"' + " " * 7 + '"; n = 1\'000;',
        "",
    ]


def test_each_operator_on_a_small_function():
    source = (
        "double f(int n, double a) {\n"
        "  double s = 0.0;\n"
        "  for (int i = 0; i < n; ++i) s += a * i;\n"
        "  count_++;\n"
        "  if (n >= 2 && s != a) return s / 2.5;\n"
        "  return a - 1;\n"
        "}\n"
    )
    assert sites(source) == [
        (2, "constant", "`0.0` -> `1.0`"),
        (3, "one", "`0` -> `1`"),
        (3, "comparison", "`<` -> `<=`"),
        (3, "arithmetic", "`+=` -> `-=`"),
        (3, "arithmetic", "`*` -> `/`"),
        (4, "statement", "delete `count_++;`"),
        (5, "comparison", "`>=` -> `>`"),
        (5, "one", "`2` -> `3`"),
        (5, "comparison", "`!=` -> `==`"),
        (5, "arithmetic", "`/` -> `*`"),
        (5, "constant", "`2.5` -> `3.75`"),
        (6, "one", "drop `- 1`"),
        (6, "arithmetic", "`-` -> `+`"),
        (6, "one", "`1` -> `2`"),
    ]


def test_no_mutant_in_comments_strings_directives_templates_pointers_or_streams():
    source = (
        "#include <map>\n"
        "#define TWICE(x) (x * 2)\n"
        "// i < n + 1\n"
        "/* a == b */\n"
        "template <typename T>\n"
        "std::vector<std::pair<int, T>> v;\n"
        "const double* p = &q->value;\n"
        "auto m = static_cast<int>(k) << 2 >> shift;\n"
        "int& r = ++i;\n"
        "x = -y;\n"
        'fail("text: " + name + " < 3");\n'
        "virtual void g() = 0;\n"
        "assert(k < n);\n"
        "int n = 0x1F;\n"
        "label = std::to_string(k) + unit;\n"
    )
    assert sites(source) == [
        (8, "one", "`2` -> `3`"),
        (10, "statement", "delete `x = -y;`"),
        (11, "statement", 'delete `fail("text: " + name + " < 3");`'),
        (15, "statement", "delete `label = std::to_string(k) + unit;`"),
    ]


def test_only_whole_one_line_statements_are_deleted():
    source = (
        "void f() {\n"
        "  update(a, b);\n"
        "  const double c = h(a);\n"
        "  if (c)\n"
        "    reset();\n"
        "  out << c;\n"
        "  table_(i, k) = c;  // the last value\n"
        "  messages.fatal(\"Rd\", \"line one\",\n"
        "                 \"line two\");\n"
        "  return;\n"
        "}\n"
    )
    deleted = [d for _, op, d in sites(source) if op == "statement"]
    assert deleted == ["delete `update(a, b);`", "delete `out << c;`",
                       "delete `table_(i, k) = c;`"]


def test_applying_a_mutant_changes_only_its_text():
    source = "if (a < b) x = y + 1;\n"
    by_kind = {m.operator + m.describe(): m for m in mutate.find_sites(source, "src/x.cpp")}
    assert by_kind["comparison`<` -> `<=`"].apply(source) == "if (a <= b) x = y + 1;\n"
    assert by_kind["onedrop `+ 1`"].apply(source) == "if (a < b) x = y;\n"
    with pytest.raises(AssertionError):
        by_kind["one`1` -> `2`"].apply(source.replace("1", "7"))


def test_score_and_report():
    deleted, drop = mutate.find_sites("x = a | b + 1;\n", "src/x.cpp")[:2]
    counts = {mutate.KILLED: 3, mutate.SURVIVED: 1, mutate.TIMED_OUT: 0, mutate.NOT_COMPILED: 5}
    assert mutate.score(counts) == 0.75
    text = mutate.report_markdown(
        [(deleted, mutate.KILLED), (drop, mutate.SURVIVED), (drop, mutate.NOT_COMPILED)], "T", [])
    assert "| 1 | killed | src/x.cpp:1 | statement | delete `x = a \\| b + 1;` |" in text
    assert "| 2 | survived | src/x.cpp:1 | one | drop `+ 1` |" in text
    assert "= 1/2 = 50 %" in text


def test_default_tests_of_an_area_run_in_stages():
    unit, quick, slow = mutate.default_stages("src/input/calendar.cpp")
    assert "DateReader.*" in unit.split(":")
    assert "RecordedValues/RecordedOutputs.*" in quick.split(":")
    assert "Scenarios/Example.*" in slow.split(":")
    with pytest.raises(SystemExit):
        mutate.default_stages("tools/other.cpp")


def test_a_command_over_its_time_limit_is_ended_with_its_children(tmp_path):
    marker = tmp_path / "child-ran-on"
    cmd = ["sh", "-c", f"(sleep 2; touch {marker}) & sleep 5"]
    status, seconds = mutate.run_group(cmd, tmp_path, 0.5, tmp_path / "log")
    assert status is None and seconds < 2
    assert mutate.run_group(["sh", "-c", "exit 3"], tmp_path, 5, tmp_path / "log")[0] == 3
    time.sleep(2.5)
    assert not marker.exists()


def test_shards_split_the_sample_and_a_results_file_resumes_it(tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(mutate.ROOT)
    sample, _ = mutate.choose(["src/input/calendar.cpp"], mutate.ROOT, 5, 3)
    halves = [mutate.main(["src/input/calendar.cpp", "--sample", "5", "--seed", "3",
                           "--shard", k, "--list"]) for k in ("0/2", "1/2")]
    listed = [l for l in capsys.readouterr().out.splitlines() if l]
    assert halves == [0, 0] and len(listed) == 5
    assert sorted(listed) == sorted(f"{m.path}:{m.line}:{m.col}: {m.operator}: {m.describe()}"
                                    for m in sample)
    with pytest.raises(SystemExit):
        mutate.parse_args(["x.cpp", "--shard", "2/2"])

    # every mutant already in the results file: nothing is built, the report is written
    results = tmp_path / "results.jsonl"
    outcome = [mutate.KILLED, mutate.SURVIVED, mutate.KILLED, mutate.NOT_COMPILED, mutate.KILLED]
    results.write_text("".join(json.dumps({"key": m.key(), "result": r}) + "\n"
                               for m, r in zip(sample, outcome)))
    report = tmp_path / "report.md"
    status = mutate.main(["src/input/calendar.cpp", "--sample", "5", "--seed", "3",
                          "--build-dir", str(tmp_path / "never-built"),
                          "--results", str(results), "--report", str(report)])
    assert status == 0 and not (tmp_path / "never-built").exists()
    assert "= 3/4 = 75 %" in report.read_text()

    # run again only what was killed: the rest keeps its earlier result, and what the
    # earlier run has not reached yet is left out
    (tmp_path / "again.jsonl").write_text("".join(
        json.dumps({"key": m.key(), "result": mutate.KILLED}) + "\n"
        for m, r in zip(sample, outcome) if r == mutate.KILLED))
    results.write_text("".join(json.dumps({"key": m.key(), "result": r}) + "\n"
                               for m, r in list(zip(sample, outcome))[:4]))
    status = mutate.main(["src/input/calendar.cpp", "--sample", "5", "--seed", "3",
                          "--build-dir", str(tmp_path / "never-built"), "--again-killed",
                          str(results), "--results", str(tmp_path / "again.jsonl"),
                          "--report", str(report)])
    assert status == 0 and not (tmp_path / "never-built").exists()
    text = report.read_text()
    assert "Mutants: 4 of" in text and "= 2/3 = 67 %" in text and "ran again" in text

    # run again only what survived: with every survivor already in the results, nothing runs
    (tmp_path / "survivors.jsonl").write_text(json.dumps(
        {"key": sample[1].key(), "result": mutate.KILLED}) + "\n")
    status = mutate.main(["src/input/calendar.cpp", "--sample", "5", "--seed", "3",
                          "--build-dir", str(tmp_path / "never-built"), "--again-survived",
                          str(results), "--results", str(tmp_path / "survivors.jsonl"),
                          "--report", str(report)])
    assert status == 0 and "= 3/3 = 100 %" in report.read_text()


def test_only_keeps_the_sample_and_runs_the_mutants_of_the_given_files(monkeypatch, capsys):
    monkeypatch.chdir(mutate.ROOT)
    files = ["src/input/calendar.cpp", "src/input/dates.cpp"]
    sample, _ = mutate.choose(files, mutate.ROOT, 8, 2)
    assert mutate.main(files + ["--sample", "8", "--seed", "2", "--only", "src/input/dates.cpp",
                                "--list"]) == 0
    listed = [l for l in capsys.readouterr().out.splitlines() if l]
    assert listed == [f"{m.path}:{m.line}:{m.col}: {m.operator}: {m.describe()}"
                      for m in sample if m.path == "src/input/dates.cpp"]
    assert mutate.main(files + ["--sample", "8", "--seed", "2", "--only", "src/input/", "--list"]) == 0
    assert len([l for l in capsys.readouterr().out.splitlines() if l]) == 8
