"""The comparison of two runs: differences of every PEC and TWA value."""

from __future__ import annotations

from pykorvan.compare import compare_folders, differences
from pykorvan.readers import read_run


def test_differences_of_two_runs(example_runs, tmp_path):
    a, b = read_run(example_runs["ditch"]), read_run(example_runs["stream"])
    diffs = {(d.compound, d.quantity): d for d in differences(a, b)}
    top = diffs[("CMP", "global maximum water")]
    assert (top.a, top.b) == (a.summary.global_maximum("CMP").value,
                              b.summary.global_maximum("CMP").value)
    assert top.difference == top.b - top.a
    assert top.relative_percent == 100 * (top.b - top.a) / top.a
    # Every PEC and TWA row of both media is compared, the 2-day row included.
    for medium in ("water", "sediment"):
        for kind in ("PEC", "TWA"):
            assert ("MET", f"{kind} {medium} 2 d") in diffs
    late = diffs[("CMP", "PEC water 7 d")]
    assert late.a is None and late.difference is None
    text, page = compare_folders(example_runs["ditch"], example_runs["stream"], tmp_path)
    assert page == tmp_path / "compare_ditch_stream.html"
    line = next(t for t in text.splitlines() if "global maximum water" in t and "CMP" in t)
    assert line.split()[-4:-2] == [f"{top.a:.6g}", f"{top.b:.6g}"]
    html = page.read_text(encoding="utf-8")
    assert html.count("<svg") == html.count("<figure") == 2 * 2 + 2
    assert "<table class=\"differences\">" in html


def test_a_run_compared_with_itself_differs_nowhere(example_runs, tmp_path):
    run = read_run(example_runs["weir_reach"])
    diffs = differences(run, run)
    assert {d.quantity for d in diffs} >= {"target percentile peak", "TWA target Acute (1 d)"}
    assert all(d.difference == 0 for d in diffs)
    text, _ = compare_folders(example_runs["weir_reach"], example_runs["weir_reach"], tmp_path)
    # Runs of the same identifier are told apart by their folders.
    assert text.splitlines()[0].split()[3:5] == ["weir_reach/weir_reach"] * 2
