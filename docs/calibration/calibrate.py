#!/usr/bin/env python3
"""Size and power of Quorvel's tests, measured by simulation.

    python3 docs/calibration/calibrate.py PROGRAM [--jobs J] [--scale S] [--raw FILE]
                                                  [--check-doc FILE]

Simulates series of known kind with fixed seeds, writes them as data files
(two-line header), writes one run control file per run and a batch list
"Runquorvel.cnl", runs PROGRAM (the quorvel binary) on each batch in a
scratch folder, reads the p-values from the run reports and prints, as
Markdown tables, the share of runs whose p-value is below 0.05, with its
binomial standard error.  Python 3 standard library only.

The printed tables are the ones shown in docs/statistics.md; --check-doc
compares them with the block of that file between the markers
"<!-- calibrate.py output begins -->" and "<!-- calibrate.py output ends -->"
and exits 1 when they differ.

Reproducibility: every series comes from its own seeded generator (uniform
draws turned into normals by Box-Muller, so the values do not depend on the
Python version), and the runs are grouped into batches of fixed content, so
the program's own shuffles (a fixed-seed generator whose state runs on
through a batch) are the same on every rerun, whatever --jobs is.
"""
import argparse
import math
import multiprocessing
import os
import random
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

LEVEL = 0.05           # nominal level: a test rejects when its printed p-value is below it
RESAMPLES = 19         # bootstrap resamples per run: exact 5 % size under exchangeability
MAX_AR_ORDER = 10      # AR prewhitening, largest order
AR_THRESHOLD = "0.05"  # p-value threshold of the stepwise AR fit
QUANTILE = "0.8"       # quantile of the nonlinearity test
BURN_IN = 500          # values simulated and dropped before each series
CHUNK = 25             # series per batch (fixed, so the shuffles do not depend on --jobs)

# The three settings.  All read the same data file per series: (a) and (c)
# take all 32,768 values with frames of 30 points (e = ln 30 / ln 32768 =
# 0.327); (b) takes the first 2,048 values with frames of 32 points (e =
# 0.455, the program's consistency warning) from the same file.
N_LONG = 32768
N_SHORT = 2048
RATE = "30.0"          # Hz; with the bandwidths below it gives the frame lengths
SETTINGS = [
    # key, label, last datum, bandwidth (Hz), taper (%)
    ("a", "(a) e = 0.327, no taper", N_LONG, "1.0", "0.0"),
    ("b", "(b) e = 0.455, no taper", N_SHORT, "0.9375", "0.0"),
    ("c", "(c) e = 0.327, taper 25 %", N_LONG, "1.0", "25.0"),
]

TESTS = [
    # key in the report line, row label
    ("quantile", "nonlinearity (quantile)"),
    ("time reversibility", "time reversibility"),
    ("zero trispectrum", "zero trispectrum"),
    ("aliasing", "aliasing"),
]

# Replicates per process at --scale 1.
SIZE_REPLICATES = 300
POWER_REPLICATES = 50


# ---------------------------------------------------------------- simulation

class Normals:
    """Standard normal draws from random.random() by Box-Muller."""

    def __init__(self, seed):
        self.uniform = random.Random(seed).random
        self.spare = None

    def __call__(self):
        if self.spare is not None:
            z, self.spare = self.spare, None
            return z
        u1 = 1.0 - self.uniform()  # in (0, 1]
        u2 = self.uniform()
        r = math.sqrt(-2.0 * math.log(u1))
        self.spare = r * math.sin(2.0 * math.pi * u2)
        return r * math.cos(2.0 * math.pi * u2)


def white(seed, n):
    e = Normals(seed)
    return [e() for _ in range(n)]


def ar2(seed, n):
    """Gaussian AR(2): x(t) = 1.0 x(t-1) - 0.5 x(t-2) + e(t)."""
    e = Normals(seed)
    x1 = x2 = 0.0
    out = []
    for t in range(n + BURN_IN):
        x1, x2 = 1.0 * x1 - 0.5 * x2 + e(), x1
        if t >= BURN_IN:
            out.append(x1)
    return out


def linear_exponential(seed, n):
    """The same AR(2) driven by centred exponential innovations (linear, not Gaussian)."""
    u = random.Random(seed).random
    x1 = x2 = 0.0
    out = []
    for t in range(n + BURN_IN):
        x1, x2 = 1.0 * x1 - 0.5 * x2 + (-math.log(1.0 - u()) - 1.0), x1
        if t >= BURN_IN:
            out.append(x1)
    return out


