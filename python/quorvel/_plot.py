"""The one drawing of a run: its two probability planes on a -log10 p scale
with the significant pairs outlined, and its trispectral probabilities against
the uniform law. Result.plot and tools/plot_planes.py both draw with `plot`."""
from __future__ import annotations

import math
import textwrap
from typing import TYPE_CHECKING, Any, List, Optional, Sequence, Tuple

import numpy as np

from ._result import LABELS, FloatArray, Result, p_text

if TYPE_CHECKING:  # pragma: no cover
    from matplotlib.axes import Axes  # type: ignore[import]
    from matplotlib.figure import Figure  # type: ignore[import]

#: The panels `plot` can draw.
PANELS = ("k3+", "k3-", "histogram", "fractiles")
#: The colour scale stops at -log10 p = 4 (p = 0.0001, the resolution of the
#: value files' four decimals); smaller p-values take its darkest colour.
CAP = 4.0
#: The levels at which a pair's cell is outlined on its own edges, with the style of its outline.
LEVELS: Tuple[Tuple[float, str, str, float], ...] = (
    (0.05, "#1f77b4", "--", 1.0),
    (0.01, "#2ca02c", "-", 2.0),
)
_TICKS = ((0.0, "1"), (1.0, "0.1"), (-math.log10(0.05), "0.05"), (2.0, "0.01"), (3.0, "0.001"),
          (CAP, "0.0001"))
_NO_VALUE = "#d9d9d9"


def pair_p_values(plane: FloatArray) -> FloatArray:
    """The p-value of each pair of a probability plane (1 - its probability);
    NaN where the pair has no trifrequency (the plane holds 0 there)."""
    plane = np.asarray(plane, dtype=np.float64)
    return np.where(plane > 0.0, 1.0 - plane, np.nan)


def _is_period(unit: str) -> bool:
    return unit.lower() not in ("hz", "khz")


def _plane_panel(fig: "Figure", ax: "Axes", result: Result, sign: str) -> None:
    from matplotlib.collections import PatchCollection  # type: ignore[import]
    from matplotlib.lines import Line2D  # type: ignore[import]
    from matplotlib.patches import Patch, Rectangle  # type: ignore[import]

    plane = result.plane_positive if sign == "k3+" else result.plane_negative
    axis = np.asarray(result.axis, dtype=np.float64)
    name = "k3 > 0" if sign == "k3+" else "k3 < 0"
    kind = "period" if _is_period(result.unit) else "frequency"
    ax.set_title(f"Probability plane, {name}", fontsize=10)
    ax.set_xlabel(f"first {kind} ({result.unit})")
    ax.set_ylabel(f"second {kind} ({result.unit})")
    ax.set_facecolor(_NO_VALUE)
    if axis.size == 0 or plane.shape != (axis.size, axis.size):
        ax.text(0.5, 0.5, "no plane", ha="center", va="center", transform=ax.transAxes)
        return
    p = pair_p_values(plane)
    # -log10 p, capped: p = 0 (a probability of 1 at the files' precision)
    # takes the cap; NaN (no trifrequency) stays blank.
    score = -np.log10(np.clip(p, 10.0 ** -CAP, 1.0))
    # A cell per pair, evenly spaced in the order of the frequencies (periods
    # are not evenly spaced), the ticks giving the axis' values.
    edges = np.arange(axis.size + 1, dtype=np.float64) - 0.5
    mesh = ax.pcolormesh(edges, edges, score, cmap="magma_r", vmin=0.0, vmax=CAP, shading="flat")
    mesh.set_gid("-log10 p")
    bar = fig.colorbar(mesh, ax=ax, extend="max" if bool(np.any(score >= CAP)) else "neither")
    bar.set_ticks([t for t, _ in _TICKS])
    bar.set_ticklabels([text for _, text in _TICKS])
    bar.set_label("p of the pair (-log10 scale)")
    handles: List[Any] = []
    for level, colour, style, width in LEVELS:
        rows, columns = np.nonzero(p < level)  # NaN < level is false
        cells = [Rectangle((a - 0.5, b - 0.5), 1.0, 1.0) for b, a in zip(rows, columns)]
        outline = PatchCollection(cells, facecolor="none", edgecolor=colour, linestyle=style, linewidth=width)
        outline.set_gid(f"p < {level:g}")
        ax.add_collection(outline)
        count = f"{len(cells)} pair" + ("" if len(cells) == 1 else "s")
        handles.append(Line2D([], [], color=colour, linestyle=style, linewidth=width, label=f"p < {level:g}: {count}"))
    handles.append(Patch(facecolor=_NO_VALUE, edgecolor="none", label="no trifrequency"))
    # Only pairs with the second frequency at most the first have values: the
    # legend goes in the empty corner.
    ax.legend(handles=handles, loc="upper left", fontsize=7, framealpha=0.9)
    step = max(1, math.ceil(axis.size / 10))
    ticks = np.arange(0, axis.size, step)
    labels = [f"{axis[i]:.4g}" for i in ticks]
    ax.set_xticks(ticks)
    ax.set_xticklabels(labels, rotation=45, ha="right")
    ax.set_yticks(ticks)
    ax.set_yticklabels(labels)
    ax.set_xlim(edges[0], edges[-1])
    ax.set_ylim(edges[0], edges[-1])
    ax.set_aspect("equal")


