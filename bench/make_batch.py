#!/usr/bin/env python3
"""Writes a benchmark batch into the folder given. By default one run of
65,536 values of a bilinear series at 1000 Hz, the full band with frames of
256 points, AR(5) prewhitening and 100 resamples; the options change the
length, the frame and the prewhitening/resampling (a single pass:
--ar 0 --resamples 0)."""
import argparse
import os
import random


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out", nargs="?", default="bench-batch")
    parser.add_argument("--n", type=int, default=65536, help="values of the series")
    parser.add_argument("--m", type=int, default=256, help="frame length (power of two)")
    parser.add_argument("--ar", type=int, default=5, help="largest AR order, 0 = none")
    parser.add_argument("--resamples", type=int, default=100)
    parser.add_argument("--rate", type=float, default=1000.0, help="sampling rate (Hz)")
    args = parser.parse_args()
    out = args.out
    os.makedirs(out, exist_ok=True)
    rng = random.Random(65536)
    x, e_prev, values = 0.0, 0.0, []
    for t in range(args.n + 200):
        e = rng.gauss(0.0, 1.0)
        x = 0.6 * x + 0.3 * x * e_prev + e
        e_prev = e
        if t >= 200:
            values.append(x)
    with open(os.path.join(out, "bilinear.dat"), "w") as f:
        f.write("Bilinear series x(t) = 0.6 x(t-1) + 0.3 x(t-1) e(t-1) + e(t)\n")
        f.write("rows = {} columns = 1 rate = {!r} format =(f12.6) unit=Hz\n".format(args.n, args.rate))
        f.writelines("{:12.6f}\n".format(v) for v in values)
    # rate / M, exact in binary for a power of two M and a rate of 1024 Hz
    # (the control file takes at most seven digits).
    bandwidth = repr(args.rate / args.m)
    with open(os.path.join(out, "bench.cnl"), "w") as f:
        f.write("\n".join([
            "Data file name =bilinear.dat *",
            "Column number = 1 *",
            "Sampling unit =Hz *",
            "Lower freq = 0.0 *",
            "Upper freq = 0.0 *",
            "% taper = 0.0 *",
            "Resolution bandwidth = {} *".format(bandwidth),
            "Prewhiten with AR({}) *".format(args.ar),
            "p threshold = 0.05 *",
            "start = 1 *",
            "end = 0 *",
            "Resamples = {} *".format(args.resamples),
            "Quantile = 0.8 *",
            "#",
        ]) + "\n")
    with open(os.path.join(out, "Runquorvel.cnl"), "w") as f:
        f.write("Runs = 1 *\nbench.cnl *\n")


if __name__ == "__main__":
    main()