def linear_uniform(seed, n):
    """The same AR(2) driven by uniform innovations on (-sqrt 3, sqrt 3) (linear, mildly non-Gaussian)."""
    u = random.Random(seed).random
    half_width = math.sqrt(3.0)
    x1 = x2 = 0.0
    out = []
    for t in range(n + BURN_IN):
        x1, x2 = 1.0 * x1 - 0.5 * x2 + half_width * (2.0 * u() - 1.0), x1
        if t >= BURN_IN:
            out.append(x1)
    return out


def bilinear(seed, n):
    """Bilinear: x(t) = 0.4 x(t-1) e(t-1) + e(t)."""
    e = Normals(seed)
    x = e_prev = 0.0
    out = []
    for t in range(n + BURN_IN):
        et = e()
        x = 0.4 * x * e_prev + et
        e_prev = et
        if t >= BURN_IN:
            out.append(x)
    return out


def arch1(seed, n):
    """ARCH(1): x(t) = e(t) sqrt(1 + 0.5 x(t-1)^2)."""
    e = Normals(seed)
    x = 0.0
    out = []
    for t in range(n + BURN_IN):
        x = e() * math.sqrt(1.0 + 0.5 * x * x)
        if t >= BURN_IN:
            out.append(x)
    return out


def threshold_ar(seed, n):
    """Threshold AR(1): x(t) = 0.8 x(t-1) + e(t) when x(t-1) <= 0, else -0.3 x(t-1) + e(t)."""
    e = Normals(seed)
    x = 0.0
    out = []
    for t in range(n + BURN_IN):
        x = (0.8 * x if x <= 0.0 else -0.3 * x) + e()
        if t >= BURN_IN:
            out.append(x)
    return out


PROCESSES = [
    # key, short name, table title, generator, replicates at scale 1, seed base
    ("white", "Gaussian white noise", "Gaussian white noise", white, SIZE_REPLICATES, 1_000_000),
    ("ar2", "Gaussian AR(2)", "Gaussian AR(2), x(t) = x(t-1) - 0.5 x(t-2) + e(t)", ar2, SIZE_REPLICATES, 2_000_000),
    ("linexp", "linear, exponential e(t)", "Linear non-Gaussian: the same AR(2) with centred exponential e(t)",
     linear_exponential, POWER_REPLICATES, 3_000_000),
    ("linuni", "linear, uniform e(t)", "Linear non-Gaussian: the same AR(2) with uniform e(t)", linear_uniform, POWER_REPLICATES, 7_000_000),
    ("bilinear", "bilinear", "Bilinear, x(t) = 0.4 x(t-1) e(t-1) + e(t)", bilinear, POWER_REPLICATES, 4_000_000),
    ("arch", "ARCH(1)", "ARCH(1), x(t) = e(t) sqrt(1 + 0.5 x(t-1)^2)", arch1, POWER_REPLICATES, 5_000_000),
    ("tar", "threshold AR(1)", "Threshold AR(1), x(t) = 0.8 x(t-1) + e(t) if x(t-1) <= 0, -0.3 x(t-1) + e(t) otherwise",
     threshold_ar, POWER_REPLICATES, 6_000_000),
]


# ---------------------------------------------------------------- batch files

def write_data(path, title, values):
    with open(path, "w") as f:
        f.write(title + "\n")
        f.write("rows = {} columns = 1 rate = {} unit=Hz format =(f12.6)\n".format(len(values), RATE))
        f.write("".join("%12.6f\n" % v for v in values))


def write_control(path, datafile, last, bandwidth, taper):
    lines = [
        "Data file name ={} * the data file".format(datafile),
        "Column number = 1 * the column analysed",
        "Sampling unit =Hz * kHz, Hz or a time unit",
        "Lower frequency = 0.0 * Hz",
        "Upper frequency = 0.0 * Hz, 0 = Nyquist",
        "% taper = {} * percent of each frame".format(taper),
        "Resolution bandwidth = {} * Hz".format(bandwidth),
        "Prewhiten with AR({}) * largest AR order".format(MAX_AR_ORDER),
        "p threshold = {} * for keeping a lag".format(AR_THRESHOLD),
        "start = 1 * first datum",
        "end = {} * last datum".format(last),
        "Resamples = {} * bootstrap resamples".format(RESAMPLES),
        "Quantile = {} * of the nonlinearity test".format(QUANTILE),
        "#",
    ]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


