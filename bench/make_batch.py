#!/usr/bin/env python3
"""Writes the benchmark batch into the folder given: one run of 65,536 values
of a bilinear series at 1000 Hz, the full band with frames of 256 points,
AR(5) prewhitening and 100 resamples."""
import os
import random
import sys


def main(out):
    os.makedirs(out, exist_ok=True)
    rng = random.Random(65536)
    x, e_prev, values = 0.0, 0.0, []
    for t in range(65536 + 200):
        e = rng.gauss(0.0, 1.0)
        x = 0.6 * x + 0.3 * x * e_prev + e
        e_prev = e
        if t >= 200:
            values.append(x)
    with open(os.path.join(out, "bilinear.dat"), "w") as f:
        f.write("Bilinear series x(t) = 0.6 x(t-1) + 0.3 x(t-1) e(t-1) + e(t)\n")
        f.write("rows = 65536 columns = 1 rate = 1000.0 format =(f12.6) unit=Hz\n")
        f.writelines("{:12.6f}\n".format(v) for v in values)
    with open(os.path.join(out, "bench.cnl"), "w") as f:
        f.write("\n".join([
            "Data file name =bilinear.dat *",
            "Column number = 1 *",
            "Sampling unit =Hz *",
            "Lower freq = 0.0 *",
            "Upper freq = 0.0 *",
            "% taper = 0.0 *",
            "Resolution bandwidth = 3.90625 *",
            "Prewhiten with AR(5) *",
            "p threshold = 0.05 *",
            "start = 1 *",
            "end = 0 *",
            "Resamples = 100 *",
            "Quantile = 0.8 *",
            "#",
        ]) + "\n")
    with open(os.path.join(out, "Runquorvel.cnl"), "w") as f:
        f.write("Runs = 1 *\nbench.cnl *\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "bench-batch")
