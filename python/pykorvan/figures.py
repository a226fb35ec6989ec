"""Figures of one run or of several runs overlaid, as inline SVG text.

matplotlib draws with the Agg backend (no display needed); every figure is
returned as the text of an ``<svg>`` element with its text drawn as paths,
so that a page holding it needs no font and no network.
"""

from __future__ import annotations

import datetime as dt
import io
import re
from dataclasses import dataclass
from typing import Optional, Sequence

import matplotlib

matplotlib.use("Agg")
import matplotlib.dates as mdates  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402

from pykorvan.readers import Run  # noqa: E402
from pykorvan.readers.out import OutSeries  # noqa: E402

matplotlib.rcParams.update({"svg.fonttype": "path", "font.size": 9, "axes.grid": True,
                            "grid.alpha": 0.3, "svg.hashsalt": "pykorvan"})

# Factors from the units of the output file to those of the figures.
TO_UG_L = {"g.m-3": 1e3, "mg.L-1": 1e3, "ug.L-1": 1.0}
TO_UG_KG = {"g.kg-1": 1e6, "mg.kg-1": 1e3, "ug.kg-1": 1.0}
COLOURS = ("#1f5fa8", "#d0562b", "#2e8b57", "#8a4bb0")
HATCHES = ("", "//", "..", "xx")


@dataclass
class Curve:
    """A time series to draw: moments, values and where they come from."""

    moments: list[dt.datetime]
    values: list[float]
    source: str


def _dedupe(moments: Sequence[dt.datetime], values: Sequence[float]) -> Curve:
    """Return the series with one value per moment (the last written)."""
    pairs = dict(zip(moments, values))
    keys = sorted(pairs)
    return Curve(keys, [pairs[k] for k in keys], "")


def _downstream(run: Run, variable: str, compound: str) -> Optional[OutSeries]:
    """Return the series of a variable in the last output segment, if printed."""
    if run.out is None:
        return None
    segments = run.out.segments(variable, compound)
    if not segments:
        return None
    return run.out.get(variable, compound, segments[-1])


def water_curve(run: Run, compound: str) -> Optional[Curve]:
    """Return the dissolved concentration (ug/L) at the downstream end.

    The momentary ConLiqWatLayCur when printed, else the interval means of
    ConLiqWatLay, both from RunId.out.
    """
    for variable in ("ConLiqWatLayCur", "ConLiqWatLay"):
        s = _downstream(run, variable, compound)
        if s is not None and s.unit in TO_UG_L:
            f = TO_UG_L[s.unit]
            curve = _dedupe(s.moments, [v * f for v in s.values])
            curve.source = f"{variable}, last segment (RunId.out)"
            return curve
    return None


def target_curve(run: Run, compound: str) -> Optional[Curve]:
    """Return the hourly ConWatTgt (ug/L) of the evaluation stretch (ZR, BRAX)."""
    if run.xpo is None or compound not in run.xpo.tables:
        return None
    table = run.xpo.tables[compound]
    moments = [m for m in table.moments if m is not None]
    curve = _dedupe(moments, table.column("ConWatTgt"))
    curve.source = f"ConWatTgt of the evaluation stretch in {table.year} (RunId.xpo)"
    return curve


# The sediment PEC and TWA tables of the summary hold the content in g.kg-1
# times 1000 (under a ug.kg-1 unit line); a further 1000 gives ug/kg.
SEDIMENT_TABLE_TO_UG_KG = 1000.0


def sediment_curve(run: Run, compound: str) -> Optional[Curve]:
    """Return the content of the target layer of the sediment (ug/kg), last segment."""
    s = _downstream(run, "CntSedTgt", compound)
    if s is None or s.unit not in TO_UG_KG:
        return None
    f = TO_UG_KG[s.unit]
    curve = _dedupe(s.moments, [v * f for v in s.values])
    curve.source = "CntSedTgt, last segment (RunId.out)"
    return curve


def hydrology_curves(run: Run) -> tuple[Optional[Curve], Optional[Curve]]:
    """Return the depth (m) and the downstream discharge (m3.s-1) over time."""
    if run.hyd is not None and run.hyd.times:
        moments = [m for m in run.hyd.moments if m is not None]
        depth = _dedupe(moments, run.hyd.depth)
        flow = _dedupe(moments, run.hyd.discharge_downstream)
        depth.source = flow.source = "RunId.hyd"
        return depth, flow
    curves: list[Optional[Curve]] = []
    for variable in ("DepWat", "QBou"):
        s = _downstream(run, variable, "")
        curve = _dedupe(s.moments, s.values) if s else None
        if curve:
            curve.source = f"{variable}, last segment (RunId.out)"
        curves.append(curve)
    return curves[0], curves[1]