PVALUE = re.compile(r"^\s*(Shuffled )?p-value =\s*(\S+) for the (.*)$")


def read_report(path):
    """The eight p-values of one report: {(test, shuffled): value}; None for a field of asterisks."""
    found = {}
    warned = False
    with open(path) as f:
        for line in f:
            if "Condition for Consistency of Estimates is Violated" in line:
                warned = True
            m = PVALUE.match(line)
            if not m:
                continue
            for key, _ in TESTS:
                if key in m.group(3):
                    try:
                        value = float(m.group(2))
                    except ValueError:
                        value = None
                    found[(key, bool(m.group(1)))] = value
    return found, warned


def run_chunk(job):
    """Simulates the series of one chunk, runs them as one batch, returns their p-values."""
    program, workroot, process_index, first, count = job
    key, _, _, generate, _, seed_base = PROCESSES[process_index]
    folder = tempfile.mkdtemp(prefix="{}-{:04d}-".format(key, first), dir=workroot)
    try:
        controls = []
        for r in range(first, first + count):
            values = generate(seed_base + r, N_LONG)
            stem = "r{:04d}".format(r)
            write_data(os.path.join(folder, stem + "a.dat"), "{} replicate {}".format(key, r), values)
            for setting, _, last, bandwidth, taper in SETTINGS:
                # One data file, hard-linked under one name per setting, so
                # that each run writes reports of its own.
                name = stem + setting + ".dat"
                if setting != "a":
                    os.link(os.path.join(folder, stem + "a.dat"), os.path.join(folder, name))
                write_control(os.path.join(folder, stem + setting + ".cnl"), name, last, bandwidth, taper)
                controls.append((r, setting, stem + setting))
        with open(os.path.join(folder, "Runquorvel.cnl"), "w") as f:
            f.write("Number of runs = {} * calibration batch\n".format(len(controls)))
            for _, _, base in controls:
                f.write(base + ".cnl* \n")
        done = subprocess.run([program], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, timeout=3600)
        if done.returncode != 0:
            raise RuntimeError("{} exited with {} in {}:\n{}".format(
                program, done.returncode, folder, done.stdout.decode(errors="replace")[-2000:]))
        results = []
        for r, setting, base in controls:
            pvalues, warned = read_report(os.path.join(folder, base + "_Quorvel.out"))
            results.append((key, setting, r, pvalues, warned))
        return results
    finally:
        shutil.rmtree(folder, ignore_errors=True)


# ---------------------------------------------------------------- tables

def cell(rejections, runs):
    if runs == 0:
        return "-"
    p = rejections / runs
    return "{:.1f} ({:.1f})".format(100.0 * p, 100.0 * math.sqrt(p * (1.0 - p) / runs))


def tables(results, replicates):
    out = []
    out.append("Share of runs with p < {:.2f}, in %, with its binomial standard error in brackets; "
               "{} resamples per run.".format(LEVEL, RESAMPLES))
    out.append("")
    for index, (key, _, title, _, _, _) in enumerate(PROCESSES):
        runs = replicates[index]
        kind = "Size" if key in ("white", "ar2") else "Power"
        out.append("**{}: {}** ({} series)".format(kind, title, runs))
        out.append("")
        out.append("| test | " + " | ".join(label for _, label, _, _, _ in SETTINGS) + " |")
        out.append("|---|" + "---:|" * len(SETTINGS))
        for shuffled in (False, True):
            for test, label in TESTS:
                row = ["Shuffled " + label if shuffled else label]
                for setting, _, _, _, _ in SETTINGS:
                    values = [pv.get((test, shuffled)) for k, s, _, pv, _ in results if k == key and s == setting]
                    usable = [v for v in values if v is not None]
                    row.append(cell(sum(1 for v in usable if v < LEVEL), len(usable)))
                out.append("| " + " | ".join(row) + " |")
        out.append("")
    out.append("**Shuffled p-values beyond the 32-bit tail**: of the runs whose asymptotic p-value is "
               "0.00000, the share, in %, whose Shuffled p-value is below {:.2f}, with the number of such runs "
               "in brackets (settings a / b / c; - where there is none)".format(LEVEL))
    out.append("")
    out.append("| series | " + " | ".join(label for _, label in TESTS) + " |")
    out.append("|---|" + "---:|" * len(TESTS))
    for key, short, _, _, _, _ in PROCESSES:
        row = [short]
        for test, _ in TESTS:
            shares = []
            for setting, _, _, _, _ in SETTINGS:
                runs = [pv for k, s, _, pv, _ in results if k == key and s == setting]
                zero = [pv for pv in runs if pv.get((test, False)) == 0.0 and pv.get((test, True)) is not None]
                small = sum(1 for pv in zero if pv[(test, True)] < LEVEL)
                shares.append("{:.0f} ({})".format(100.0 * small / len(zero), len(zero)) if zero else "-")
            row.append(" / ".join(shares))
        out.append("| " + " | ".join(row) + " |")
    return "\n".join(out).rstrip("\n") + "\n"


