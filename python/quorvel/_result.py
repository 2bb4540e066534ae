"""The result of one analysis: attributes, a printout, a dict, a picture."""
import math
from typing import NamedTuple

import numpy as np

_TESTS = (
    ("quantile", "quantile nonlinearity test"),
    ("reversibility", "time reversibility test"),
    ("zero", "zero trispectrum test"),
    ("aliasing", "aliasing test"),
)


def _plain(value):
    """A JSON-serialisable copy: arrays as lists, NaN and infinities as None."""
    if isinstance(value, dict):
        return {k: _plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [_plain(v) for v in value]
    if isinstance(value, np.ndarray):
        return _plain(value.tolist())
    if isinstance(value, np.generic):
        return _plain(value.item())
    if isinstance(value, float) and not math.isfinite(value):
        return None
    return value


def _edges(axis):
    """Cell edges around the points of an axis (frequencies, or periods, which are not evenly spaced)."""
    if axis.size == 1:
        return np.array([axis[0] - 0.5, axis[0] + 0.5])
    middle = (axis[:-1] + axis[1:]) / 2.0
    return np.concatenate([[2.0 * axis[0] - middle[0]], middle, [2.0 * axis[-1] - middle[-1]]])


class RunWarning(NamedTuple):
    """A notice of a run: its kind ("consistency", "low_count", ...) and a sentence."""

    code: str
    text: str


class Result:
    """What one analysis computed.

    p_quantile, p_reversibility, p_zero, p_aliasing: the four p-values;
    shuffled_*: their bootstrap p-values (NaN without a bootstrap);
    lambda_hat, e, M, K, N, band, valid counts, statistics, degrees of freedom
    and scores; data_statistics, residual_statistics, ar; fractiles;
    plane_positive, plane_negative (numpy arrays, a row per second frequency)
    with their frequency axis `axis`; values (the per-value table); warnings;
    report, positive_file, negative_file (the texts of the batch's files).
    """

    def __init__(self, fields):
        self.__dict__.update(fields)
        self.warnings = [RunWarning(*w) for w in self.warnings]

    def __repr__(self):
        lines = ["", "\tTrispectrum tests of a time series (Quorvel)", ""]
        lines.append(f"data:  N = {self.N} values, frame length M = {self.M}, K = {self.K} frames, "
                     f"e = {self.e:.4f}")
        lines.append(f"band:  {self.band[0]:.6g} to {self.band[1]:.6g} ({self.unit}), "
                     f"mean noncentrality parameter = {self.lambda_hat:.2f}")
        for key, name in _TESTS:
            text = f"{name + ':':30s} p-value = {getattr(self, 'p_' + key):.5f}"
            shuffled = getattr(self, "shuffled_" + key)
            if not math.isnan(shuffled):
                text += f"   Shuffled p-value = {shuffled:.4f} ({self.resamples} resamples)"
            lines.append(text)
        if self.warnings:
            lines.append("warnings:")
            lines.extend("  " + w.text for w in self.warnings)
        return "\n".join(lines) + "\n"

    def to_dict(self):
        """Every attribute, as numbers, texts, lists and dicts (JSON-serialisable)."""
        return _plain(dict(self.__dict__))

    def plot(self, fig=None):
        """Both probability planes and the probability histogram, with matplotlib.

        Colour is -log10 p of each pair (p = 1 - its probability), with
        contours at p = 5 % and 1 %; axes in the run's unit. Returns the figure.
        """
        import matplotlib.pyplot as plt

        if fig is None:
            fig = plt.figure(figsize=(14, 4.5))
        axes = fig.subplots(1, 3)
        periods = self.unit not in ("Hz", "kHz") and "hz" not in self.unit.lower()
        label = f"period ({self.unit})" if periods else f"frequency ({self.unit})"
        axis = np.asarray(self.axis, dtype=float)
        ceiling = 0.0
        images = []
        for ax, plane, name in ((axes[0], self.plane_positive, "k3 > 0"),
                                (axes[1], self.plane_negative, "k3 < 0")):
            plane = np.asarray(plane, dtype=float)
            # Pairs without a trifrequency hold exactly 0: left blank.
            p = np.clip(1.0 - plane, 1e-16, 1.0)
            score = np.ma.masked_where(plane == 0.0, -np.log10(p))
            if score.count():
                ceiling = max(ceiling, float(score.max()))
            images.append((ax, score, name))
        ceiling = max(ceiling, 3.0)
        for ax, score, name in images:
            if axis.size:
                edges = _edges(axis)
                image = ax.pcolormesh(edges, edges, score, cmap="magma_r", vmin=0.0, vmax=ceiling)
                if axis.size > 1 and score.count():
                    ax.contour(axis, axis, score.filled(0.0), levels=[-math.log10(0.05), 2.0],
                               colors=["#1f77b4", "#2ca02c"], linewidths=1.2)
                fig.colorbar(image, ax=ax, label="-log10 p (contours: 5 %, 1 %)")
            ax.set_title(f"Probability plane, {name}")
            ax.set_xlabel("first " + label)
            ax.set_ylabel("second " + label)
        ax = axes[2]
        probabilities = np.asarray(self.values["probability"], dtype=float)
        ax.hist(probabilities, bins=20, range=(0.0, 1.0), color="#888888", edgecolor="white")
        if probabilities.size:
            ax.axhline(probabilities.size / 20.0, color="black", linestyle="--", label="uniform")
            ax.legend()
        ax.set_title("Trispectral probabilities")
        ax.set_xlabel("probability (1-Pr)")
        ax.set_ylabel("values")
        fig.suptitle(" · ".join(f"{key} p = {getattr(self, 'p_' + key):.4f}" for key, _ in _TESTS))
        fig.tight_layout()
        return fig
