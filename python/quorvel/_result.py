"""The result of one analysis: a typed record of the run with a printout, a
tidy table of the tests, a dict and a picture."""
from __future__ import annotations

import dataclasses
import math
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, Dict, List, Mapping, NamedTuple, Optional, Sequence, Tuple, TypedDict

import numpy as np
from numpy.typing import NDArray

if TYPE_CHECKING:  # pragma: no cover
    import pandas  # type: ignore[import]
    from matplotlib.figure import Figure  # type: ignore[import]

FloatArray = NDArray[np.float64]
IntArray = NDArray[np.int32]

#: The four tests, in the order of Result.tests.
TEST_NAMES: Tuple[str, str, str, str] = ("nonlinearity", "reversibility", "gaussianity", "aliasing")
# The suffix of each test's flat fields (p_quantile, shuffled_zero, ...) and its printed label.
_KEYS = {"nonlinearity": "quantile", "reversibility": "reversibility", "gaussianity": "zero", "aliasing": "aliasing"}
LABELS = {"nonlinearity": "nonlinearity (quantile)", "reversibility": "time reversibility",
          "gaussianity": "zero trispectrum", "aliasing": "aliasing"}


class RunWarning(NamedTuple):
    """A notice of a run: its kind ("consistency", "low_count", ...) and a sentence."""

    code: str
    text: str


class TestResult(NamedTuple):
    """One test of a run.

    Attributes
    ----------
    name : str
        "nonlinearity" (the quantile test), "reversibility", "gaussianity" (the
        zero trispectrum test) or "aliasing".
    statistic : float
        z of the quantile test; the chi-square sum of the others.
    df : float
        Degrees of freedom of a chi-square test; NaN for the quantile test.
    p_asymptotic : float
        The p-value from the reference distribution, as the report prints it.
    p_shuffled : float
        The bootstrap ("Shuffled") p-value; NaN without a bootstrap.
    p : float
        The p-value to read: the Shuffled one when the bootstrap ran, else the
        asymptotic one.
    shuffled : bool
        Whether `p` is the Shuffled p-value.
    """

    name: str
    statistic: float
    df: float
    p_asymptotic: float
    p_shuffled: float
    p: float
    shuffled: bool


setattr(TestResult, "__test__", False)  # not a class of tests for pytest


class Statistics(TypedDict):
    """Descriptive statistics of the data or of the AR residuals."""

    mean: float
    sd: float
    skewness: float
    kurtosis: float
    max: float
    min: float


class ArFit(TypedDict):
    """The stepwise AR fit of the prewhitening."""

    lags: List[int]
    coefficients: List[float]
    t_values: List[float]
    adjusted_r2: float
    residual_sd: float
    white_noise_p: float
    root_amplitudes: List[float]
    root_values: List[float]


class ValueTable(TypedDict):
    """The stationary trispectral values: frequency indices, probability ("1-Pr"), phase, order."""

    k1: IntArray
    k2: IntArray
    k3: IntArray
    k4: IntArray
    probability: FloatArray
    phase: FloatArray
    order: IntArray


def p_text(p: float, shuffled: bool, resamples: int) -> str:
    """A p-value as a person reads it: "p = 0.0150", "p < 0.005" for a Shuffled 0
    (below one in B + 1), "p < 0.0001" for a smaller asymptotic one."""
    if math.isnan(p):
        return "p = NA"
    if shuffled and p == 0.0:
        return f"p < {1.0 / (resamples + 1):.2g}"
    if p < 0.0001:
        return "p < 0.0001"
    return f"p = {p:.4f}"


def _float(value: Any) -> float:
    return math.nan if value is None else float(value)


def _plain(value: Any) -> Any:
    """A JSON-serialisable copy: arrays as lists, NaN and infinities as None."""
    if isinstance(value, tuple) and hasattr(value, "_asdict"):
        return _plain(value._asdict())
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


