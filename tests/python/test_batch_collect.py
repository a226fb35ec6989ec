"""The collected table of a batch against the runs' own summary reports, and
the page with its table of failed runs."""

import csv
import re
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

from pykorvan.batch.batchfile import load_batch  # noqa: E402
from pykorvan.batch.cli import main  # noqa: E402
from conftest import write_ditch_batch  # noqa: E402

KORVAN = ROOT / "build" / "korvan"


def sum_value(text: str, compound: str, table: str, label: str) -> str:
    """The first number of a labelled line in a compound's table, read by pattern."""
    start = text.index(f"* Table: {table}{compound}\n")
    match = re.search(rf"^{re.escape(label)}\s+(\S+)", text[start:], re.MULTILINE)
    return match.group(1)


@pytest.fixture(scope="module")
def collected(tmp_path_factory):
    folder = tmp_path_factory.mktemp("collect")
    path = write_ditch_batch(folder / "batch.toml", ["10-Jun-1980", "01-Apr-1980", "20-May-1980"])
    assert main(["batch", "run", str(path), "--no-progress"]) == 1
    assert main(["batch", "collect", str(path)]) == 0
    batch = load_batch(path)
    with open(batch.output / "results.csv", newline="") as handle:
        rows = list(csv.DictReader(handle))
    return batch, rows


def test_table_holds_the_summary_values(collected):
    batch, rows = collected
    assert [(r["run"], r["compound"], r["status"]) for r in rows] == [
        ("1", "CMP", "ok"), ("1", "MET", "ok"), ("2", "", "failed"),
        ("3", "CMP", "ok"), ("3", "MET", "ok")]
    assert rows[2]["exit_code"] == "1" and rows[2]["error"] == "TimEnd < TimStart"
    assert rows[0]["DT50WatRef_CMP"] == "5" and rows[0]["TimEnd"] == "10-Jun-1980"
    for row in rows:
        if row["status"] != "ok":
            continue
        text = (batch.output / row["folder"] / "ditch.sum").read_text(encoding="latin-1")
        compound = row["compound"]
        water = "PEC in water layer of substance: "
        sediment = "PEC in sediment of substance: "
        twa = "Maximum Time Weighted Averaged Exposure Concentrations substance: "
        assert float(row["GlobalMax_sw [ug.L-1]"]) == \
            float(sum_value(text, compound, water, "Global max"))
        assert float(row["PECsw_1_day [ug.L-1]"]) == \
            float(sum_value(text, compound, water, "PECsw_1_day"))
        assert float(row["PECsw_2_days [ug.L-1]"]) == \
            float(sum_value(text, compound, water, "PECsw 2 days"))
        assert float(row["GlobalMax_sed [ug.kg-1]"]) == \
            float(sum_value(text, compound, sediment, "Global max"))
        assert float(row["TWAECsw_4_days [ug.L-1]"]) == \
            float(sum_value(text, compound, twa, "TWAECsw_4_days"))
        result = re.search(rf"^\* Result_{compound}\s+(\S+)", text, re.MULTILINE).group(1)
        assert float(row["GlobalMax_sw [ug.L-1]"]) == pytest.approx(float(result), rel=1e-3)
        assert row["warnings"] == "0"
        assert abs(float(row["RelErrMasBal_WatLay [-]"])) < 1e-3
        assert abs(float(row["RelErrMasBal_Sed [-]"])) < 1e-3
    # 21 days after the peak of 15 May lie within the run to 10 June, not within 20 May.
    assert float(rows[0]["TWAECsw_21_days [ug.L-1]"]) > 0
    assert rows[3]["TWAECsw_21_days [ug.L-1]"] == ""


def test_page_shows_distributions_and_failed_runs(collected):
    batch, _ = collected
    page = (batch.output / "results.html").read_text()
    assert "3 runs: 2 ended normally, 1 without results." in page
    assert page.count("<img ") == 4  # two figures for each of CMP and MET
    assert "<td>00002_ditch</td><td>failed</td><td>1</td><td><pre>TimEnd &lt; TimStart</pre>" \
        in page


def test_targets_of_the_zr_and_brax_editions():
    from pykorvan.batch.summary_values import exposure_columns
    reference = ROOT / "tests" / "e2e" / "reference"
    weir = exposure_columns(reference / "weir_reach.sum")
    # "* The 90 percentile peak concentration of CMP in the ditch is 20.801689 ug/L"
    # and the rows "Acute ... 3.483", "Chronic ... 0.4989" of the TWA report.
    assert weir == {"CMP": {"TargetPercentilePeak [ug.L-1]": 20.801689,
                            "TWA_Acute [ug.L-1]": 3.483, "TWA_Chronic [ug.L-1]": 0.4989,
                            "RelErrMasBal_WatLay [-]": 0.0, "RelErrMasBal_Sed [-]": 0.0}}
    greenhouse = exposure_columns(reference / "greenhouse.sum")["CMP"]
    assert "TargetPercentilePeak [ug.L-1]" in greenhouse and "GlobalMax_sw [ug.L-1]" not in greenhouse
