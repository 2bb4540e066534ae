#!/usr/bin/env python3
"""Writes the example batch into examples/batch/ (fixed seeds, so the files
are the same on every machine)."""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "batch")


def write_data(name, title, values, header_tail, fmt="(f12.6)", value_format="{:12.6f}"):
    with open(os.path.join(OUT, name), "w") as f:
        f.write(title + "\n")
        f.write("rows = {} columns = 1 {} format ={}\n".format(len(values), header_tail, fmt))
        for v in values:
            f.write(value_format.format(v) + "\n")


def control(name, datafile, unit, band, taper, bw, ar=None, resamples=0, quantile="0.8", column=1):
    lines = [
        "Data file name ={} * the data file".format(datafile),
        "Column number = {} * the column analysed".format(column),
        "Sampling unit ={} * kHz, Hz or a time unit".format(unit),
    ]
    lines += band
    lines += [
        "% taper = {} * percent of each frame, 0 to 25".format(taper),
        "Resolution bandwidth = {} * spacing of the frequency grid".format(bw),
    ]
    if ar:
        lines += ["Prewhiten with AR({}) * largest AR order".format(ar[0]),
                  "p threshold = {} * for keeping a lag".format(ar[1])]
    else:
        lines += ["No whitening * (no AR order given)"]
    lines += [
        "start = 1 * first datum",
        "end = 0 * last datum, 0 = the last row",
        "Resamples = {} * bootstrap resamples (11 or more, with prewhitening)".format(resamples),
        "Quantile = {} * of the nonlinearity test".format(quantile),
        "#",
    ]
    with open(os.path.join(OUT, name), "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = random.Random(20091026)

    # 8192 values and frames of 20 points: e = ln 20 / ln 8192 = 0.332, inside
    # the consistency condition e <= 1/3 (docs/statistics.md).
    n = 8192
    white = [rng.gauss(0.0, 1.0) for _ in range(n)]
    write_data("white.dat", "Gaussian white noise, 8192 values at 1000 Hz", white, "rate = 1000.0 unit=Hz")
    control("white.cnl", "white.dat", "Hz", ["Lower freq = 0.0 * Hz", "Upper freq = 0.0 * Hz, 0 = Nyquist"],
            "0.0", "50.0")

    # A bilinear series: nonlinear, so the nonlinearity test should reject.
    x, e_prev, bil = 0.0, 0.0, []
    for t in range(n + 200):
        e = rng.gauss(0.0, 1.0)
        x = 0.6 * x + 0.3 * x * e_prev + e
        e_prev = e
        if t >= 200:
            bil.append(x)
    write_data("bilinear.dat", "Bilinear series, 8192 values at 10 kHz", bil, "rate = 10.0 unit=kHz")
    control("bilinear.cnl", "bilinear.dat", "kHz", ["Lower freq = 0.0 * kHz", "Upper freq = 0.0 * kHz"],
            "0.0", "500.0", ar=(5, "0.05"), resamples=99)

    # A linear AR(2) series with exponential innovations, in days.
    y1 = y2 = 0.0
    lin = []
    for t in range(n + 200):
        y = 0.5 * y1 - 0.3 * y2 + (rng.expovariate(1.0) - 1.0)
        y2, y1 = y1, y
        if t >= 200:
            lin.append(y)
    write_data("linear.dat", "Linear AR(2) series with exponential innovations, daily", lin, "interval = 1.0")
    control("linear.cnl", "linear.dat", "days", ["Longest period = 0.0 * days", "Shortest period = 0.0 * days"],
            "0.0", "20.0", ar=(4, "0.05"), resamples=99)

    # A threshold AR series: slow climbs, sharp drops once it passes 1.5,
    # so it looks different when run backwards (time irreversible).
    rng_tar = random.Random(6)
    z, tar = 0.0, []
    for t in range(2 * n + 200):
        e = rng_tar.gauss(0.0, 1.0)
        z = 0.95 * z + e if z < 1.5 else -0.3 * z + e
        if t >= 200:
            tar.append(z)
    write_data("irreversible.dat", "Threshold AR series (slow rise, sharp fall), 16384 values at 1000 Hz", tar,
               "rate = 1000.0 unit=Hz")
    control("irreversible.cnl", "irreversible.dat", "Hz", ["Lower freq = 0.0 * Hz", "Upper freq = 0.0 * Hz"],
            "0.0", "50.0", ar=(8, "0.05"), resamples=99)

    # Yearly sunspot numbers 1700-2008 (public domain, see README.md):
    # column 1 the year, column 2 the number, one value a year. 309 values
    # cannot meet e <= 1/3 with frames of 10 points or more: read the
    # Shuffled p-values of this run.
    with open(os.path.join(HERE, "data", "sunspots.csv")) as f:
        rows = [line.strip().split(",") for line in f.read().splitlines()[1:] if line.strip()]
    with open(os.path.join(OUT, "sunspots.dat"), "w") as f:
        f.write("Yearly sunspot numbers 1700-2008 (NGDC, public domain, via statsmodels)\n")
        f.write("rows = {} columns = 2 interval = 1.0 format =(2f8.1)\n".format(len(rows)))
        for year, spots in rows:
            f.write("{:8.1f}{:8.1f}\n".format(float(year), float(spots)))
    control("sunspots.cnl", "sunspots.dat", "years", ["Longest period = 0.0 * years",
            "Shortest period = 0.0 * years"], "0.0", "25.0", ar=(9, "0.05"), resamples=199, column=2)

    names = ("white.cnl", "bilinear.cnl", "linear.cnl", "irreversible.cnl", "sunspots.cnl")
    with open(os.path.join(OUT, "Runquorvel.cnl"), "w") as f:
        f.write("Number of runs = {} * the runs of the example batch\n".format(len(names)))
        for name in names:
            f.write(name + "* \n")


if __name__ == "__main__":
    main()