def _plane(rows: Any) -> FloatArray:
    plane = np.asarray(rows if rows is not None else [], dtype=np.float64)
    if plane.size == 0:
        return np.zeros((0, 0))
    return plane


def _statistics(d: Any) -> Optional[Statistics]:
    if d is None:
        return None
    return Statistics(mean=_float(d["mean"]), sd=_float(d["sd"]), skewness=_float(d["skewness"]),
                      kurtosis=_float(d["kurtosis"]), max=_float(d["max"]), min=_float(d["min"]))


def _ar(d: Any) -> Optional[ArFit]:
    if d is None:
        return None
    return ArFit(lags=[int(v) for v in d["lags"]], coefficients=[_float(v) for v in d["coefficients"]],
                 t_values=[_float(v) for v in d["t_values"]], adjusted_r2=_float(d["adjusted_r2"]),
                 residual_sd=_float(d["residual_sd"]), white_noise_p=_float(d["white_noise_p"]),
                 root_amplitudes=[_float(v) for v in d["root_amplitudes"]],
                 root_values=[_float(v) for v in d["root_values"]])


def _values(d: Any) -> ValueTable:
    d = d or {}

    def ints(key: str) -> IntArray:
        return np.asarray(d.get(key, []), dtype=np.int32)

    def reals(key: str) -> FloatArray:
        return np.asarray([_float(v) for v in d.get(key, [])], dtype=np.float64)

    return ValueTable(k1=ints("k1"), k2=ints("k2"), k3=ints("k3"), k4=ints("k4"), probability=reals("probability"),
                      phase=reals("phase"), order=ints("order"))


def _warning(w: Any) -> RunWarning:
    if isinstance(w, Mapping):
        return RunWarning(str(w["code"]), str(w["text"]))
    code, text = w
    return RunWarning(str(code), str(text))


def _tests(d: Mapping[str, Any]) -> List[TestResult]:
    if d.get("tests"):
        return [TestResult(name=str(t["name"]), statistic=_float(t["statistic"]), df=_float(t["df"]),
                           p_asymptotic=_float(t["p_asymptotic"]), p_shuffled=_float(t["p_shuffled"]),
                           p=_float(t["p"]), shuffled=bool(t["shuffled"]))
                for t in d["tests"]]
    # A record without its tests (an older file): as the library names them.
    out = []
    for name in TEST_NAMES:
        key = _KEYS[name]
        asymptotic, shuffled = _float(d.get("p_" + key)), _float(d.get("shuffled_" + key))
        statistic = _float(d.get("quantile_z" if key == "quantile" else key + "_statistic"))
        df = math.nan if key == "quantile" else _float(d.get(key + "_df"))
        ran = not math.isnan(shuffled)
        out.append(TestResult(name, statistic, df, asymptotic, shuffled, shuffled if ran else asymptotic, ran))
    return out


