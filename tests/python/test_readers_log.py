"""The reader of the segment table and the records of RunId.log."""

from __future__ import annotations

import pytest

from conftest import EXAMPLES
from pykorvan.readers import ReaderError, read_log


@pytest.mark.parametrize("name", EXAMPLES)
def test_segment_table(example_runs, name):
    log = read_log(example_runs[name] / f"{name}.log")
    assert log.water_body and log.warnings == []
    assert log.records["Location"] and "MeteoStation" in log.records
    end = 0.0
    for i, seg in enumerate(log.segments, start=1):
        # Segments follow each other; X is the centre; DelX the distance to the next centre.
        assert seg.number == i and seg.output
        assert seg.x_bou_m == pytest.approx(end + seg.len_seg_m)
        assert seg.x_m == pytest.approx(end + seg.len_seg_m / 2)
        end = seg.x_bou_m
        if i < len(log.segments):
            assert seg.del_x_m == pytest.approx(log.segments[i].x_m - seg.x_m)
        else:
            assert seg.del_x_m is None
    if name == "orlan_pond":
        assert log.segments == []


def test_warnings_and_damaged_rows(example_runs, tmp_path):
    text = (example_runs["ditch"] / "ditch.log").read_text()
    block = (" ###### Warning ####\nSomeRoutine\nDepth below 1 cm\n"
             " ##########\n")
    path = tmp_path / "ditch.log"
    path.write_text(text + block)
    assert read_log(path).warnings == ["SomeRoutine\nDepth below 1 cm"]
    lines = text.splitlines()
    at = next(i for i, t in enumerate(lines) if t.startswith("   3    30.0000"))
    lines[at] = lines[at].replace("Yes", "Yep")
    path.write_text("\n".join(lines))
    with pytest.raises(ReaderError, match=rf"line {at + 1}: expected Yes or No in SegOutput"):
        read_log(path)
