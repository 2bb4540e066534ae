"""Trispectrum tests of a time series for nonlinearity, time irreversibility,
non-Gaussianity and aliasing.

`analyse` tests one series and returns a `Result`; `analyse_many` tests many
series in parallel (on a dask.distributed Client when one is given) and returns
a pandas DataFrame; `plot` draws a result. A bad setting raises
`QuorvelSettingsError`, a bad series `QuorvelDataError` (both `QuorvelError`, a
ValueError; a value of the wrong type raises `QuorvelTypeError`, also a
TypeError). The notices of a run come as `QuorvelWarning`s through the
`warnings` module and stay in `Result.warnings`. Ctrl-C stops a call within a
fraction of a second.

Examples
--------
>>> import numpy as np, quorvel
>>> r = quorvel.analyse(np.random.default_rng(0).standard_normal(1000), seed=42)
>>> sorted(r.p)
['aliasing', 'gaussianity', 'nonlinearity', 'reversibility']
"""
from __future__ import annotations

import warnings as _warnings
from typing import TYPE_CHECKING, Any, Literal, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
from numpy.typing import ArrayLike

from . import _core
from ._errors import QuorvelDataError, QuorvelError, QuorvelSettingsError, QuorvelTypeError, QuorvelWarning
from ._inputs import SeedLike, sampled, seed_of, series_of, settings_of, threads_of, with_label
from ._plot import plot
from ._result import ArFit, Result, RunWarning, Statistics, TestResult, ValueTable

if TYPE_CHECKING:  # pragma: no cover
    import pandas  # type: ignore[import]

__version__: str = _core.__version__

__all__ = ["analyse", "analyse_many", "plot", "Result", "TestResult", "RunWarning", "Statistics", "ArFit",
           "ValueTable", "QuorvelError", "QuorvelSettingsError", "QuorvelDataError", "QuorvelTypeError",
           "QuorvelWarning", "__version__"]

#: What analyse_many takes: a DataFrame or 2-D array (one series per column),
#: a dict of name -> series, or a list of series.
ManySeries = Union["pandas.DataFrame", np.ndarray, Mapping[Any, ArrayLike], Sequence[ArrayLike]]


def _analyse(x: Any, settings: dict[str, Any], seed: int, threads: int, title: str = "") -> Result:
    series = series_of(x)
    try:
        found = _core.analyse(series.values, title=title, threads=threads, seed=seed, **sampled(settings, series))
    except QuorvelDataError as error:
        raise QuorvelDataError(with_label(str(error), series.labels)) from None
    return Result.from_dict(found, seed=seed)


def analyse(x: ArrayLike, rate: Optional[float] = None, unit: Optional[str] = None,
            band: Optional[Tuple[float, float]] = None, bandwidth: Union[float, Literal["auto"]] = "auto",
            frame_length: Optional[int] = None, taper: float = 0.0, ar_order: Optional[int] = None,
            ar_threshold: float = 0.05, resamples: int = 199, quantile: float = 0.8, seed: SeedLike = None,
            start: int = 1, end: int = 0, threads: Optional[int] = None) -> Result:
    """Tests one series for nonlinearity, time irreversibility, non-Gaussianity and aliasing.

    The defaults follow the statistical guidance (docs/statistics.md): AR
    prewhitening up to order min(10, N/10), a bootstrap of 199 resamples whose
    ("Shuffled") p-values are the ones to read, frames of 16 points.

    Parameters
    ----------
    x : array_like
        The series: a list, a numpy array of any real dtype, or a pandas
        Series (1-D). A Series whose index has a fixed frequency gives the
        rate and unit when neither is given ('D' -> 1 day, 'H' -> 1 hour,
        'M' -> 1 month, 'A' -> 1 year, 'S' -> 1 Hz, ...; docs/python.md).
    rate : float, optional
        The sampling rate in `unit` ("Hz", "kHz"), or the sampling interval
        when `unit` names a time unit ("days"). Default 1.
    unit : str, optional
        "Hz" or "kHz" in any letter case, or a time unit ("days", "years");
        another frequency unit ("MHz", "Hertz") is refused. Default "Hz".
    band : (float, float), optional
        (low, high) frequencies, or (longest, shortest) periods for a time
        unit; an end of 0 leaves that end of the band open. None: the whole band.
    bandwidth : float or "auto"
        The resolution bandwidth, which sets the frame length.
    frame_length : int, optional
        The frame length M itself (at least 10), instead of `bandwidth`. With
        neither, M = 16.
    taper : float
        Taper, percent of each frame, 0 to 25.
    ar_order : int, optional
        Largest order of the stepwise AR prewhitening; 0: none; None: min(10, N/10).
    ar_threshold : float
        p-value threshold for keeping an AR lag, in (0, 1].
    resamples : int
        Bootstrap ("Shuffled") resamples: 0 for none, else at least 11.
    quantile : float
        Quantile of the nonlinearity test, in (0, 1).
    seed : None, int or numpy.random.Generator
        Seed of the bootstrap's shuffles: an int in 0 ... 2**32 - 1, a seed
        drawn from a Generator, or None for fresh entropy. The seed used is
        ``Result.seed``; 5489 gives the numbers of a one-run batch.
    start, end : int
        First and last value analysed, 1-based; `end` 0: the last.
    threads : int, optional
        Threads the call may use; None: every processor.

    Returns
    -------
    Result
        The tests (``result.tests``, ``result.p``), the run's numbers, its
        planes, its warnings and the texts of its report and value files.

    Raises
    ------
    QuorvelSettingsError
        A setting out of its range (a ValueError), e.g. ``quantile must be in (0, 1) (got 1.5)``.
    QuorvelDataError
        A series the tests cannot take (a ValueError): empty, too short, a
        value that is not finite (named by its 0-based position and, for a
        pandas Series, its index label).
    QuorvelTypeError
        A setting or a series of the wrong type (a TypeError): complex or
        boolean values, text, a 2-D array.
    KeyboardInterrupt
        On Ctrl-C, within a fraction of a second.

    Warns
    -----
    QuorvelWarning
        Each notice of the run (``warning.code``: "consistency",
        "bootstrap_off", "asymptotic", ...), also in ``Result.warnings``.

    Examples
    --------
    >>> import numpy as np, quorvel
    >>> x = np.random.default_rng(1).standard_normal(2000)
    >>> r = quorvel.analyse(x, seed=12345)
    >>> r.M, r.resamples, r.seed
    (16, 199, 12345)
    >>> again = quorvel.analyse(x, seed=r.seed)
    >>> again.p == r.p
    True
    """
    settings = settings_of(rate=rate, unit=unit, band=band, bandwidth=bandwidth, frame_length=frame_length,
                           taper=taper, ar_order=ar_order, ar_threshold=ar_threshold, resamples=resamples,
                           quantile=quantile, start=start, end=end)
    result = _analyse(x, settings, seed_of(seed), threads_of(threads))
    for warning in result.warnings:
        _warnings.warn(QuorvelWarning(warning.text, warning.code), stacklevel=2)
    return result


