#!/usr/bin/env python3
"""Size and power of the library's defaults, measured by simulation.

    PYTHONPATH=build/python /usr/bin/python3 docs/calibration/defaults.py \
        [--jobs J] [--scale S] [--lengths 100,300,...] [--models white,arch,...] [--peers on|off|auto]
        [--no-frames] [--no-mild] [--raw FILE [--resume]] [--from-raw FILE]
        [--check-doc FILE | --write-doc FILE]

Simulates series of known kind with fixed seeds at N = 100, 300, 1,000 and
4,096 values (SIZE_REPLICATES per size model, POWER_REPLICATES per power
model) and analyses each with the Python module three times:

- with no settings (the defaults: AR prewhitening up to min(10, N/10) at the
  threshold 0.05, 199 resamples, frames of 16 points), reading each test's
  `p`, the p-value the result says to read;
- with the defaults but resamples=0, reading the asymptotic p-values,
  whether the `non_gaussian` warning fired and the residuals' skewness and
  excess kurtosis;
- with the defaults of the releases before (no prewhitening, no bootstrap,
  the largest frame M >= 10 with ln M / ln N <= 0.3333), which fail below
  1,729 values.

Beside them, on the first PEER_REPLICATES series of every cell, three
established tests: the BDS test (statsmodels, embedding dimension 2,
epsilon 1.5 standard deviations, two-sided normal p-value) on the residuals
of an AR model whose order AIC chose up to min(10, N/10), and R tseries'
terasvirta.test and white.test (lag 1, chi-square form) on the series, R
run once per cell on a file of series.

Two smaller parts: the first FRAME_REPLICATES power series of each cell
analysed with the defaults and frames of 12 to 48 points (--no-frames
leaves it out), and mildly non-Gaussian i.i.d. series of 4,096 to 65,536
values analysed with resamples=0, for the `non_gaussian` warning's bounds
(--no-mild leaves it out).

Prints Markdown tables: the share of runs with p < 0.05, with its binomial
standard error.  --check-doc compares them with the block of FILE between
"<!-- defaults.py output begins -->" and "<!-- defaults.py output ends -->"
and exits 1 when they differ; --write-doc puts them there.

Reproducibility: every series has its own generator, seeded from the model,
N and the replicate (numpy's PCG64 through SeedSequence, whose uniform
draws are fixed across numpy versions; normals by Box-Muller, t, Laplace and
exponential values from them), and every call passes its own seed, so the
tables do not depend on --jobs or on the order in which tasks finish.  The
results of each finished task go to --raw at once, so a run that stops
loses nothing: rerun it with --resume.
"""
import argparse
import json
import math
import multiprocessing
import os
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

import numpy as np

LEVEL = 0.05
BURN_IN = 500               # values simulated and dropped before each series
LENGTHS = (100, 300, 1000, 4096)
SIZE_REPLICATES = 500       # per cell at --scale 1
POWER_REPLICATES = 200
PEER_REPLICATES = 200       # the first ones of each cell also go to the peers
CHUNK = 50                  # series per quorvel task
PEER_CHUNK = 25             # series per BDS task
FRAMES = (12, 16, 24, 32, 48)  # frame lengths compared on the power models
FRAME_REPLICATES = 100      # the first ones of each power cell
FRAME_CHUNK = 10
TESTS = ("nonlinearity", "reversibility", "gaussianity", "aliasing")
TEST_LABELS = ("nonlinearity", "reversibility", "zero trispectrum", "aliasing")
PEERS = ("bds", "terasvirta", "white")
PEER_LABELS = ("BDS", "Teräsvirta", "White")


# ---------------------------------------------------------------- simulation

def generator(model_seed, n, replicate, stream=0):
    return np.random.Generator(np.random.PCG64(np.random.SeedSequence([model_seed, n, replicate, stream])))