@dataclass(eq=False, repr=False)
class Result:
    """What one analysis computed.

    `tests` holds the four tests with the p-value to read of each; the flat
    fields beside it hold the same numbers under the names of the report and
    of the command line's files. A Result pickles (it travels through dask),
    `to_dict()` gives it as strict JSON and `Result.from_dict` reads such a
    dict back, or a batch's ``<stem>_quorvel.json`` file.

    Parameters
    ----------
    **fields
        Every attribute below, by name. A Result comes from `analyse`, or
        from `Result.from_dict`, which fills what a dict lacks.

    Raises
    ------
    TypeError
        When built directly without one of the attributes.

    Attributes
    ----------
    tests : list of TestResult
        nonlinearity, reversibility, gaussianity, aliasing: statistic, df,
        asymptotic and Shuffled p-values and the p-value to read (`p`).
    p_quantile, p_reversibility, p_zero, p_aliasing : float
        The asymptotic p-values, as the report prints them.
    shuffled_quantile, shuffled_reversibility, shuffled_zero, shuffled_aliasing : float
        The bootstrap ("Shuffled") p-values; NaN without a bootstrap.
    quantile_z, zero_statistic, reversibility_statistic, aliasing_statistic : float
        The statistics at full precision.
    zero_df, reversibility_df, aliasing_df : float
        Degrees of freedom of the chi-square tests.
    valid, aliasing_valid : int
        Valid trispectrum values of the tests and of the aliasing test.
    quantile_score, zero_score, reversibility_score, aliasing_score : float
        The scores by which the bootstrap ranks its passes.
    lambda_hat : float
        The mean noncentrality parameter.
    N, M, K : int
        Values analysed, frame length, frames.
    e : float
        Bandwidth frame exponent ln M / ln N.
    bandwidth, rate : float
        Resolution bandwidth; sampling rate (interval for a time unit).
    unit : str
        "Hz", "kHz" or the time unit.
    band : tuple of float
        The band analysed, in the run's unit (periods, longest first, for a time unit).
    band_index : tuple of int
        The band as frequency indices k / M.
    stationary_positive, stationary_negative, aliasing_values : int
        Counts of the trispectrum grid.
    taper : float
        Taper, percent of each frame, as applied.
    resamples : int
        Bootstrap resamples as run (0: none).
    seed : int or None
        The seed of the shuffles; `analyse(x, seed=result.seed)` repeats the
        run. None in a result read from a batch's file.
    data_statistics : Statistics
        mean, sd, skewness, kurtosis (excess), max, min of the data.
    residual_statistics : Statistics or None
        The same of the AR residuals, when an AR lag was kept.
    ar : ArFit or None
        The AR fit of the prewhitening (None without prewhitening).
    fractile_levels, fractiles, fractile_p_values : list of float
        The fractile table of the trispectral probabilities.
    plane_positive, plane_negative : numpy.ndarray
        The probability planes of the value files for k3 > 0 and k3 < 0, a
        row per second frequency (``plane[b, a]`` for ``axis[a]``, ``axis[b]``;
        0 where a pair has no trifrequency).
    axis : numpy.ndarray
        The band's frequencies (or periods for a time unit).
    values : ValueTable
        The per-value table (empty in a result read from a batch's file).
    warnings : list of RunWarning
        The notices of the run (code, text).
    report, positive_file, negative_file : str
        The texts of the report and of the two value files.

    Examples
    --------
    >>> import numpy as np, quorvel
    >>> r = quorvel.analyse(np.random.default_rng(1).standard_normal(1000), seed=7)
    >>> [t.name for t in r.tests]
    ['nonlinearity', 'reversibility', 'gaussianity', 'aliasing']
    >>> r.to_frame().loc["nonlinearity", "p"] == r.tests[0].p
    True
    """

    tests: List[TestResult]
    p_quantile: float
    p_reversibility: float
    p_zero: float
    p_aliasing: float
    shuffled_quantile: float
    shuffled_reversibility: float
    shuffled_zero: float
    shuffled_aliasing: float
    quantile_z: float
    zero_statistic: float
    reversibility_statistic: float
    aliasing_statistic: float
    zero_df: float
    reversibility_df: float
    aliasing_df: float
    valid: int
    aliasing_valid: int
    quantile_score: float
    zero_score: float
    reversibility_score: float
    aliasing_score: float
    lambda_hat: float
    N: int
    M: int
    K: int
    e: float
    bandwidth: float
    rate: float
    unit: str
    band: Tuple[float, float]
    band_index: Tuple[int, int]
    stationary_positive: int
    stationary_negative: int
    aliasing_values: int
    taper: float
    resamples: int
    seed: Optional[int]
    data_statistics: Statistics
    residual_statistics: Optional[Statistics]
    ar: Optional[ArFit]
    fractile_levels: List[float]
    fractiles: List[float]
    fractile_p_values: List[float]
    plane_positive: FloatArray
    plane_negative: FloatArray
    axis: FloatArray
    values: ValueTable
    warnings: List[RunWarning]
    report: str
    positive_file: str
    negative_file: str

    @classmethod
    def from_dict(cls, d: Mapping[str, Any], seed: Optional[int] = None) -> "Result":
        """A Result from a dict: the module's own, `to_dict()`'s, or a batch's
        ``<stem>_quorvel.json`` (whose per-value table and texts are absent).

        Parameters
        ----------
        d : mapping
            The fields by name; None stands for NaN, unknown keys are ignored.
        seed : int, optional
            The seed, when `d` has none.

        Returns
        -------
        Result

        Raises
        ------
        KeyError, TypeError, ValueError
            A field that is there but malformed (a test without its p-value,
            a plane that is not rows of numbers).

        Examples
        --------
        >>> import json, numpy as np, quorvel
        >>> r = quorvel.analyse(np.random.default_rng(5).standard_normal(800), seed=3)
        >>> quorvel.Result.from_dict(json.loads(json.dumps(r.to_dict()))).p == r.p
        True
        """
        band = d.get("band") or (math.nan, math.nan)
        band_index = d.get("band_index") or (0, 0)
        data = _statistics(d.get("data_statistics"))
        stored_seed = d.get("seed")
        fields: Dict[str, Any] = {name: _float(d.get(name)) for name in (
            "p_quantile", "p_reversibility", "p_zero", "p_aliasing", "shuffled_quantile", "shuffled_reversibility",
            "shuffled_zero", "shuffled_aliasing", "quantile_z", "zero_statistic", "reversibility_statistic",
            "aliasing_statistic", "zero_df", "reversibility_df", "aliasing_df", "quantile_score", "zero_score",
            "reversibility_score", "aliasing_score", "lambda_hat", "e", "bandwidth", "rate", "taper")}
        fields.update({name: int(d.get(name) or 0) for name in (
            "valid", "aliasing_valid", "N", "M", "K", "stationary_positive", "stationary_negative",
            "aliasing_values", "resamples")})
        fields.update(
            tests=_tests(d),
            unit=str(d.get("unit", "")),
            band=(_float(band[0]), _float(band[1])),
            band_index=(int(band_index[0]), int(band_index[1])),
            seed=int(stored_seed) if stored_seed is not None else seed,
            data_statistics=data if data is not None else Statistics(
                mean=math.nan, sd=math.nan, skewness=math.nan, kurtosis=math.nan, max=math.nan, min=math.nan),
            residual_statistics=_statistics(d.get("residual_statistics")),
            ar=_ar(d.get("ar")),
            fractile_levels=[_float(v) for v in d.get("fractile_levels", [])],
            fractiles=[_float(v) for v in d.get("fractiles", [])],
            fractile_p_values=[_float(v) for v in d.get("fractile_p_values", [])],
            plane_positive=_plane(d.get("plane_positive")),
            plane_negative=_plane(d.get("plane_negative")),
            axis=np.asarray([_float(v) for v in d.get("axis", [])], dtype=np.float64),
            values=_values(d.get("values")),
            warnings=[_warning(w) for w in d.get("warnings", [])],
            report=str(d.get("report", "")),
            positive_file=str(d.get("positive_file", "")),
            negative_file=str(d.get("negative_file", "")),
        )
        return cls(**fields)

    @property
    def p(self) -> Dict[str, float]:
        """The p-value to read of each test, by name: ``r.p["nonlinearity"]``."""
        return {t.name: t.p for t in self.tests}

    def __repr__(self) -> str:
        lines = ["", "\tTrispectrum tests of a time series (Quorvel)", ""]
        lines.append(f"data:  N = {self.N} values, frame length M = {self.M}, K = {self.K} frames, "
                     f"e = {self.e:.4f}")
        lines.append(f"band:  {self.band[0]:.6g} to {self.band[1]:.6g} ({self.unit}), "
                     f"mean noncentrality parameter = {self.lambda_hat:.2f}")
        lines.append("")
        lines.append(f"{'test':26s}{'p-value to read':28s}other p-value")
        for t in self.tests:
            lead = p_text(t.p, t.shuffled, self.resamples)
            if t.shuffled:
                lead += " (Shuffled)"
                other = "asymptotic " + p_text(t.p_asymptotic, False, self.resamples)
            else:
                lead += " (asymptotic)"
                other = "no Shuffled p-value"
            lines.append(f"{LABELS.get(t.name, t.name):26s}{lead:28s}{other}")
        if any(t.shuffled for t in self.tests):
            lines.append(f"Shuffled p-values from {self.resamples} resamples"
                         + (f", seed {self.seed}" if self.seed is not None else ""))
        if self.warnings:
            lines.append("warnings:")
            lines.extend("  " + w.text for w in self.warnings)
        return "\n".join(lines) + "\n"

    def to_frame(self) -> "pandas.DataFrame":
        """The tests as a tidy table.

        Returns
        -------
        pandas.DataFrame
            One row per test (index ``test``: nonlinearity, reversibility,
            gaussianity, aliasing) with the columns ``statistic``, ``df``,
            ``p_asymptotic``, ``p_shuffled``, ``p`` (the p-value to read) and
            ``p_from`` ("shuffled" or "asymptotic").

        Examples
        --------
        >>> import numpy as np, quorvel
        >>> r = quorvel.analyse(np.random.default_rng(2).standard_normal(500), seed=1)
        >>> list(r.to_frame().columns)
        ['statistic', 'df', 'p_asymptotic', 'p_shuffled', 'p', 'p_from']
        """
        import pandas as pd

        frame = pd.DataFrame(
            {"statistic": [t.statistic for t in self.tests], "df": [t.df for t in self.tests],
             "p_asymptotic": [t.p_asymptotic for t in self.tests], "p_shuffled": [t.p_shuffled for t in self.tests],
             "p": [t.p for t in self.tests],
             "p_from": ["shuffled" if t.shuffled else "asymptotic" for t in self.tests]},
            index=pd.Index([t.name for t in self.tests], name="test"))
        return frame

    def to_dict(self) -> Dict[str, Any]:
        """Every field as numbers, texts, lists and dicts (NaN as None): strict JSON.

        Returns
        -------
        dict
            The fields by name; tests and warnings as dicts, as in the
            command line's JSON. ``Result.from_dict`` reads it back.
        """
        out: Dict[str, Any] = {f.name: _plain(getattr(self, f.name)) for f in dataclasses.fields(self)}
        return out

    def plot(self, fig: Optional["Figure"] = None, *, panels: Sequence[str] = ("k3+", "k3-", "histogram"),
             title: Optional[str] = None) -> "Figure":
        """Draws the run: its probability planes and its trispectral probabilities.

        The same drawing as `quorvel.plot(result)` and the batch's pictures
        (tools/plot_planes.py).

        Parameters
        ----------
        fig : matplotlib.figure.Figure, optional
            The figure to draw into; None makes a new one with pyplot.
        panels : sequence of str
            Which panels, left to right: "k3+", "k3-" (the probability planes),
            "histogram" (the trispectral probabilities against the uniform
            law), "fractiles" (their fractiles against the uniform law).
        title : str, optional
            A first title line (the run's own title, say).

        Returns
        -------
        matplotlib.figure.Figure

        Raises
        ------
        ValueError
            For an unknown panel name.

        Examples
        --------
        >>> import numpy as np, quorvel
        >>> r = quorvel.analyse(np.random.default_rng(3).standard_normal(2000), seed=5)
        >>> fig = r.plot()
        >>> len(fig.axes) >= 3
        True
        """
        from ._plot import plot

        return plot(self, fig, panels=panels, title=title)
