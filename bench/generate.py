#!/usr/bin/env python3
"""Writes one benchmark scenario folder: an input file derived from
examples/ditch/ditch.kvn and a synthetic hourly weather file in the layout of
examples/ditch/Ditch.met.

The scenario is the MERIX ditch of the example (spray drift, parent CMP and
transformation product MET) with its size changed along one dimension:

  --start DATE    first day simulated (default 01-Jan-1980)
  --years N       simulated years from the start year (default 1)
  --end DATE      last day simulated instead (e.g. 31-May-1980)
  --segments N    number of segments; every segment stays 10 m long, so
                  the water body is 10 x N m and the stability of the water
                  layer (and so the sub-step count) does not change with N
  --layers N      number of sediment layers (at least 5); every layer stays
                  2.5 mm thick: 4 in the first horizon (0.01 m), the rest in
                  the second, so the sediment's stable step does not change
  --compounds N   1 to 6 compounds: CMP, then a chain of transformation
                  products MET, M3, ... each formed from the one before
  --print all|none|default
                  every print_ switch Yes, every one No, or as in the example
  --interval X    print interval (OptDelTimPrn), default Month

Python 3 standard library only.
"""

import argparse
import datetime
import math
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
EXAMPLE = HERE.parent / "examples" / "ditch" / "ditch.kvn"
STATION = "Bench"
SEG_LEN = 10.0     # m per segment
LAY_THI = 0.0025   # m per sediment layer
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun",
          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


def fmt_date(d):
    return f"{d.day:02d}-{MONTHS[d.month - 1]}-{d.year}"


def parse_date(text):
    day, mon, year = text.split("-")
    return datetime.date(int(year), MONTHS.index(mon) + 1, int(day))


def replace_record(text, keyword, value):
    """Replaces the value of the record `value keyword` (first match)."""
    pattern = re.compile(r"^(\S+)(\s+)(" + re.escape(keyword) + r")\b", re.M)
    m = pattern.search(text)
    if m is None:
        sys.exit(f"generate.py: record {keyword} not found in {EXAMPLE}")
    width = len(m.group(1)) + len(m.group(2))
    new = value.ljust(max(width - 1, len(value))) + " " + keyword
    return text[:m.start()] + new + text[m.end():]


def replace_table(text, name, body_lines):
    """Replaces the rows of `table <name>` up to end_table."""
    pattern = re.compile(r"^(table " + re.escape(name) + r"[^\n]*\n)(.*?)(^end_table)",
                         re.M | re.S)
    m = pattern.search(text)
    if m is None:
        sys.exit(f"generate.py: table {name} not found in {EXAMPLE}")
    return text[:m.start(2)] + "".join(line + "\n" for line in body_lines) + text[m.start(3):]


def compound_names(n):
    return (["CMP", "MET"] + [f"M{k}" for k in range(3, n + 1)])[:n]


def substance_block(text, names):
    """The substance records: MET's block copied for each product."""
    met = re.findall(r"^\S+\s+\w+_MET\b.*$", text, re.M)
    cmp_ = re.findall(r"^\S+\s+\w+_CMP\b.*$", text, re.M)
    # Drop the example's blocks and write them again.
    text = re.sub(r"^\S+\s+\w+_(CMP|MET)\b.*\n", "", text, flags=re.M)
    lines = list(cmp_) + [""]
    for name in names[1:]:
        lines += [l.replace("_MET", "_" + name) for l in met] + [""]
    block = "\n".join(lines) + "\n"
    marker = "* Transformation products"
    at = text.index(marker)
    return text[:at] + block + text[at:]