def normals(rng, count):
    """Standard normals by Box-Muller from the generator's uniform draws."""
    half = (count + 1) // 2
    u1 = 1.0 - rng.random(half)  # in (0, 1]
    u2 = rng.random(half)
    r = np.sqrt(-2.0 * np.log(u1))
    return np.concatenate([r * np.cos(2.0 * np.pi * u2), r * np.sin(2.0 * np.pi * u2)])[:count]


def white(rng, n):
    return normals(rng, n)


def ar2(rng, n):
    e = normals(rng, n + BURN_IN).tolist()
    x1 = x2 = 0.0
    out = []
    for et in e:
        x1, x2 = x1 - 0.5 * x2 + et, x1
        out.append(x1)
    return np.array(out[BURN_IN:])


def ma1(rng, n):
    e = normals(rng, n + 1)
    return e[1:] + 0.8 * e[:-1]


def student5(rng, n):
    z = normals(rng, 6 * n).reshape(6, n)
    return z[0] / np.sqrt((z[1:] ** 2).sum(axis=0) / 5.0)


def laplace(rng, n):
    u = rng.random(n) - 0.5
    return -np.sign(u) * np.log1p(-2.0 * np.abs(u))


def linear_exponential(rng, n):
    e = (-np.log1p(-rng.random(n + BURN_IN)) - 1.0).tolist()
    x = 0.0
    out = []
    for et in e:
        x = 0.5 * x + et
        out.append(x)
    return np.array(out[BURN_IN:])


def arch1(rng, n):
    e = normals(rng, n + BURN_IN).tolist()
    x = 0.0
    out = []
    for et in e:
        x = et * math.sqrt(1.0 + 0.5 * x * x)
        out.append(x)
    return np.array(out[BURN_IN:])


def bilinear(rng, n):
    e = normals(rng, n + BURN_IN).tolist()
    x = e_prev = 0.0
    out = []
    for et in e:
        x = 0.5 * x * e_prev + et
        e_prev = et
        out.append(x)
    return np.array(out[BURN_IN:])


def threshold_ar(rng, n):
    e = normals(rng, n + BURN_IN).tolist()
    x = 0.0
    out = []
    for et in e:
        x = (0.6 * x if x <= 0.0 else -0.4 * x) + et
        out.append(x)
    return np.array(out[BURN_IN:])


def exponential_ar(rng, n):
    e = normals(rng, n + BURN_IN).tolist()
    x = 0.0
    out = []
    for et in e:
        x = (0.5 + 0.9 * math.exp(-x * x)) * x + et
        out.append(x)
    return np.array(out[BURN_IN:])


MODELS = [
    # key, size (True) or power, label, generator, seed
    ("white", True, "Gaussian white noise", white, 101),
    ("ar2", True, "Gaussian AR(2), x = x₁ − 0.5x₂ + e", ar2, 102),
    ("ma1", True, "Gaussian MA(1), x = e + 0.8e₁", ma1, 103),
    ("t5", True, "i.i.d. Student t(5)", student5, 104),
    ("laplace", True, "i.i.d. Laplace", laplace, 105),
    ("linexp", True, "AR(1) 0.5, centred exponential e", linear_exponential, 106),
    ("arch", False, "ARCH(1), x = e·√(1 + 0.5x₁²)", arch1, 201),
    ("bilinear", False, "bilinear, x = 0.5x₁e₁ + e", bilinear, 202),
    ("tar", False, "threshold AR, x = 0.6x₁ (x₁ ≤ 0) or −0.4x₁ (x₁ > 0), + e", threshold_ar, 203),
    ("expar", False, "exponential AR, x = (0.5 + 0.9·exp(−x₁²))x₁ + e", exponential_ar, 204),
]


def student(nu):
    def generate(rng, n):
        z = normals(rng, (nu + 1) * n).reshape(nu + 1, n)
        return z[0] / np.sqrt((z[1:] ** 2).sum(axis=0) / nu)
    return generate


def uniform(rng, n):
    return rng.random(n) - 0.5


