#!/usr/bin/env python3
"""Writes the weather and field-model files of the example scenarios.

The files are generated from a plausible temperate climate (a daily and
yearly cycle of radiation and temperature, rain events from a fixed
pseudo-random sequence) so that every run of this script writes the same
bytes. The generated files are committed, so a user can read them; run this
script again after changing it:

    python3 tools/generate_examples.py
"""

import math
import os

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
LAT = math.radians(52.0)


class Random:
    """A linear congruential sequence: the same numbers on every machine."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) % 2147483648
        return self.state / 2147483648.0


def days_in_month(year, month):
    if month == 2:
        return 29 if (year % 4 == 0 and year % 100 != 0) or year % 400 == 0 else 28
    return [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][month - 1]


def days(first_year, last_year):
    """(year, month, day, day of year) for every day of the years."""
    for year in range(first_year, last_year + 1):
        doy = 0
        for month in range(1, 13):
            for day in range(1, days_in_month(year, month) + 1):
                doy += 1
                yield year, month, day, doy


def date_text(year, month, day, hour=0):
    """The 17-character date text; hour 24 is written as 24h00 of the day."""
    return "%02d-%s-%04d-%02dh00" % (day, MONTHS[month - 1], year, hour)


class Weather:
    """Hourly weather: the yearly and daily cycles plus rain events."""

    def __init__(self, first_year, last_year, seed=20261205):
        self.hours = []
        rnd = Random(seed)
        rain_left = 0
        for year, month, day, doy in days(first_year, last_year):
            season = math.sin(2 * math.pi * (doy - 110) / 365.0)
            if rain_left == 0 and rnd.next() < 0.12:
                rain_left = 2 + int(rnd.next() * 8)  # a shower of 2 to 9 hours
            cloud_day = 0.35 + 0.4 * rnd.next()
            for hour in range(1, 25):
                decl = 0.409 * math.cos(2 * math.pi * (doy - 172) / 365.25)
                omega = math.pi * (hour - 0.5) / 12 - math.pi
                sin_elev = math.sin(decl) * math.sin(LAT) + math.cos(decl) * math.cos(
                    LAT) * math.cos(omega)
                rain = 0.0
                cloud = cloud_day
                if rain_left > 0 and hour >= 12:
                    rain = round(0.4 + 2.2 * rnd.next(), 1)
                    rain_left -= 1
                    cloud = 0.95
                radiation = max(0.0, 3600 * 1.0 * sin_elev * (1 - 0.65 * cloud))  # kJ.m-2.h-1
                temp = 10 + 8 * season + 4 * math.sin(2 * math.pi * (hour - 9) / 24)
                rh = min(1.0, 0.78 - 0.15 * math.sin(2 * math.pi * (hour - 9) / 24) +
                         (0.15 if rain > 0 else 0.0))
                wind = 3.0 + 1.5 * math.sin(2 * math.pi * doy / 23.0) + rnd.next()
                evap = max(0.0, 0.0002 * radiation)
                self.hours.append((year, month, day, hour, radiation, temp, rh, cloud, wind,
                                   101.3, rain, evap))

    def until(self, year, month):
        """The weather up to (not including) the first day of month of year,
        plus that first day, so that a run can end on the day before."""
        self.hours = [h for h in self.hours if (h[0], h[1]) < (year, month) or
                      (h[0], h[1], h[2]) == (year, month, 1)]
        return self

    def daily(self):
        """Daily sums and means of the hourly weather."""
        out = []
        for i in range(0, len(self.hours), 24):
            day = self.hours[i:i + 24]
            y, m, d = day[0][0:3]
            mean = lambda k: sum(h[k] for h in day) / 24.0
            total = lambda k: sum(h[k] for h in day)
            out.append((y, m, d, total(4), mean(5), mean(6), mean(7), mean(8), mean(9),
                        total(10), total(11)))
        return out


def write_met(path, station, weather, hourly):
    with open(path, "w", newline="\n") as f:
        f.write("* Weather of station %s (generated)\n" % station)
        if hourly:
            f.write("* Station  Year Mo Dy Hr  Rad(kJ.m-2)  Temp(C)  RH(-)  Cloud(-)  "
                    "Wind(m.s-1)  Press(kPa)  Prec(mm)  Evap(mm)\n")
            for h in weather.hours:
                f.write("%-8s %5d %2d %2d %2d %10.1f %8.2f %6.3f %6.3f %7.2f %7.2f %6.1f %6.3f\n"
                        % ((station,) + h))
        else:
            f.write("* Station  Year Mo Dy  Rad(kJ.m-2)  Temp(C)  RH(-)  Cloud(-)  "
                    "Wind(m.s-1)  Press(kPa)  Prec(mm)  Evap(mm)\n")
            for d in weather.daily():
                f.write("%-8s %5d %2d %2d %10.1f %8.2f %6.3f %6.3f %7.2f %7.2f %6.1f %6.3f\n"
                        % ((station,) + d))


def drainage(weather, hourly, scale=0.25):
    """Drain water flux (mm per hour): a linear reservoir fed by the rain."""
    store, out = 0.0, []
    for h in weather.hours:
        store += h[10] * scale
        flux = store * 0.02
        store -= flux
        out.append(flux)
    if hourly:
        return out
    return [sum(out[i:i + 24]) / 24.0 for i in range(0, len(out), 24)]


def runoff(weather, threshold=1.5):
    """Runoff flux (mm per hour): the part of a shower above a threshold."""
    return [max(0.0, h[10] - threshold) * 0.6 for h in weather.hours]


def residue(h, half_life=20.0):
    """Fraction of the applied substance left in the field at hour h: none
    before the application of 15 May 1980 at 09h00, then first-order decline."""
    applied = (5, 15, 9)
    if (h[0], h[1], h[2], h[3]) < (1980,) + applied:
        return 0.0
    # Whole days since the application, from the day of the year.
    start = sum(days_in_month(1980, m) for m in range(1, 5)) + 15
    now = sum(days_in_month(h[0], m) for m in range(1, h[1])) + h[2]
    hours = (now - start) * 24 + (h[3] - 9) + (h[0] - 1980) * 366 * 24
    return math.exp(-math.log(2.0) * hours / 24.0 / half_life)


def daily_mean(values):
    return [sum(values[i:i + 24]) / 24.0 for i in range(0, len(values), 24)]


def stamps(weather, hourly):
    """(time in days from the start, date text) of every record."""
    out = []
    for i, h in enumerate(weather.hours):
        if hourly:
            out.append((i / 24.0, date_text(h[0], h[1], h[2], h[3] - 1)))
        elif h[3] == 1:
            out.append((i / 24.0, date_text(h[0], h[1], h[2], 0)))
    return out


def event_header(f, events):
    """Spray events announced in the header: "*  NumApp n", then one line per
    event: "*", date, loading (mg.m-2), dosage (g ai.ha-1), start and end of the
    loaded stretch (m) [, option, factor] as in the table Loadings."""
    f.write("*  NumApp %d\n" % len(events))
    for event in events:
        f.write("*  %s\n" % event)


def write_s2k(path, compound, weather, hourly):
    with open(path, "w", newline="\n") as f:
        f.write("* Drainage from the field (generated)\n")
        f.write("*   Compound : %s\n" % compound)
        event_header(f, ["15-May-1980-09h00  12.5  500  0  200"])
        f.write("* Date              Drain(mm.h-1)  Flux(mg.m-2.h-1)\n")
        # Drain water carries 10 mg.L-1 of the residue: mm.h-1 x mg.L-1 = mg.m-2.h-1.
        rest = [residue(h) for h in weather.hours]
        if not hourly:
            rest = daily_mean(rest)
        for (t, stamp), q, r in zip(stamps(weather, hourly), drainage(weather, hourly), rest):
            f.write("%s %12.6f %12.6f\n" % (stamp, q, q * 0.01 * r))


def write_q2k(path, compound, weather):
    with open(path, "w", newline="\n") as f:
        f.write("* Runoff and erosion from the field (generated)\n")
        f.write("*  Chemical: %s\n" % compound)
        event_header(f, ["15-May-1980-09h00  12.5  500  0  30"])
        f.write("* Date              Runoff(mm.h-1)  RnfFlx(mg.m-2.h-1)  Unused  "
                "ErsFlx(mg.m-2.h-1)  Infil(mm.h-1)\n")
        # Runoff carries 50 ug.L-1 of the residue, eroded soil a fifth of that.
        for (t, stamp), q, h in zip(stamps(weather, True), runoff(weather), weather.hours):
            rnf = q * 0.05 * residue(h)
            f.write("%s %12.6f %10.6f %10.4f %10.6f %12.6f\n"
                    % (stamp, q, rnf, 0.0, 0.2 * rnf, 0.0))


def write_e2k(path, compound, weather, hourly, orlan):
    with open(path, "w", newline="\n") as f:
        f.write("* Drain fluxes (generated)\n")
        f.write("*  Number of substances: 1\n")
        f.write("* Drain flux and concentration data for substance %s\n" % compound)
        event_header(f, ["15-May-1980  12.5  500  0  40"])
        if orlan:
            f.write("* Time(d) Date  Flux1  Flux2  Flux3 (m.d-1)  Conc1  Conc2  Conc3 (g.L-1)\n")
        else:
            f.write("* Time(d) Date  Flux (m.d-1)  Conc (g.L-1)\n")
        rest = [residue(h) for h in weather.hours]
        if not hourly:
            rest = daily_mean(rest)
        for (t, stamp), q, r in zip(stamps(weather, hourly), drainage(weather, hourly), rest):
            flux = q * 24 / 1000.0  # mm.h-1 -> m.d-1
            conc = 1e-5 * r  # g.L-1: 10 ug.L-1 of the residue
            if orlan:
                f.write("%10.4f %s %12.8f %12.8f %12.8f %12.4e %12.4e %12.4e\n"
                        % (t, stamp, 0.7 * flux, 0.2 * flux, 0.1 * flux, 0.5 * conc, conc, conc))
            else:
                f.write("%10.4f %s %12.8f %12.4e\n" % (t, stamp, flux, conc))


def write_brax(folder, run_id, zando, weather):
    with open(os.path.join(folder, run_id + ".b2k"), "w", newline="\n") as f:
        f.write("* Greenhouse basin (generated)\n")
        f.write("*  Number of substances: 1\n")
        event_header(f, ["15-May-1980-09h00  12.5  500  0  150"])
        f.write("* Time(d) Date  Paved(m.s-1)  Unused  Subst1(g.m-2.h-1)  Unused\n")
        for (t, stamp), h in zip(stamps(weather, True), weather.hours):
            paved = h[10] / 1000.0 / 3600.0 * 0.8  # m.s-1 from the paved area
            # Water from the paved area washes off 1 mg.m-2.h-1 of the residue.
            subst = 1e-3 * residue(h) if paved > 0.0 else 0.0
            f.write("%10.4f %s %14.6e %10.4f %12.4e %10.4f\n" % (t, stamp, paved, 0.0, subst, 0.0))
    with open(os.path.join(folder, zando + ".z2k"), "w", newline="\n") as f:
        f.write("Discharge of the upstream water course (generated)\n")
        f.write("Time(d) Date Q(m3.s-1)\n")
        base = 0.002
        for (t, stamp), q in zip(stamps(weather, True), drainage(weather, True)):
            f.write("%10.4f %s %12.6e\n" % (t, stamp, base + q * 1e-3))


def main():
    weather = Weather(1980, 1980)
    # The ditch runs 16 months (to 30 Apr 1981) and the weir reach four years, so
    # their weather runs on; the first year is the same as everyone else's.
    long_weather = {
        "ditch": Weather(1980, 1981).until(1981, 5),
        "weir_reach": Weather(1980, 1983),
    }
    scenarios = {
        "ditch": ("Ditch", True),
        "stream": ("Stream", True),
        "pond": ("Pond", True),
        "weir_reach": ("Weir", True),
        "greenhouse": ("Glass", True),
        "orlan_pond": ("Orlan", False),
        "constant_ditch": ("Const", False),
    }
    for folder, (station, hourly) in scenarios.items():
        path = os.path.join(ROOT, folder)
        os.makedirs(path, exist_ok=True)
        write_met(os.path.join(path, station + ".met"), station,
                  long_weather.get(folder, weather), hourly)
    write_s2k(os.path.join(ROOT, "stream", "stream.s2k"), "CMP", weather, True)
    write_q2k(os.path.join(ROOT, "pond", "pond.q2k"), "CMP", weather)
    write_e2k(os.path.join(ROOT, "orlan_pond", "orlan_pond_1.e2k"), "CMP", weather, False, True)
    write_brax(os.path.join(ROOT, "greenhouse"), "greenhouse", "upstream", weather)


if __name__ == "__main__":
    main()