def make_input(args, start, end):
    text = EXAMPLE.read_text()
    text = replace_record(text, "TimStart", fmt_date(start))
    text = replace_record(text, "TimEnd", fmt_date(end))
    text = replace_record(text, "OptDelTimPrn", args.interval)
    text = replace_record(text, "MeteoStation", STATION)
    text = text.replace("the file Ditch.met", f"the file {STATION}.met")

    # Water body: 10 m per segment.
    n = args.segments
    text = replace_table(text, "WaterBody", [
        "Len     NumSeg  WidWatSys  SloSidWatSys  DepWatDefPer",
        "(m)     (-)     (m)        (-)           (m)",
        f"{SEG_LEN * n:g}     {n}     1.0        0.0           0.2",
    ])

    # Sediment: layers of 2.5 mm, 4 in the first horizon of 0.01 m.
    lay = args.layers
    if lay < 5:
        sys.exit("generate.py: at least 5 sediment layers")
    text = replace_table(text, "SedimentProfile", [
        "ThiHor  NumLay",
        "(m)",
        f"0.01    4",
        f"{LAY_THI * (lay - 4):.6g}    {lay - 4}",
    ])

    # Compounds: a chain CMP -> MET -> M3 -> ...
    names = compound_names(args.compounds)
    text = replace_table(text, "compounds", names)
    text = substance_block(text, names)
    chain = [f"0.5    {p} ->  {d}" for p, d in zip(names, names[1:])]
    text = replace_table(text, "FraPrtDauWat (mol.mol-1)", chain)
    text = replace_table(text, "FraPrtDauSed (mol.mol-1)", chain)

    # One drift event on 15 May of every simulated year.
    events = []
    for year in range(start.year, end.year + 1):
        day = datetime.date(year, 5, 15)
        if start <= day <= end:
            events.append(f"15-May-{year}-09h00 12.5 500 0 100")
    text = replace_table(text, "Loadings", events)

    if args.print == "all":
        text = re.sub(r"^No(\s+print_)", r"Yes\1", text, flags=re.M)
    elif args.print == "none":
        text = re.sub(r"^Yes(\s+print_)", r"No \1", text, flags=re.M)
    return text


def weather_line(day, hour):
    """Hour 1..24 of a day of synthetic weather: daily and yearly cycles, a
    rain shower every fifth day, wind varying in a fixed pattern."""
    doy = day.timetuple().tm_yday
    year_phase = 2.0 * math.pi * (doy - 200) / 365.25
    day_phase = 2.0 * math.pi * (hour - 15) / 24.0
    temp = 10.0 + 8.0 * math.cos(year_phase) + 3.5 * math.cos(day_phase)
    daylen = 12.0 + 4.0 * math.cos(year_phase)
    noon_dist = abs(hour - 12.5)
    rad = 0.0
    if noon_dist < daylen / 2.0:
        peak = 1500.0 + 1200.0 * math.cos(year_phase)
        rad = peak * math.cos(math.pi * noon_dist / daylen)
    rh = min(0.98, 0.75 - 0.12 * math.cos(day_phase))
    cloud = 0.5 + 0.3 * math.sin(2.0 * math.pi * doy / 7.0)
    wind = 3.5 + 1.0 * math.sin(0.7 * doy + 1.3 * hour) * math.cos(0.37 * hour)
    prec = 1.2 if (doy % 5 == 0 and 6 <= hour <= 9) else 0.0
    evap = rad / 5000.0
    return (f"{STATION:<9s} {day.year:5d} {day.month:2d} {day.day:2d} {hour:2d} "
            f"{rad:10.1f} {temp:8.2f} {rh:6.3f} {cloud:6.3f} {wind:7.2f} "
            f"{101.3:7.2f} {prec:6.1f} {evap:6.3f}\n")


def write_weather(path, start, end):
    with open(path, "w") as f:
        f.write(f"* Weather of station {STATION} (synthetic, bench/generate.py)\n")
        f.write("* Station  Year Mo Dy Hr  Rad(kJ.m-2)  Temp(C)  RH(-)  Cloud(-)  "
                "Wind(m.s-1)  Press(kPa)  Prec(mm)  Evap(mm)\n")
        day = start
        while day <= end:
            for hour in range(1, 25):
                f.write(weather_line(day, hour))
            day += datetime.timedelta(days=1)


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("folder")
    p.add_argument("--run-id", default="bench")
    p.add_argument("--years", type=int, default=1)
    p.add_argument("--start", default="01-Jan-1980")
    p.add_argument("--end")
    p.add_argument("--segments", type=int, default=10)
    p.add_argument("--layers", type=int, default=20)
    p.add_argument("--compounds", type=int, default=2, choices=range(1, 7))
    p.add_argument("--print", choices=["all", "none", "default"], default="default")
    p.add_argument("--interval", default="Month")
    args = p.parse_args()

    start = parse_date(args.start)
    end = parse_date(args.end) if args.end else datetime.date(start.year + args.years - 1, 12, 31)
    folder = pathlib.Path(args.folder)
    folder.mkdir(parents=True, exist_ok=True)
    (folder / f"{args.run_id}.kvn").write_text(make_input(args, start, end))
    write_weather(folder / f"{STATION}.met", start, end)


if __name__ == "__main__":
    main()
