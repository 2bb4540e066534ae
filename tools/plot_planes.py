#!/usr/bin/env python3
"""Pictures of a Quorvel run: the two trispectrum probability planes as heat
maps, and the trispectral probabilities against the uniform law.

    tools/plot_planes.py FOLDER [STEM ...] [--out FOLDER]

For every run STEM (by default every STEM_Quorvel.out in FOLDER) it reads
STEM_Quorvel.out, STEM-k3+_quorvel.out and STEM-k3-_quorvel.out and writes

    STEM-k3+_plane.png      heat map of the k3 > 0 probability plane
    STEM-k3-_plane.png      heat map of the k3 < 0 probability plane
    STEM-probabilities.png  fractiles of the trispectral probabilities as a
                            histogram and against the uniform law

Needs matplotlib (Debian: apt-get install python3-matplotlib).
Exit status: 0 when every picture was written, 1 otherwise.
"""
import argparse
import glob
import os
import re
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

LEVELS = [0.001, 0.01, 0.05, 0.10, 0.25, 0.50, 0.75, 0.90, 0.95, 0.99, 0.999]


class RunError(Exception):
    pass


def numbers(line):
    """The numbers of a line; a field of asterisks (overflow) reads as NaN."""
    out = []
    for token in line.split():
        if set(token) == {"*"}:
            out.append(float("nan"))
        else:
            try:
                out.append(float(token))
            except ValueError:
                pass
    return out


def read_report(path):
    """What the pictures need from a report: title, units, p-values, fractiles."""
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    run = {"title": "", "unit": None, "unitname": "", "pvalues": {}, "shuffled": {}}
    for i, line in enumerate(lines):
        if line.startswith("*" * 67) and i + 1 < len(lines) and not run["title"]:
            run["title"] = lines[i + 1].strip()
        m = re.match(r"\s*Sampling rate =\s*(\S+)\s+(kHz|Hz)\b", line)
        if m:
            run["unit"], run["unitname"] = m.group(2), m.group(2)
        m = re.match(r"\s*Sampling interval =\s*(\S+)\s(.{10})", line)
        if m:
            run["unit"], run["unitname"] = "time", m.group(2).strip()
        m = re.match(r"\s*(Shuffled )?p-value =\s*(\S+) for the (.*?)\s*$", line)
        if m:
            table = run["shuffled"] if m.group(1) else run["pvalues"]
            table[m.group(3)] = m.group(2)
        m = re.match(r"\s*(\d+) Trispectral p-values <\s*(\S+)", line)
        if m:
            run["below"] = (int(m.group(1)), m.group(2))
        if re.match(r"\s*0\.001\s+0\.01\s+0\.05", line):
            rest = [l for l in lines[i + 1:] if l.strip()]
            if len(rest) >= 2:
                run["fractiles"] = numbers(rest[0])
                run["fractile_p"] = numbers(rest[1].replace("p-values", ""))
    if run["unit"] is None:
        raise RunError(f"{path}: no sampling rate or interval line (did the run stop early?)")
    if len(run.get("fractiles", [])) != len(LEVELS):
        raise RunError(f"{path}: no fractiles of the trispectral probabilities")
    return run


def read_value_file(path):
    """The probability plane (rows: second frequency, columns: first) and the grid."""
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()[1:]
    while lines and not lines[-1].strip():
        lines.pop()
    if len(lines) < 2:
        raise RunError(f"{path}: no plane in the value file")
    grid = np.array(numbers(lines[-1]))
    plane = np.array([numbers(l) for l in lines[:-1]], dtype=float)
    if plane.shape != (len(grid), len(grid)):
        raise RunError(f"{path}: plane of shape {plane.shape} does not match a grid of {len(grid)}")
    return plane, grid


def axis_label(run, which):
    if run["unit"] == "time":
        return f"{which} period ({run['unitname']})"
    return f"{which} frequency f{1 if which == 'first' else 2} ({run['unitname']})"


def tick_text(value):
    return f"{value:.4g}"


def plot_plane(run, plane, grid, sign, out_path):
    ne = len(grid)
    first, second = np.meshgrid(np.arange(ne), np.arange(ne))
    # Only pairs with the second frequency at most the first carry a
    # probability; a pair without any trifrequency holds 0.
    shown = np.ma.masked_where((second > first) | (plane == 0.0), plane)
    fig, ax = plt.subplots(figsize=(7.2, 6.0), dpi=110)
    image = ax.imshow(shown, origin="lower", cmap="viridis", vmin=0.0, vmax=1.0, interpolation="nearest",
                      aspect="equal")
    ax.set_facecolor("#e8e8e8")
    step = max(1, int(np.ceil(ne / 10)))
    ticks = np.arange(0, ne, step)
    ax.set_xticks(ticks)
    ax.set_xticklabels([tick_text(grid[t]) for t in ticks], rotation=45, ha="right")
    ax.set_yticks(ticks)
    ax.set_yticklabels([tick_text(grid[t]) for t in ticks])
    ax.set_xlabel(axis_label(run, "first"))
    ax.set_ylabel(axis_label(run, "second"))
    bar = fig.colorbar(image, ax=ax, shrink=0.85)
    bar.set_label("chi-square probability of the pair (near 1: large trispectrum)")
    kind = "k3 > 0" if sign == "+" else "k3 < 0"
    ax.set_title(f"{run['title'][:79]}\nProbability plane, {kind} (grey: no trifrequency)", fontsize=9)
    fig.tight_layout()
    fig.savefig(out_path)
    plt.close(fig)