def analyse_many(series: ManySeries, client: Optional[Any] = None, threads: int = 1, *,
                 rate: Optional[float] = None, unit: Optional[str] = None,
                 band: Optional[Tuple[float, float]] = None, bandwidth: Union[float, Literal["auto"]] = "auto",
                 frame_length: Optional[int] = None, taper: float = 0.0, ar_order: Optional[int] = None,
                 ar_threshold: float = 0.05, resamples: int = 199, quantile: float = 0.8, seed: SeedLike = None,
                 start: int = 1, end: int = 0) -> "pandas.DataFrame":
    """Tests many series in parallel and gives a row per series.

    A series that fails does not stop the others: its row holds the message in
    ``error`` (one line) and empty numbers. The rows do not depend on where a
    series ran (local threads or a dask cluster).

    Parameters
    ----------
    series : DataFrame, 2-D array, dict or list
        A pandas DataFrame or a 2-D numpy array: one series per column; a
        dict: name -> series; a list: series named 0, 1, ... Each series is
        what `analyse` takes.
    client : dask.distributed.Client, optional
        Runs the series on the client's workers; None: on local threads, one
        per processor.
    threads : int
        Threads each series may use (1: the series themselves are the
        parallel work).
    rate, unit, band, bandwidth, frame_length, taper, ar_order, ar_threshold, resamples, quantile, start, end
        As for `analyse`, for every series.
    seed : None, int or numpy.random.Generator
        One seed for every series (None: fresh entropy); the frame's
        ``attrs["seed"]`` holds it.

    Returns
    -------
    pandas.DataFrame
        Indexed by the series' names (index ``name``), with the columns of
        the command line's CSV: N, M (integers, <NA> for a failed series), e,
        p_quantile, p_reversibility, p_zero, p_aliasing, shuffled_quantile,
        shuffled_reversibility, shuffled_zero, shuffled_aliasing, lambda_hat,
        p.nonlinearity, p.reversibility, p.gaussianity, p.aliasing (the
        p-values to read), p_from ("shuffled" or "asymptotic"), warnings
        (joined by "; ") and error.

    Raises
    ------
    QuorvelSettingsError, QuorvelTypeError
        A setting that no series could take, before anything runs.
    TypeError
        `series` is one series (use `analyse`) or not a collection of series.

    Examples
    --------
    >>> import numpy as np, quorvel
    >>> data = np.random.default_rng(2).standard_normal((1000, 3))
    >>> frame = quorvel.analyse_many(data, seed=1)
    >>> list(frame.index), str(frame["N"].dtype)
    ([0, 1, 2], 'Int64')
    """
    from ._many import analyse_many as run

    settings = settings_of(rate=rate, unit=unit, band=band, bandwidth=bandwidth, frame_length=frame_length,
                           taper=taper, ar_order=ar_order, ar_threshold=ar_threshold, resamples=resamples,
                           quantile=quantile, start=start, end=end)
    return run(series, client, settings, seed_of(seed), threads_of(threads))
