#!/usr/bin/env python3
"""The yearly sunspot numbers analysed from Python, with the picture.

    PYTHONPATH=build/python /usr/bin/python3 examples/sunspots.py [PICTURE.png]

The settings are those of the example batch's sunspots run (examples/batch/
sunspots.cnl): the p-values are those of its report, the Shuffled ones those of
the run as a batch of its own (the batch's generator runs on from run to run).
"""
import csv
import pathlib
import sys

import matplotlib

matplotlib.use("Agg")
import quorvel  # noqa: E402

here = pathlib.Path(__file__).parent
with open(here / "data" / "sunspots.csv", newline="") as f:
    rows = list(csv.DictReader(f))
sunspots = [float(row["SUNACTIVITY"]) for row in rows]

result = quorvel.analyse(sunspots, unit="years", rate=1.0, bandwidth=25.0,
                         ar_order=9, ar_threshold=0.05, resamples=99)
print(result)
print("AR lags kept:", result.ar["lags"])

picture = sys.argv[1] if len(sys.argv) > 1 else "sunspots.png"
result.plot().savefig(picture, dpi=100)
print("picture:", picture)