def temperature_curve(run: Run) -> Optional[Curve]:
    """Return the water temperature (C) per hour from RunId.tem."""
    if run.tem is None or not run.tem.times:
        return None
    moments = [m for m in run.tem.moments if m is not None]
    curve = _dedupe(moments, run.tem.temperature_celsius)
    curve.source = "TemWat (RunId.tem)"
    return curve


def _svg(fig: plt.Figure) -> str:
    """Return the figure as the text of an inline <svg> element and close it."""
    buf = io.StringIO()
    fig.savefig(buf, format="svg", bbox_inches="tight", metadata={"Date": None})
    plt.close(fig)
    text = buf.getvalue()
    # The drawing's RDF metadata names outside vocabularies; the page needs none.
    text = re.sub(r"<metadata>.*?</metadata>\s*", "", text, flags=re.S)
    return text[text.index("<svg"):]


def _time_axis(ax: plt.Axes) -> None:
    locator = mdates.AutoDateLocator(minticks=4, maxticks=10)
    ax.xaxis.set_major_locator(locator)
    ax.xaxis.set_major_formatter(mdates.ConciseDateFormatter(locator))


def _period(ax: plt.Axes, runs: Sequence[tuple[str, Run]]) -> None:
    """Let the time axis span the simulation periods of the runs."""
    starts, ends = zip(*(run.summary.period for _, run in runs))
    first = min((m for m in starts if m), default=None)
    last = max((m for m in ends if m), default=None)
    if first and last:
        ax.set_xlim(first, last + dt.timedelta(days=1))


def _draw(ax: plt.Axes, curves: Sequence[tuple[str, Optional[Curve]]], ylabel: str) -> bool:
    drawn = False
    for k, (label, curve) in enumerate(curves):
        if curve is None or not curve.values:
            continue
        style = "-" if len(curve.values) > 40 else "-o"
        ax.plot(curve.moments, curve.values, style, color=COLOURS[k % len(COLOURS)], lw=1.0,
                ms=3, label=label)
        drawn = True
    ax.set_ylabel(ylabel)
    ax.ticklabel_format(axis="y", useOffset=False)
    _time_axis(ax)
    if not drawn:
        ax.text(0.5, 0.5, "not in the output of this run", transform=ax.transAxes,
                ha="center", va="center", color="grey")
    return drawn


def _mark_maximum(ax: plt.Axes, k: int, moment: Optional[dt.datetime],
                  value: Optional[float], unit: str, text: str) -> None:
    if moment is None or value is None:
        return
    colour = COLOURS[k % len(COLOURS)]
    ax.plot([moment], [value], marker="v", color=colour, ms=8, ls="none",
            label=f"maximum {text} {unit}")
    low, high = ax.get_xlim()
    right = mdates.date2num(moment) < (low + high) / 2
    ax.annotate(f"max {text} {unit}\n{moment:%d-%b-%Y %H:%M}", (moment, value),
                textcoords="offset points", xytext=(10 if right else -10, -6 - 22 * k),
                fontsize=8, color=colour, ha="left" if right else "right", va="top")


def concentration_figure(runs: Sequence[tuple[str, Run]], compound: str) -> str:
    """Return the figure of the dissolved concentration at the downstream end and
    the target-layer sediment content of a compound, global maxima marked."""
    fig, (top, bottom) = plt.subplots(2, 1, figsize=(9, 5.6), sharex=True)
    water = [(label, water_curve(run, compound)) for label, run in runs]
    target = [(f"{label}: evaluation stretch", target_curve(run, compound))
              for label, run in runs]
    sediment = [(label, sediment_curve(run, compound)) for label, run in runs]
    _draw(top, water, "ConLiqWatLay [ug.L-1]")
    for k, (label, curve) in enumerate(target):
        if curve is not None:
            top.plot(curve.moments, curve.values, color=COLOURS[k % len(COLOURS)], lw=0.8,
                     alpha=0.6, ls="--", label=label)
    _draw(bottom, sediment, "CntSedTgt [ug.kg-1]")
    _period(bottom, runs)
    for k, (label, run) in enumerate(runs):
        for ax, medium, unit, curves in ((top, "water", "ug/L", (target[k][1], water[k][1])),
                                         (bottom, "sediment", "ug/kg", (sediment[k][1],))):
            row = run.summary.global_maximum(compound, medium)
            if row is not None:
                if medium == "sediment":
                    # The sediment tables print g.kg-1 x 1000; the curve is in ug/kg.
                    value = row.value * SEDIMENT_TABLE_TO_UG_KG
                    _mark_maximum(ax, k, row.moment, value, unit, f"{value:.4g}")
                else:
                    _mark_maximum(ax, k, row.moment, row.value, unit, row.text)
                continue
            # Without a summary maximum (ZR, BRAX, Orlan) the highest value drawn.
            curve = next((c for c in curves if c is not None and c.values), None)
            if curve is not None and max(curve.values) > 0:
                i = max(range(len(curve.values)), key=curve.values.__getitem__)
                _mark_maximum(ax, k, curve.moments[i], curve.values[i], unit,
                              f"{curve.values[i]:.4g}")
    top.set_title(f"{compound}: dissolved concentration at the downstream end")
    bottom.set_title(f"{compound}: content of the target layer of the sediment")
    for ax in (top, bottom):
        if ax.get_legend_handles_labels()[0]:
            ax.legend(fontsize=7, loc="best")
    fig.tight_layout()
    return _svg(fig)


