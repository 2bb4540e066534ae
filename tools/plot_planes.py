#!/usr/bin/env python3
"""Pictures of the runs of a batch, drawn by the Python package's quorvel.plot
(the drawing of Result.plot(); this command has none of its own).

    tools/plot_planes.py FOLDER [STEM ...] [--out FOLDER] [--dpi N]

For every run STEM of FOLDER (by default every STEM_quorvel.json, the file a
batch writes beside each report) it reads STEM_quorvel.json into a
quorvel.Result, takes the title from STEM_Quorvel.out, and writes

    STEM-k3+_plane.png      the k3 > 0 probability plane
    STEM-k3-_plane.png      the k3 < 0 probability plane
    STEM-probabilities.png  the trispectral probabilities against the uniform
                            law: histogram (rebuilt from the fractiles) and fractiles

The planes colour each pair of frequencies by -log10 p (capped at p = 0.0001)
and outline the pairs with p < 0.05 and p < 0.01. For each plane it prints the
picture's path and how many pairs it outlines.

Needs matplotlib (Debian: apt-get install python3-matplotlib) and the package
quorvel: installed (pip install .), on PYTHONPATH, or built by CMake in the
repository's build/python.
Exit status: 0 when every picture was written, 1 otherwise.
"""
import argparse
import glob
import json
import os
import pathlib
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (only to close the figures)

try:
    import quorvel
except ImportError:
    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "build" / "python"))
    try:
        import quorvel
    except ImportError as error:
        sys.exit(f"plot_planes.py needs the Python package quorvel ({error}): pip install . "
                 "or build the repository with CMake")

PICTURES = (("-k3+_plane.png", ("k3+",)), ("-k3-_plane.png", ("k3-",)),
            ("-probabilities.png", ("histogram", "fractiles")))


def title_of(report):
    """The run's title: the line after the report's row of asterisks."""
    try:
        lines = pathlib.Path(report).read_text(encoding="latin-1").splitlines()
    except OSError:
        return None
    for line, following in zip(lines, lines[1:]):
        if line.startswith("*" * 67):
            return following.strip()
    return None


def read_run(folder, stem):
    path = os.path.join(folder, stem + "_quorvel.json")
    try:
        with open(path, encoding="utf-8") as f:
            record = json.load(f)
    except OSError as error:
        raise RuntimeError(f"no {stem}_quorvel.json ({error.strerror}): the run stopped, or the batch "
                           "predates these files (run it again)") from None
    except ValueError as error:
        raise RuntimeError(f"{path}: not a run's JSON ({error})") from None
    if "error" in record and "tests" not in record:
        raise RuntimeError(f"{path}: the run failed: {record['error']}")
    return quorvel.Result.from_dict(record), title_of(os.path.join(folder, stem + "_Quorvel.out"))


def outlined(fig):
    """The pairs the drawing outlines, by level: the paths of its outline collections."""
    counts = {}
    for ax in fig.axes:
        for collection in ax.collections:
            gid = collection.get_gid() or ""
            if gid.startswith("p < "):
                counts[gid] = counts.get(gid, 0) + len(collection.get_paths())
    return counts


def draw_run(folder, stem, out, dpi):
    result, title = read_run(folder, stem)
    for suffix, panels in PICTURES:
        path = os.path.join(out, stem + suffix)
        fig = quorvel.plot(result, panels=panels, title=title or stem)
        fig.savefig(path, dpi=dpi, bbox_inches="tight", pad_inches=0.1)
        counts = outlined(fig)
        plt.close(fig)
        print(path + (": " + ", ".join(f"{n} pairs outlined at {level}" for level, n in counts.items())
                      if counts else ""))


def main(argv=None):
    parser = argparse.ArgumentParser(description="Pictures of the runs of a Quorvel batch.")
    parser.add_argument("folder", help="folder holding the batch's outputs (STEM_quorvel.json, reports)")
    parser.add_argument("stems", nargs="*", help="runs to draw (default: every STEM_quorvel.json of the folder)")
    parser.add_argument("--out", help="folder for the pictures (default: the same folder)")
    parser.add_argument("--dpi", type=int, default=110, help="resolution of the pictures (default 110)")
    args = parser.parse_args(argv)
    out = args.out or args.folder
    os.makedirs(out, exist_ok=True)
    found = glob.glob(os.path.join(args.folder, "*_quorvel.json")) + glob.glob(os.path.join(args.folder, "*_Quorvel.out"))
    stems = args.stems or sorted({os.path.basename(p).rsplit("_", 1)[0] for p in found})
    if not stems:
        print(f"no runs (*_quorvel.json, *_Quorvel.out) in {args.folder}", file=sys.stderr)
        return 1
    status = 0
    for stem in stems:
        try:
            draw_run(args.folder, stem, out, args.dpi)
        except (OSError, RuntimeError) as error:
            print(f"{stem}: {error}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
