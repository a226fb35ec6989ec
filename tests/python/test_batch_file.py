"""The batch file and the input editor: every variation kind, reproducible
samples, refused parameters, and values written without touching other bytes."""

import math
import re
import shutil
import statistics
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

from pykorvan.batch.batchfile import BatchError, load_batch, parse_selection  # noqa: E402
from pykorvan.batch.editor import InputError, InputFile, format_value  # noqa: E402

DITCH = ROOT / "examples" / "ditch"


def write_batch(tmp_path: Path, body: str, base: str = "") -> Path:
    path = tmp_path / "batch.toml"
    path.write_text(f'[[base]]\nfolder = "{DITCH}"\n{base}\n{body}')
    return path


def test_list_grid_and_their_product(tmp_path):
    batch = load_batch(write_batch(tmp_path, """
[[variation]]
kind = "list"
DT50WatRef_CMP = [5, 10.5]
"Loadings[1,2]" = [1.0, 2e-3]
[[variation]]
kind = "grid"
"KomSed_CMP+KomSusSol_CMP" = [100, 200, 400]
TimEnd = ["20-May-1980", "31-May-1980"]
"""))
    linked = "KomSed_CMP+KomSusSol_CMP"
    assert batch.parameter_names == ["DT50WatRef_CMP", "Loadings[1,2]", linked, "TimEnd"]
    assert len(batch.runs) == 12
    assert [r.index for r in batch.runs] == list(range(1, 13))
    assert batch.runs[0].parameters == {"DT50WatRef_CMP": "5", "Loadings[1,2]": "1.0",
                                        linked: "100", "TimEnd": "20-May-1980"}
    assert batch.runs[11].parameters == {"DT50WatRef_CMP": "10.5", "Loadings[1,2]": "0.002",
                                         linked: "400", "TimEnd": "31-May-1980"}
    text = batch.runs[11].input_text()
    assert "\n400              KomSed_CMP " in text and "\n400              KomSusSol_CMP " in text
    assert "\n31-May-1980      TimEnd" in text and "\n10.5               DT50WatRef_CMP" in text
    assert batch.runs[0].name == "00001_ditch"
    assert batch.output == tmp_path / "runs"
    assert [r.index for r in batch.select("2-3,12")] == [2, 3, 12]


SAMPLES = """
[[variation]]
kind = "sample"
n = 4000
seed = 7
digits = 8
U = { distribution = "uniform", low = 2, high = 4 }
LU = { distribution = "log-uniform", low = 1, high = 100 }
N = { distribution = "normal", mean = 10, sd = 2 }
LN = { distribution = "log-normal", mu = 1, sigma = 0.5 }
TN = { distribution = "truncated-normal", mean = 0, sd = 1, low = -0.5, high = 2 }
TLN = { distribution = "truncated-log-normal", mu = 5, sigma = 2, low = 10, high = 1000 }
"""
NAMES = {"U": "DT50WatRef_CMP", "LU": "KomSed_CMP", "N": "DT50SedRef_CMP",
         "LN": "KomSusSol_CMP", "TN": "ConSysWatIni", "TLN": "MolMas_CMP"}


def test_samples_are_reproducible_and_follow_their_distributions(tmp_path):
    body = SAMPLES
    for short, name in NAMES.items():
        body = body.replace(f"\n{short} = ", f"\n{name} = ")
    first = load_batch(write_batch(tmp_path, body))
    again = load_batch(write_batch(tmp_path, body))
    assert [r.parameters for r in first.runs] == [r.parameters for r in again.runs]
    other = load_batch(write_batch(tmp_path, body.replace("seed = 7", "seed = 8")))
    assert [r.parameters for r in first.runs] != [r.parameters for r in other.runs]

    def column(short):
        return [float(r.parameters[NAMES[short]]) for r in first.runs]
    u, lu, n, ln, tn, tln = (column(s) for s in NAMES)
    # 4000 draws: means within about four standard errors.
    assert 2 <= min(u) and max(u) <= 4 and abs(statistics.mean(u) - 3) < 0.04
    logs = [math.log10(x) for x in lu]
    assert 1 <= min(lu) and max(lu) <= 100 and abs(statistics.mean(logs) - 1) < 0.04
    assert abs(statistics.mean(n) - 10) < 0.13 and abs(statistics.stdev(n) - 2) < 0.1
    assert abs(statistics.median(ln) - math.e) < 0.1
    assert abs(statistics.stdev([math.log(x) for x in ln]) - 0.5) < 0.03
    assert -0.5 <= min(tn) and max(tn) <= 2
    # Mean of the standard normal truncated to [-0.5, 2]: (phi(a) - phi(b)) / (Phi(b) - Phi(a)).
    unit = statistics.NormalDist()
    expected = (unit.pdf(-0.5) - unit.pdf(2)) / (unit.cdf(2) - unit.cdf(-0.5))
    assert abs(statistics.mean(tn) - expected) < 0.03
    assert 10 <= min(tln) and max(tln) <= 1000
    # Values are written with the stated significant digits.
    assert all(len(v.replace(".", "").replace("-", "").lstrip("0")) <= 8
               for v in first.runs[0].parameters.values())