def hydrology_figure(runs: Sequence[tuple[str, Run]]) -> str:
    """Return the figure of water depth (m) and downstream discharge (m3.s-1)."""
    fig, (top, bottom) = plt.subplots(2, 1, figsize=(9, 5), sharex=True)
    pairs = [(label, hydrology_curves(run)) for label, run in runs]
    _draw(top, [(label, c[0]) for label, c in pairs], "depth [m]")
    _draw(bottom, [(label, c[1]) for label, c in pairs], "discharge [m3.s-1]")
    _period(bottom, runs)
    top.set_title("Water depth")
    bottom.set_title("Discharge at the downstream end")
    if len(runs) > 1:
        top.legend(fontsize=7)
    fig.tight_layout()
    return _svg(fig)


def temperature_figure(runs: Sequence[tuple[str, Run]]) -> str:
    """Return the figure of the water temperature (C)."""
    fig, ax = plt.subplots(figsize=(9, 2.8))
    _draw(ax, [(label, temperature_curve(run)) for label, run in runs], "TemWat [C]")
    _period(ax, runs)
    ax.set_title("Water temperature")
    if len(runs) > 1:
        ax.legend(fontsize=7)
    fig.tight_layout()
    return _svg(fig)


def mass_balance_figure(runs: Sequence[tuple[str, Run]], compound: str) -> str:
    """Return stacked bars of the monthly mass balance terms (g) of a compound,
    water layer above and sediment below; several runs side by side."""
    fig, axes = plt.subplots(2, 1, figsize=(9, 6))
    width = 0.8 / max(1, len(runs))
    for ax, system in zip(axes, ("water", "sediment")):
        months: list[tuple[int, int]] = []
        for _, run in runs:
            months += [(r.year, r.month) for r in run.summary.mass_balance
                       if r.compound == compound and r.system == system and r.month]
        months = sorted(set(months))
        index = {m: i for i, m in enumerate(months)}
        terms: list[str] = []
        for k, (label, run) in enumerate(runs):
            rows = [r for r in run.summary.mass_balance
                    if r.compound == compound and r.system == system and r.month]
            names = [n for n in (rows[0].terms if rows else {}) if not n.startswith("Del")]
            terms += [n for n in names if n not in terms]
            up = [0.0] * len(months)
            down = [0.0] * len(months)
            for n in names:
                xs = [index[(r.year, r.month)] + (k - (len(runs) - 1) / 2) * width for r in rows]
                vals = [r.terms[n] for r in rows]
                bases = [up[index[(r.year, r.month)]] if v >= 0 else down[index[(r.year, r.month)]]
                         for r, v in zip(rows, vals)]
                colour = plt.cm.tab20(terms.index(n) % 20)
                ax.bar(xs, vals, width, bottom=bases, color=colour, hatch=HATCHES[k % 4],
                       edgecolor="white", linewidth=0.3, label=n if k == 0 else None)
                for r, v in zip(rows, vals):
                    if v >= 0:
                        up[index[(r.year, r.month)]] += v
                    else:
                        down[index[(r.year, r.month)]] += v
        # Over many months only the first and every January are labelled.
        many = len(months) > 18
        ax.set_xticks(range(len(months)))
        ax.set_xticklabels([f"{dt.date(y, m, 1):%b %Y}" if not many or m == 1 or i == 0 else ""
                            for i, (y, m) in enumerate(months)], rotation=45, ha="right",
                           fontsize=7)
        ax.axhline(0, color="black", lw=0.6)
        ax.set_ylabel("mass [g]")
        where = "water layer" if system == "water" else "sediment"
        suffix = " (" + ", ".join(
            f"{label}: {HATCHES[k % 4] or 'plain'}" for k, (label, _) in enumerate(runs)) + ")" \
            if len(runs) > 1 else ""
        ax.set_title(f"{compound}: monthly mass balance of the {where}{suffix}")
        if terms:
            ax.legend(fontsize=6, ncol=7, loc="upper left")
        else:
            ax.text(0.5, 0.5, "no monthly mass balance", transform=ax.transAxes,
                    ha="center", va="center", color="grey")
    fig.tight_layout()
    return _svg(fig)