def cdf_from_fractiles(x, levels, at):
    """The share of probabilities at or below each point of `at`, from the
    fractiles: linear between neighbouring fractiles, with a jump where
    several fractiles coincide (0 at 0-, 1 at 1)."""
    points = {}
    for xv, lv in zip(x, levels):
        if np.isfinite(xv):
            lo, hi = points.get(xv, (lv, lv))
            points[xv] = (min(lo, lv), max(hi, lv))
    xs = sorted(points)
    # Right-continuous knots: value just before (left) and at (right) each x.
    knots = [(0.0, 0.0, 0.0)] + [(xv, points[xv][0], points[xv][1]) for xv in xs] + [(1.0, 1.0, 1.0)]
    out = []
    for p in at:
        value = 1.0
        for (x0, _, r0), (x1, l1, r1) in zip(knots, knots[1:]):
            if p < x1:
                value = r0 if x1 == x0 else r0 + (l1 - r0) * (p - x0) / (x1 - x0)
                break
            if p == x1:
                value = r1
                break
        out.append(max(0.0, min(1.0, value)))
    return np.array(out)


def plot_probabilities(run, out_path):
    x = np.array(run["fractiles"], dtype=float)
    levels = np.array(LEVELS)
    fig, (left, right) = plt.subplots(1, 2, figsize=(11.0, 5.2), dpi=110)

    # Ten equal bins; the share of each comes from the fractiles.
    edges = np.linspace(0.0, 1.0, 11)
    cdf = cdf_from_fractiles(x, levels, edges[1:])
    shares = np.diff(np.concatenate(([0.0], cdf)))
    density = shares / 0.1
    left.bar(edges[:-1], density, width=0.1, align="edge", color="#4c72b0", edgecolor="white",
             label="trispectral probabilities")
    left.axhline(1.0, color="#c44e52", lw=2, label="uniform law (density 1)")
    for e, d in zip(edges[:-1], density):
        left.annotate(f"{d:.2f}", (e + 0.05, d), textcoords="offset points", xytext=(0, 3), ha="center", fontsize=7)
    left.set_xlim(0, 1)
    left.set_ylim(0, max(1.5, float(np.nanmax(density)) * 1.15))
    left.set_xticks(edges)
    left.set_xlabel("normalized trispectral probability")
    left.set_ylabel("density")
    left.set_title("Histogram (rebuilt from the 11 fractiles)", fontsize=10)
    left.legend(loc="upper right", fontsize=8)

    right.plot([0, 1], [0, 1], color="#c44e52", lw=2, label="uniform law")
    right.plot(levels, x, "o-", color="#4c72b0", label="fractiles of the run")
    right.set_xlim(0, 1)
    right.set_ylim(0, 1)
    right.set_aspect("equal")
    right.set_xlabel("fractile level (uniform law)")
    right.set_ylabel("fractile of the probabilities")
    right.set_title("Fractiles against the uniform law", fontsize=10)
    right.legend(loc="upper left", fontsize=8)
    fp = run.get("fractile_p", [])
    if len(fp) == len(LEVELS):
        table = "p-values of the fractiles\n" + "\n".join(f"{lv:>5g}: {pv:.3f}" for lv, pv in zip(LEVELS, fp))
        right.text(1.04, 0.0, table, transform=right.transAxes, fontsize=7, family="monospace", va="bottom")

    lines = [run["title"][:90]]
    pv, sh = run["pvalues"], run["shuffled"]
    tests = [("nonlinearity", "quantile trispectrum"), ("reversibility", "time reversibility"),
             ("zero trispectrum", "zero trispectrum"), ("aliasing", "aliasing")]
    parts = []
    for label, key in tests:
        value = next((v for k, v in pv.items() if k.startswith(key)), None)
        if value is None:
            continue
        shuffled = next((v for k, v in sh.items() if k.startswith(key)), None)
        parts.append(f"{label} {value}" + (f" (shuffled {shuffled})" if shuffled else ""))
    if parts:
        lines.append("p-values: " + ",  ".join(parts))
    if "below" in run:
        lines.append(f"{run['below'][0]} trispectral probabilities below 1/n = {run['below'][1]}")
    fig.suptitle("\n".join(lines), fontsize=9)
    fig.tight_layout()
    fig.savefig(out_path)
    plt.close(fig)


def plot_run(folder, stem, out):
    run = read_report(os.path.join(folder, stem + "_Quorvel.out"))
    written = []
    for sign in "+-":
        plane, grid = read_value_file(os.path.join(folder, f"{stem}-k3{sign}_quorvel.out"))
        path = os.path.join(out, f"{stem}-k3{sign}_plane.png")
        plot_plane(run, plane, grid, sign, path)
        written.append(path)
    path = os.path.join(out, f"{stem}-probabilities.png")
    plot_probabilities(run, path)
    written.append(path)
    return written


def main(argv=None):
    parser = argparse.ArgumentParser(description="Pictures of the trispectrum planes of Quorvel runs.")
    parser.add_argument("folder", help="folder holding the reports and value files")
    parser.add_argument("stems", nargs="*", help="runs to draw (default: every *_Quorvel.out of the folder)")
    parser.add_argument("--out", help="folder for the pictures (default: the same folder)")
    args = parser.parse_args(argv)
    out = args.out or args.folder
    os.makedirs(out, exist_ok=True)
    stems = args.stems or sorted(os.path.basename(p)[: -len("_Quorvel.out")]
                                 for p in glob.glob(os.path.join(args.folder, "*_Quorvel.out")))
    if not stems:
        print(f"no reports (*_Quorvel.out) in {args.folder}", file=sys.stderr)
        return 1
    status = 0
    for stem in stems:
        try:
            for path in plot_run(args.folder, stem, out):
                print(path)
        except (OSError, RunError) as e:
            print(f"{stem}: {e}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