@pytest.mark.parametrize("body, message", [
    ('[[variation]]\nkind = "grid"\nDT50WatRef_XXX = [1, 2]',
     "DT50WatRef_XXX: no such record in the input file"),
    ('[[variation]]\nkind = "list"\n"Loadings[2,2]" = [1]',
     "Loadings[2,2]: table Loadings has 1 rows"),
    ('[[variation]]\nkind = "list"\n"Loadings[1,6]" = [1]',
     "Loadings[1,6]: row 1 of table Loadings has 5 columns"),
    ('[[variation]]\nkind = "list"\n"Nothing[1,1]" = [1]', "Nothing: no such table"),
    ('[[variation]]\nkind = "list"\n"WaterBody[1,Depth]" = [1]',
     "table WaterBody has no column Depth"),
    ('[[variation]]\nkind = "list"\nLoadings = [1]', "Loadings is a table"),
    ('[[variation]]\nkind = "list"\nA_b = [1, 2]\nKomSed_CMP = [1]', "one length"),
    ('[[variation]]\nkind = "sample"\nn = 3\nKomSed_CMP = { distribution = "uniform", '
     'low = 1, high = 2 }', "needs a whole-number seed"),
    ('[[variation]]\nkind = "sample"\nn = 3\nseed = 1\nKomSed_CMP = { distribution = '
     '"uniform", low = 1 }', "a uniform distribution takes low, high"),
    ('[[variation]]\nkind = "sample"\nn = 3\nseed = 1\nKomSed_CMP = { distribution = '
     '"gamma", a = 1 }', "distribution = ... } with one of uniform"),
    ('[[variation]]\nkind = "sweep"\nKomSed_CMP = [1]', "kind must be list, grid or sample"),
    ('[[variation]]\nkind = "grid"\nKomSed_CMP = ["two words"]', "a value is one word"),
    ('[[variation]]\nkind = "grid"\nKomSed_CMP = [1]\n[[variation]]\nkind = "grid"\n'
     'KomSed_CMP = [2]', "KomSed_CMP is varied twice"),
    ('outputs = "x"', "unknown key outputs"),
])
def test_refused_batch_files(tmp_path, body, message):
    with pytest.raises(BatchError, match=re.escape(message)):
        load_batch(write_batch(tmp_path, body))


def test_refused_base_values_and_selection(tmp_path):
    with pytest.raises(BatchError, match="TimEndX: no such record"):
        load_batch(write_batch(tmp_path, "", base='[base.set]\nTimEndX = "1-May-1980"'))
    with pytest.raises(BatchError, match="the batch has runs 1 to 5"):
        parse_selection("4-6", 5)


def test_editor_changes_only_the_value(tmp_path):
    original = (DITCH / "ditch.kvn").read_bytes()
    # Windows line ends and a byte outside ASCII must survive as well.
    text = original.replace(b"\n", b"\r\n").replace(b"* KORVAN input", b"* KORVAN \xe9 input")
    path = tmp_path / "ditch.kvn"
    path.write_bytes(text)
    kvn = InputFile.read(path)
    assert kvn.get("DT50WatRef_CMP") == "10"
    assert kvn.set("DT50WatRef_CMP", 12.25) == "12.25"
    assert kvn.set("Loadings[1,2]", 3e-7) == "3e-07"
    assert kvn.set("Loadings[1,1]", "16-May-1980-10h00") == "16-May-1980-10h00"
    assert kvn.set("WaterBody[1,WidWatSys]", 1.5) == "1.5"
    assert kvn.set("SedimentProperties[2,3]", 0.04) == "0.04"
    assert kvn.set("TimEnd", "20-May-1980") == "20-May-1980"
    kvn.write(path)
    expected = (text
                .replace(b"10               DT50WatRef_CMP", b"12.25               DT50WatRef_CMP")
                .replace(b"15-May-1980-09h00 12.5 500", b"16-May-1980-10h00 3e-07 500")
                .replace(b"100     10      1.0        0.0", b"100     10      1.5        0.0")
                .replace(b"2    1200      0.03", b"2    1200      0.04")
                .replace(b"30-Apr-1981      TimEnd", b"20-May-1980      TimEnd"))
    assert path.read_bytes() == expected
    # The first record of a keyword is the one the model reads and the one changed.
    twice = tmp_path / "twice.kvn"
    twice.write_text("* c\n1 A (m)\n  2\tA\n")
    edited = InputFile.read(twice)
    edited.set("A", 7)
    assert edited.text() == "* c\n7 A (m)\n  2\tA\n"
    with pytest.raises(InputError, match="not a number the model reads"):
        format_value(float("nan"))


def test_base_without_run_id_needs_one_input_file(tmp_path):
    folder = tmp_path / "two"
    shutil.copytree(DITCH, folder)
    shutil.copy(folder / "ditch.kvn", folder / "other.kvn")
    path = tmp_path / "b.toml"
    path.write_text(f'[[base]]\nfolder = "{folder}"\n')
    with pytest.raises(BatchError, match="holds 2 .kvn files; name the run_id"):
        load_batch(path)
    path.write_text(f'[[base]]\nfolder = "{folder}"\nrun_id = "other"\n')
    assert load_batch(path).runs[0].base.run_id == "other"
