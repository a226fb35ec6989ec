"""The report page opened in headless Chromium: loads cleanly, figures drawn."""

from __future__ import annotations

import io
import re

import matplotlib.image
import pytest

from chromium import Browser, find_chromium
from pykorvan.readers import read_summary
from pykorvan.report import write_report

FIGURES_JS = """JSON.stringify(Array.from(document.querySelectorAll('figure.plot')).map(f => {
  const r = f.querySelector('svg').getBoundingClientRect();
  return {id: f.id, x: r.left + window.scrollX, y: r.top + window.scrollY,
          width: r.width, height: r.height};
}))"""


def _ink(png: bytes) -> tuple[float, int]:
    """Return the fraction of non-white pixels and the number of distinct colours."""
    pixels = matplotlib.image.imread(io.BytesIO(png))[:, :, :3]
    flat = (pixels * 255).round().astype(int).reshape(-1, 3)
    ink = (flat < 245).any(axis=1).mean()
    colours = len({tuple(c) for c in flat[::7]})
    return float(ink), colours


@pytest.fixture(scope="module")
def browser():
    program = find_chromium()
    if program is None:
        pytest.skip("chromium is not installed here (.ci/run installs it)")
    with Browser(program) as b:
        yield b


@pytest.mark.parametrize("name", ["ditch", "weir_reach", "orlan_pond"])
def test_report_in_chromium(example_runs, browser, name, tmp_path):
    page = write_report(example_runs[name], tmp_path)
    assert page == tmp_path / f"{name}.html"
    html = page.read_text(encoding="utf-8")
    # Self-contained: no script, no link or source outside the page.
    assert not re.search(r"<script|<link|src=|https?://(?!www\.w3\.org)", html)
    browser.load(page)
    assert browser.console_errors() == []
    summary = read_summary(example_runs[name] / f"{name}.sum")
    figures = __import__("json").loads(browser.evaluate(FIGURES_JS))
    expected = {f"fig-concentration-{c}" for c in summary.compounds} | \
        {f"fig-mass-balance-{c}" for c in summary.compounds} | {"fig-hydrology", "fig-temperature"}
    assert {f["id"] for f in figures} == expected
    for f in figures:
        assert f["width"] > 300 and f["height"] > 150, f["id"]
        ink, colours = _ink(browser.screenshot(
            {k: f[k] for k in ("x", "y", "width", "height")}))
        assert 0.02 < ink < 0.9 and colours > 5, (f["id"], ink, colours)
    tables = browser.evaluate("document.body.innerText")
    for c in summary.compounds:
        top = summary.global_maximum(c)
        if top is not None:
            pec = browser.evaluate(
                f"document.querySelector('#compound-{c} table.pec tr.max').innerText")
            assert top.text in pec.split() and top.date in pec.split()
        elif c in summary.percentile_peaks:
            assert f"{summary.percentile_peaks[c]:g}" in tables
    assert summary.header["Scenario"] in tables