def _share_below(fractiles: Sequence[float], levels: Sequence[float], at: FloatArray) -> FloatArray:
    """The share of the probabilities at or below each point of `at`, from the
    fractiles: linear between neighbouring fractiles, with a jump where several
    coincide (0 below 0, 1 at 1)."""
    points: dict[float, Tuple[float, float]] = {}
    for x, level in zip(fractiles, levels):
        if math.isfinite(x):
            low, high = points.get(x, (level, level))
            points[x] = (min(low, level), max(high, level))
    knots = [(0.0, 0.0, 0.0)] + [(x, points[x][0], points[x][1]) for x in sorted(points)] + [(1.0, 1.0, 1.0)]
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
        out.append(min(1.0, max(0.0, value)))
    return np.asarray(out, dtype=np.float64)


def _histogram_panel(ax: "Axes", result: Result) -> None:
    probabilities = np.asarray(result.values["probability"], dtype=np.float64)
    if probabilities.size:
        bins = 20
        ax.hist(probabilities, bins=bins, range=(0.0, 1.0), density=True, color="#4c72b0", edgecolor="white",
                label=f"{probabilities.size} trispectral probabilities")
        ax.set_title("Trispectral probabilities", fontsize=10)
    elif len(result.fractiles) == len(result.fractile_levels) and result.fractiles:
        # A batch's result holds the fractiles, not the values: ten bins rebuilt from them.
        edges = np.linspace(0.0, 1.0, 11)
        shares = np.diff(np.concatenate((np.zeros(1), _share_below(result.fractiles, result.fractile_levels, edges[1:]))))
        ax.bar(edges[:-1], shares / 0.1, width=0.1, align="edge", color="#4c72b0", edgecolor="white",
               label="trispectral probabilities")
        ax.set_title("Trispectral probabilities (rebuilt from the 11 fractiles)", fontsize=10)
    else:
        ax.text(0.5, 0.5, "no trispectral probabilities", ha="center", va="center", transform=ax.transAxes)
        return
    ax.axhline(1.0, color="#c44e52", linewidth=2, label="uniform law (density 1)")
    ax.set_xlim(0.0, 1.0)
    ax.set_ylim(bottom=0.0)
    ax.set_xlabel("trispectral probability (1-Pr)")
    ax.set_ylabel("density")
    ax.legend(loc="upper right", fontsize=7)


def _fractiles_panel(ax: "Axes", result: Result) -> None:
    levels = np.asarray(result.fractile_levels, dtype=np.float64)
    fractiles = np.asarray(result.fractiles, dtype=np.float64)
    ax.plot([0.0, 1.0], [0.0, 1.0], color="#c44e52", linewidth=2, label="uniform law")
    if fractiles.size and fractiles.size == levels.size:
        ax.plot(levels, fractiles, "o-", color="#4c72b0", label="fractiles of the run")
    ax.set_xlim(0.0, 1.0)
    ax.set_ylim(0.0, 1.0)
    ax.set_aspect("equal")
    ax.set_xlabel("fractile level (uniform law)")
    ax.set_ylabel("fractile of the probabilities")
    ax.set_title("Fractiles against the uniform law", fontsize=10)
    ax.legend(loc="upper left", fontsize=7)
    if len(result.fractile_p_values) == levels.size and levels.size:
        table = "p-values of the fractiles\n" + "\n".join(
            f"{level:>5g}: {p:.3f}" for level, p in zip(levels, result.fractile_p_values))
        ax.text(1.04, 0.0, table, transform=ax.transAxes, fontsize=7, family="monospace", va="bottom")