def check_settings(results):
    """The settings must be what the tables say: warning in (b) only, every p-value present."""
    problems = []
    for key, setting, r, pvalues, warned in results:
        if warned != (setting == "b"):
            problems.append("{} replicate {} setting {}: consistency warning {}".format(
                key, r, setting, "written" if warned else "missing"))
        if len(pvalues) != 2 * len(TESTS) or any(v is None for v in pvalues.values()):
            problems.append("{} replicate {} setting {}: p-values {}".format(key, r, setting, pvalues))
    return problems


DOC_BEGIN = "<!-- calibrate.py output begins -->"
DOC_END = "<!-- calibrate.py output ends -->"


def doc_block(path):
    with open(path) as f:
        text = f.read()
    begin = text.index(DOC_BEGIN) + len(DOC_BEGIN)
    return text[begin:text.index(DOC_END)].strip("\n") + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", help="path of the quorvel binary")
    parser.add_argument("--jobs", type=int, default=2, help="batches run at once (default 2)")
    parser.add_argument("--scale", type=float, default=1.0,
                        help="multiplies the replicate counts (default 1; the tables in the manual use 1)")
    parser.add_argument("--work", default=None, help="folder for the scratch batches (default: a temporary one)")
    parser.add_argument("--raw", default=None, help="also write every p-value to this CSV file")
    parser.add_argument("--check-doc", default=None, help="compare the printed tables with this Markdown file")
    args = parser.parse_args()

    program = os.path.abspath(args.program)
    if not os.access(program, os.X_OK):
        sys.exit("not an executable program: " + program)
    workroot = tempfile.mkdtemp(prefix="quorvel-calibration-", dir=args.work)
    replicates = [max(1, int(round(p[4] * args.scale))) for p in PROCESSES]
    jobs = []
    for index, count in enumerate(replicates):
        for first in range(0, count, CHUNK):
            jobs.append((program, workroot, index, first, min(CHUNK, count - first)))

    started = time.time()
    results = []
    try:
        with multiprocessing.Pool(max(1, args.jobs)) as pool:
            for done, chunk in enumerate(pool.imap(run_chunk, jobs), 1):
                results.extend(chunk)
                print("batch {}/{} done, {:.0f} s".format(done, len(jobs), time.time() - started),
                      file=sys.stderr, flush=True)
    finally:
        shutil.rmtree(workroot, ignore_errors=True)

    problems = check_settings(results)
    for p in problems[:20]:
        print("warning: " + p, file=sys.stderr)
    if args.raw:
        with open(args.raw, "w") as f:
            f.write("process,setting,replicate,warning," +
                    ",".join(("shuffled " if s else "") + t for s in (False, True) for t, _ in TESTS) + "\n")
            for key, setting, r, pvalues, warned in results:
                f.write("{},{},{},{},".format(key, setting, r, int(warned)) +
                        ",".join("" if pvalues.get((t, s)) is None else repr(pvalues[(t, s)])
                                 for s in (False, True) for t, _ in TESTS) + "\n")

    printed = tables(results, replicates)
    sys.stdout.write(printed)
    cpu = resource.getrusage(resource.RUSAGE_CHILDREN)
    print("{} runs in {:.0f} s ({:.0f} s of processor time)".format(
        len(results), time.time() - started, cpu.ru_utime + cpu.ru_stime), file=sys.stderr)
    if args.check_doc:
        if doc_block(args.check_doc) != printed:
            print("the tables differ from " + args.check_doc, file=sys.stderr)
            return 1
        print("the tables match " + args.check_doc, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