def gamma(shape):
    """Centred gamma with a whole shape: a sum of exponentials (skewness 2/sqrt(shape), excess kurtosis 6/shape)."""
    def generate(rng, n):
        return (-np.log1p(-rng.random((shape, n)))).sum(axis=0) - shape
    return generate


# The mildly non-Gaussian i.i.d. series on which the non_gaussian warning's
# thresholds are judged (asymptotic p-values only: no bootstrap, so long
# series are cheap), at lengths where frames of 16 points meet e <= 1/3.
MILD_MODELS = [
    ("g", "Gaussian (skewness 0, excess kurtosis 0)", white, 301),
    ("t16", "t(16) (0, 0.5)", student(16), 302),
    ("t10", "t(10) (0, 1)", student(10), 303),
    ("t7", "t(7) (0, 2)", student(7), 304),
    ("uniform", "uniform (0, −1.2)", uniform, 305),
    ("gamma16", "gamma(16) (0.5, 0.375)", gamma(16), 306),
    ("gamma4", "gamma(4) (1, 1.5)", gamma(4), 307),
]
MILD_LENGTHS = (4096, 16384, 65536)
MILD_REPLICATES = 200
MILD_CHUNK = 50
MODEL = {m[0]: m for m in MODELS}
MODEL.update({m[0]: (m[0], True, m[1], m[2], m[3]) for m in MILD_MODELS})


def series(model, n, replicate):
    key, _, _, generate, seed = MODEL[model]
    return generate(generator(seed, n, replicate), n)


def call_seed(model, n, replicate):
    """The seed of the bootstrap's shuffles in one call: its own per series."""
    return int(np.random.SeedSequence([MODEL[model][4], n, replicate, 1]).generate_state(1)[0])


def previous_frame(n):
    """The frame the releases before chose: the largest M >= 10 with ln M / ln N <= 0.3333 in 32-bit arithmetic."""
    f = np.float32
    exponent = lambda m: f(np.log(f(m)) / np.log(f(n)))
    if not exponent(10) <= f(0.3333):
        return 10
    m = 10
    while exponent(m + 1) <= f(0.3333):
        m += 1
    return m


# ---------------------------------------------------------------- the tasks

def quorvel_task(model, n, first, count):
    import quorvel

    rows = []
    for r in range(first, first + count):
        x = series(model, n, r)
        seed = call_seed(model, n, r)
        row = {"r": r}
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            new = quorvel.analyse(x, seed=seed, threads=1)
            row["p"] = [t.p for t in new.tests]
            row["shuffled"] = all(t.shuffled for t in new.tests)
            row["warnings"] = sorted({w.code for w in new.warnings})
            row["lags"] = len(new.ar["lags"]) if new.ar else 0
            row["M"] = new.M
            asym = quorvel.analyse(x, seed=seed, threads=1, resamples=0)
            row["p_asym"] = [t.p for t in asym.tests]
            row["asym_same"] = [t.p_asymptotic for t in new.tests] == row["p_asym"]
            row["asym_warnings"] = sorted({w.code for w in asym.warnings})
            moments = asym.residual_statistics or asym.data_statistics
            row["skewness"] = moments["skewness"]
            row["kurtosis"] = moments["kurtosis"]
            try:
                old = quorvel.analyse(x, seed=seed, threads=1, ar_order=0, resamples=0, frame_length=previous_frame(n))
                row["p_old"] = [t.p for t in old.tests]
            except quorvel.QuorvelError as error:
                row["p_old"] = None
                row["old_error"] = str(error)
        rows.append(row)
    return rows