def _suptitle(result: Result, title: Optional[str], width: int) -> str:
    parts = [f"{LABELS.get(t.name, t.name).split(' (')[0]} {p_text(t.p, t.shuffled, result.resamples)}"
             for t in result.tests]
    shuffled = [t.shuffled for t in result.tests]
    source = (f"Shuffled, {result.resamples} resamples" if all(shuffled)
              else "asymptotic" if not any(shuffled) else "Shuffled or asymptotic")
    lines = [title.strip()[:100]] if title and title.strip() else []
    lines.append(f"p-values to read ({source}): " + " · ".join(parts))
    lines.append(f"N = {result.N}, M = {result.M}, e = {result.e:.3f}, "
                 f"mean noncentrality parameter = {result.lambda_hat:.2f}")
    return "\n".join(textwrap.fill(line, width) for line in lines)


def plot(result: Result, fig: Optional["Figure"] = None, *,
         panels: Sequence[str] = ("k3+", "k3-", "histogram"), title: Optional[str] = None) -> "Figure":
    """Draws a run: its probability planes and its trispectral probabilities.

    Each plane colours a pair of frequencies (first, second) by the p-value of
    its trispectrum, p = 1 - its probability, on a -log10 scale capped at
    p = 0.0001; a pair's cell is outlined on its own edges where p < 0.05
    (dashed blue) and where p < 0.01 (solid green), with a legend that counts
    them; pairs without a trifrequency are grey. About 5 % of the pairs of a
    null series fall below 0.05 by chance. The title gives the p-value to read
    of each test (``p < 0.005`` for a Shuffled 0 of 199 resamples,
    ``p < 0.0001`` for a smaller asymptotic one).

    Parameters
    ----------
    result : Result
        From `analyse`, or `Result.from_dict` of a batch's JSON file.
    fig : matplotlib.figure.Figure, optional
        The figure to draw into; None makes a new one with pyplot.
    panels : sequence of str
        Which panels, left to right: "k3+", "k3-" (the planes for k3 > 0 and
        k3 < 0), "histogram" (the trispectral probabilities against the
        uniform law; rebuilt from the fractiles when the result has no
        per-value table) and "fractiles" (the fractiles against the uniform
        law, with their p-values).
    title : str, optional
        A first title line.

    Returns
    -------
    matplotlib.figure.Figure
        The figure; each plane's outlines are the collections whose gid is
        "p < 0.05" and "p < 0.01", one path per outlined pair.

    Raises
    ------
    ValueError
        For an unknown or missing panel.

    Examples
    --------
    >>> import numpy as np, quorvel
    >>> r = quorvel.analyse(np.random.default_rng(4).standard_normal(2000), seed=9)
    >>> fig = quorvel.plot(r, panels=("k3+", "fractiles"))
    >>> [ax.get_title() for ax in fig.axes[:1]]
    ['Probability plane, k3 > 0']
    """
    chosen = list(panels)
    unknown = [p for p in chosen if p not in PANELS]
    if unknown or not chosen:
        raise ValueError(f"panels must be some of {', '.join(PANELS)} (got {', '.join(map(str, unknown)) or 'none'})")
    if fig is None:
        import matplotlib.pyplot as plt  # type: ignore[import]

        fig = plt.figure(figsize=(4.9 * len(chosen) + 0.6, 5.2), layout="constrained")
    axes = fig.subplots(1, len(chosen), squeeze=False)[0]
    for ax, panel in zip(axes, chosen):
        if panel in ("k3+", "k3-"):
            _plane_panel(fig, ax, result, panel)
        elif panel == "histogram":
            _histogram_panel(ax, result)
        else:
            _fractiles_panel(ax, result)
    # About 13 characters of the title's size to an inch.
    fig.suptitle(_suptitle(result, title, max(40, int(fig.get_figwidth() * 13))), fontsize=9)
    if fig.get_layout_engine() is None:  # a figure of the caller's without a layout of its own
        fig.tight_layout()
    return fig