def bds_task(model, n, first, count):
    from statsmodels.tsa.ar_model import AutoReg, ar_select_order
    from statsmodels.tsa.stattools import bds

    rows = []
    for r in range(first, first + count):
        x = series(model, n, r)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            lags = ar_select_order(x, maxlag=min(10, n // 10), ic="aic", trend="c").ar_lags
            residuals = AutoReg(x, lags=lags if lags else 0, trend="c").fit().resid
            _, p = bds(residuals, max_dim=2, distance=1.5)
        rows.append({"r": r, "bds": float(p), "ar_order": int(max(lags)) if lags else 0})
    return rows


R_SCRIPT = r"""
args <- commandArgs(trailingOnly = TRUE)
suppressPackageStartupMessages(library(tseries))
x <- as.matrix(read.csv(args[1], header = FALSE))
set.seed(as.integer(args[3]))
p <- t(apply(x, 2, function(v) c(terasvirta.test(ts(v), lag = 1, type = "Chisq")$p.value,
                                 white.test(ts(v), lag = 1, type = "Chisq")$p.value)))
write.table(p, args[2], sep = ",", row.names = FALSE, col.names = FALSE)
"""


def r_task(model, n, first, count):
    folder = tempfile.mkdtemp(prefix="quorvel-defaults-r-")
    try:
        data = os.path.join(folder, "series.csv")
        out = os.path.join(folder, "p.csv")
        script = os.path.join(folder, "peers.R")
        with open(script, "w") as f:
            f.write(R_SCRIPT)
        matrix = np.column_stack([series(model, n, r) for r in range(first, first + count)])
        np.savetxt(data, matrix, delimiter=",", fmt="%.17g")
        done = subprocess.run(["Rscript", script, data, out, str(MODEL[model][4] * 100000 + n)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        if done.returncode != 0:
            raise RuntimeError("Rscript failed on {} N = {}:\n{}".format(model, n, done.stdout.decode(errors="replace")[-2000:]))
        p = np.loadtxt(out, delimiter=",", ndmin=2)
        return [{"r": first + i, "terasvirta": float(p[i, 0]), "white": float(p[i, 1])} for i in range(count)]
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def frame_task(model, n, first, count):
    """The defaults with each frame length of FRAMES that the series admits (four frames at least)."""
    import quorvel

    rows = []
    for r in range(first, first + count):
        x = series(model, n, r)
        row = {"r": r}
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            for m in FRAMES:
                if 4 * m <= n:
                    row[str(m)] = [t.p for t in quorvel.analyse(x, seed=call_seed(model, n, r), threads=1,
                                                                   frame_length=m).tests]
        rows.append(row)
    return rows


def mild_task(model, n, first, count):
    """Asymptotic p-values (resamples=0, the defaults otherwise), the warnings and the moments of the residuals."""
    import quorvel

    rows = []
    for r in range(first, first + count):
        x = series(model, n, r)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            asym = quorvel.analyse(x, threads=1, resamples=0)
        moments = asym.residual_statistics or asym.data_statistics
        rows.append({"r": r, "p_asym": [t.p for t in asym.tests], "asym_warnings": sorted({w.code for w in asym.warnings}),
                     "skewness": moments["skewness"], "kurtosis": moments["kurtosis"]})
    return rows


TASKS = {"quorvel": quorvel_task, "bds": bds_task, "r": r_task, "frame": frame_task, "mild": mild_task}


def run_task(task):
    kind, model, n, first, count = task
    started = time.process_time()
    rows = TASKS[kind](model, n, first, count)
    return {"task": list(task), "rows": rows, "cpu": time.process_time() - started}


def worker_start():
    warnings.simplefilter("ignore")


def plan(models, lengths, scale, peers, frames, mild):
    tasks = []
    for key, size, _, _, _ in MODELS:
        if key not in models:
            continue
        replicates = max(1, int(round((SIZE_REPLICATES if size else POWER_REPLICATES) * scale)))
        peer_replicates = min(replicates, max(1, int(round(PEER_REPLICATES * scale))))
        for n in lengths:
            for first in range(0, replicates, CHUNK):
                tasks.append(("quorvel", key, n, first, min(CHUNK, replicates - first)))
            if peers:
                for first in range(0, peer_replicates, PEER_CHUNK):
                    tasks.append(("bds", key, n, first, min(PEER_CHUNK, peer_replicates - first)))
                tasks.append(("r", key, n, 0, peer_replicates))
            if frames and not size:
                frame_replicates = min(replicates, max(1, int(round(FRAME_REPLICATES * scale))))
                for first in range(0, frame_replicates, FRAME_CHUNK):
                    tasks.append(("frame", key, n, first, min(FRAME_CHUNK, frame_replicates - first)))
    if mild:
        for key, _, _, _ in MILD_MODELS:
            replicates = max(1, int(round(MILD_REPLICATES * scale)))
            for n in MILD_LENGTHS:
                for first in range(0, replicates, MILD_CHUNK):
                    tasks.append(("mild", key, n, first, min(MILD_CHUNK, replicates - first)))
    # The costliest first (BDS grows as N squared), so that the workers end together.
    cost = {"quorvel": 1.0, "bds": 0.0, "r": 0.1, "frame": 20.0, "mild": 0.05}
    tasks.sort(key=lambda t: -(t[2] * cost[t[0]] + (t[2] ** 2 / 4096.0 * 6.0 if t[0] == "bds" else 0.0)) * t[4])
    return tasks


# ---------------------------------------------------------------- tables

def share(flags):
    """'x.x (se)' of a list of booleans, in %."""
    runs = len(flags)
    if runs == 0:
        return "–"
    p = sum(flags) / runs
    return "{:.1f} ({:.1f})".format(100.0 * p, 100.0 * math.sqrt(p * (1.0 - p) / runs))


def thousands(n):
    return "{:,}".format(n)


def collect(records):
    """{(kind, model, n): {replicate: row}} from the raw records."""
    cells = {}
    for record in records:
        kind, model, n = record["task"][:3]
        cell = cells.setdefault((kind, model, n), {})
        for row in record["rows"]:
            cell[row["r"]] = row
    return cells


def rows_of(cells, kind, model, n):
    cell = cells.get((kind, model, n), {})
    return [cell[r] for r in sorted(cell)]


def size_power_table(cells, models, lengths, peers):
    out = ["| series | N | runs | " + " | ".join(TEST_LABELS) + (" | peer runs | " + " | ".join(PEER_LABELS) if peers else "") + " |",
           "|---|---:|---:|" + "---:|" * len(TESTS) + ("---:|" + "---:|" * len(PEERS) if peers else "")]
    for key, _, label, _, _ in models:
        for n in lengths:
            runs = rows_of(cells, "quorvel", key, n)
            line = [label, thousands(n), str(len(runs))]
            line += [share([row["p"][i] < LEVEL for row in runs]) for i in range(len(TESTS))]
            if peers:
                bds_rows = rows_of(cells, "bds", key, n)
                r_rows = rows_of(cells, "r", key, n)
                line.append(str(len(bds_rows)))
                line.append(share([row["bds"] < LEVEL for row in bds_rows]))
                line.append(share([row["terasvirta"] < LEVEL for row in r_rows]))
                line.append(share([row["white"] < LEVEL for row in r_rows]))
            out.append("| " + " | ".join(line) + " |")
    return out


def before_after_table(cells, lengths):
    out = ["| series | N | runs | " + " | ".join(TEST_LABELS) + " |",
           "|---|---:|---:|" + "---:|" * len(TESTS)]
    failed = {}
    for key, _, label, _, _ in MODELS:
        for n in lengths:
            runs = rows_of(cells, "quorvel", key, n)
            computed = [row for row in runs if row["p_old"] is not None]
            if runs:
                counts = failed.setdefault(n, [0, 0])
                counts[0] += len(runs) - len(computed)
                counts[1] += len(runs)
            if not computed:
                continue
            line = [label, thousands(n), str(len(computed))]
            for i in range(len(TESTS)):
                line.append("{:.1f} → {:.1f}".format(
                    100.0 * sum(row["p_old"][i] < LEVEL for row in computed) / len(computed),
                    100.0 * sum(row["p"][i] < LEVEL for row in runs) / len(runs)))
            out.append("| " + " | ".join(line) + " |")
    out.append("")
    out.append("Calls that failed with the previous defaults: " + "; ".join(
        "N = {}: {} of {}".format(thousands(n), thousands(bad), thousands(total)) for n, (bad, total) in sorted(failed.items()))
        + "; the defaults now gave p-values in every call.")
    return out


def previous_bounds_cross(row, n):
    """Whether the residuals' moments cross the bounds of the earlier rule, max(0.5, 3 sqrt(6/N)) and max(1, 3 sqrt(24/N))."""
    return (abs(row["skewness"]) > max(0.5, 3.0 * math.sqrt(6.0 / n))
            or abs(row["kurtosis"]) > max(1.0, 3.0 * math.sqrt(24.0 / n)))


def warning_table(cells, models, lengths):
    out = ["| series | N | warning fires | earlier bounds | " + " | ".join(TEST_LABELS) + " |",
           "|---|---:|---:|---:|" + "---:|" * len(TESTS)]
    for key, _, label, _, _ in models:
        for n in lengths:
            runs = rows_of(cells, "quorvel", key, n)
            if not runs:
                continue
            fired = [("non_gaussian" in row["asym_warnings"]) for row in runs]
            quiet = [row for row, f in zip(runs, fired) if not f]
            line = [label, thousands(n), share(fired), share([previous_bounds_cross(row, n) for row in runs])]
            for i in range(len(TESTS)):
                all_runs = 100.0 * sum(row["p_asym"][i] < LEVEL for row in runs) / len(runs)
                unwarned = ("{:.0f}".format(100.0 * sum(row["p_asym"][i] < LEVEL for row in quiet) / len(quiet))
                            if quiet else "–")
                line.append("{:.0f} / {}".format(all_runs, unwarned))
            out.append("| " + " | ".join(line) + " |")
    return out


def frame_table(cells, models, lengths):
    out = ["| series | N | runs | " + " | ".join("M = {}".format(m) for m in FRAMES) + " |",
           "|---|---:|---:|" + "---:|" * len(FRAMES)]
    for key, _, label, _, _ in models:
        for n in lengths:
            runs = rows_of(cells, "frame", key, n)
            if not runs:
                continue
            line = [label, thousands(n), str(len(runs))]
            for m in FRAMES:
                if str(m) not in runs[0]:
                    line.append("–")
                    continue
                line.append(" / ".join("{:.0f}".format(100.0 * sum(row[str(m)][i] < LEVEL for row in runs) / len(runs))
                                       for i in range(len(TESTS))))
            out.append("| " + " | ".join(line) + " |")
    return out


def mild_table(cells):
    out = ["| series (skewness, excess kurtosis) | N | runs | warning fires | earlier bounds | " + " | ".join(TEST_LABELS) + " |",
           "|---|---:|---:|---:|---:|" + "---:|" * len(TESTS)]
    for key, label, _, _ in MILD_MODELS:
        for n in MILD_LENGTHS:
            runs = rows_of(cells, "mild", key, n)
            if not runs:
                continue
            fired = [("non_gaussian" in row["asym_warnings"]) for row in runs]
            quiet = [row for row, f in zip(runs, fired) if not f]
            line = [label, thousands(n), str(len(runs)), share(fired), share([previous_bounds_cross(row, n) for row in runs])]
            for i in range(len(TESTS)):
                unwarned = ("{:.0f}".format(100.0 * sum(row["p_asym"][i] < LEVEL for row in quiet) / len(quiet))
                            if quiet else "–")
                line.append("{:.0f} / {}".format(100.0 * sum(row["p_asym"][i] < LEVEL for row in runs) / len(runs), unwarned))
            out.append("| " + " | ".join(line) + " |")
    return out


def tables(cells, models, lengths, peers):
    chosen = [m for m in MODELS if m[0] in models]
    size = [m for m in chosen if m[1]]
    power = [m for m in chosen if not m[1]]
    out = []
    out.append("Share of runs with p < 0.05, in %, with its binomial standard error in brackets. "
               "Quorvel: the p-value each test reports (`tests[i].p`) of a call with no settings"
               + ("; peers: BDS (dimension 2, ε = 1.5 sd) on AIC-chosen AR residuals, tseries' terasvirta.test "
                  "and white.test (lag 1), on the first runs of the same series." if peers else "."))
    out.append("")
    if size:
        out.append("**Size of the defaults** (goal: 2–8 %)")
        out.append("")
        out += size_power_table(cells, size, lengths, peers)
        out.append("")
    if power:
        out.append("**Power of the defaults**")
        out.append("")
        out += size_power_table(cells, power, lengths, peers)
        out.append("")
    out.append("**Before and after**: share of runs with p < 0.05, in %, with the previous defaults (no "
               "prewhitening, no bootstrap, the largest frame M ≥ 10 with ln M / ln N ≤ 0.3333: M = "
               + ", ".join("{} at N = {}".format(previous_frame(n), thousands(n)) for n in lengths)
               + ") → with the defaults now")
    out.append("")
    out += before_after_table(cells, lengths)
    out.append("")
    out.append("**The `non_gaussian` warning** with resamples=0 (the defaults otherwise, so the p-values are "
               "the asymptotic ones): the share of runs in which it fires, in %; the share in which the residuals' "
               "moments cross the earlier bounds max(0.5, 3√(6/N)) and max(1, 3√(24/N)); for each test the share "
               "of runs with asymptotic p < 0.05, in %, in all runs / in the runs without the warning")
    out.append("")
    out += warning_table(cells, size, lengths)
    if any(kind == "mild" for kind, _, _ in cells):
        out.append("")
        out.append("**The `non_gaussian` warning on long, mildly non-Gaussian i.i.d. series** (resamples=0, frames "
                   "of 16 points: e ≤ 0.3333 from 4,100 values on): as above")
        out.append("")
        out += mild_table(cells)
    if any(kind == "frame" for kind, _, _ in cells):
        out.append("")
        out.append("**Frame length and power**: the defaults with frames of M points (four frames at least), on "
                   "the first runs of the power series; share of runs with p < 0.05, in %, for the nonlinearity / "
                   "reversibility / zero-trispectrum / aliasing tests")
        out.append("")
        out += frame_table(cells, power, lengths)
    problems = []
    for (kind, model, n), cell in sorted(cells.items()):
        if kind != "quorvel":
            continue
        odd = sum(1 for row in cell.values() if not row["shuffled"] or not row["asym_same"])
        if odd:
            problems.append("{} N = {}: {} runs without Shuffled p-values or with other asymptotic ones".format(model, n, odd))
    return "\n".join(out).rstrip("\n") + "\n", problems


# ---------------------------------------------------------------- the document

DOC_BEGIN = "<!-- defaults.py output begins -->"
DOC_END = "<!-- defaults.py output ends -->"


def doc_parts(path):
    with open(path) as f:
        text = f.read()
    begin = text.index(DOC_BEGIN) + len(DOC_BEGIN)
    end = text.index(DOC_END)
    return text[:begin], text[begin:end].strip("\n") + "\n", text[end:]


def read_raw(path):
    records = []
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                if line.strip():
                    records.append(json.loads(line))
    return records


def peers_available():
    try:
        import statsmodels.tsa.stattools  # noqa: F401
    except ImportError:
        return False
    if shutil.which("Rscript") is None:
        return False
    check = subprocess.run(["Rscript", "-e", "suppressPackageStartupMessages(library(tseries))"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    return check.returncode == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--jobs", type=int, default=2, help="tasks at once (default 2; the results do not depend on it)")
    parser.add_argument("--scale", type=float, default=1.0,
                        help="multiplies the replicate counts (default 1, as in docs/statistics.md)")
    parser.add_argument("--lengths", default=",".join(str(n) for n in LENGTHS), help="series lengths, comma-separated")
    parser.add_argument("--models", default=",".join(m[0] for m in MODELS),
                        help="models, comma-separated: " + ", ".join(m[0] for m in MODELS))
    parser.add_argument("--peers", choices=("on", "off", "auto"), default="on",
                        help="the BDS, Teräsvirta and White tests beside Quorvel's: on (default), off, or auto "
                             "(on when statsmodels and R's tseries are there)")
    parser.add_argument("--no-frames", action="store_true", help="leave out the comparison of frame lengths")
    parser.add_argument("--no-mild", action="store_true",
                        help="leave out the mildly non-Gaussian series of the non_gaussian warning's study")
    parser.add_argument("--raw", default=None, help="append the results of every task to this file (JSON lines)")
    parser.add_argument("--resume", action="store_true", help="skip the tasks already in --raw")
    parser.add_argument("--from-raw", default=None, help="print the tables of this raw file; simulate nothing")
    parser.add_argument("--check-doc", default=None, help="compare the printed tables with this Markdown file")
    parser.add_argument("--write-doc", default=None, help="put the printed tables into this Markdown file")
    args = parser.parse_args()

    lengths = [int(n) for n in args.lengths.split(",")]
    models = args.models.split(",")
    for m in models:
        if m not in MODEL:
            parser.error("unknown model " + m)
    peers = args.peers != "off"
    if args.peers == "auto" and not peers_available():
        print("statsmodels or R's tseries missing: no peers' tests", file=sys.stderr)
        peers = False
    if args.from_raw:
        records = read_raw(args.from_raw)
        cells = collect(records)
        peers = peers and any(kind == "bds" for kind, _, _ in cells)
    else:
        if peers and not peers_available():
            parser.error("the peers' tests need statsmodels and R with tseries (or give --peers off)")
        tasks = plan(models, lengths, args.scale, peers, not args.no_frames, not args.no_mild)
        records = read_raw(args.raw) if args.raw and args.resume else []
        done = {tuple(r["task"]) for r in records}
        todo = [t for t in tasks if t not in done]
        raw = open(args.raw, "a" if args.resume else "w") if args.raw else None
        started = time.time()
        cpu = 0.0
        try:
            with multiprocessing.Pool(max(1, args.jobs), initializer=worker_start) as pool:
                for count, record in enumerate(pool.imap_unordered(run_task, todo), 1):
                    records.append(record)
                    cpu += record["cpu"]
                    if raw:
                        raw.write(json.dumps(record) + "\n")
                        raw.flush()
                    print("task {}/{} ({} {} N = {}) done, {:.0f} s".format(
                        count, len(todo), record["task"][0], record["task"][1], record["task"][2],
                        time.time() - started), file=sys.stderr, flush=True)
        finally:
            if raw:
                raw.close()
        print("{} tasks in {:.0f} s ({:.0f} s of processor time in the workers, Rscript not counted)".format(
            len(todo), time.time() - started, cpu), file=sys.stderr)
        wanted = set(tasks)
        cells = collect([r for r in records if tuple(r["task"]) in wanted])

    printed, problems = tables(cells, models, lengths, peers)
    sys.stdout.write(printed)
    for p in problems:
        print("warning: " + p, file=sys.stderr)
    status = 1 if problems else 0
    if args.check_doc:
        if doc_parts(args.check_doc)[1] != printed:
            print("the tables differ from " + args.check_doc, file=sys.stderr)
            status = 1
        else:
            print("the tables match " + args.check_doc, file=sys.stderr)
    if args.write_doc:
        head, _, tail = doc_parts(args.write_doc)
        with open(args.write_doc, "w") as f:
            f.write(head + "\n" + printed + tail)
        print("wrote the tables into " + args.write_doc, file=sys.stderr)
    return status


if __name__ == "__main__":
    sys.exit(main())
