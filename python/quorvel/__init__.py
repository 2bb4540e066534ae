"""Trispectrum tests of a time series for nonlinearity, time irreversibility,
non-Gaussianity and aliasing.

    >>> import quorvel
    >>> r = quorvel.analyse(x, ar_order=4, resamples=99)
    >>> r.p_quantile, r.p_reversibility, r.p_zero, r.p_aliasing

`analyse` tests one series and returns a `Result`; `analyse_many` tests many
series in parallel (on a dask.distributed Client when one is given) and
returns a pandas DataFrame. A bad setting raises `QuorvelSettingsError`, a
bad series `QuorvelDataError` (both `QuorvelError`, a ValueError; a value of
the wrong type raises `QuorvelTypeError`, also a TypeError). The notices of a
run come as `QuorvelWarning`s through the `warnings` module and stay in
`Result.warnings`. Ctrl-C stops a call within a fraction of a second.
"""
import numbers
import warnings as _warnings

import numpy as np

from . import _core
from ._errors import QuorvelDataError, QuorvelError, QuorvelSettingsError, QuorvelTypeError, QuorvelWarning
from ._result import Result, RunWarning

__all__ = ["analyse", "analyse_many", "Result", "RunWarning", "QuorvelError", "QuorvelSettingsError",
           "QuorvelDataError", "QuorvelTypeError", "QuorvelWarning"]

_INT_LIMIT = 2**31 - 1


def _series(x):
    try:
        values = np.asarray(x, dtype=np.float64)
    except (TypeError, ValueError) as error:
        raise QuorvelTypeError(f"the series is not an array of numbers: {error}") from None
    if values.ndim != 1:
        raise QuorvelTypeError(f"the series must be one-dimensional, not of shape {values.shape}")
    return np.ascontiguousarray(values)


def _integer(value, name):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise QuorvelTypeError(f"{name} must be a whole number, not {value!r}")
    if abs(int(value)) > _INT_LIMIT:
        raise QuorvelSettingsError(f"{name} = {value} is out of range")
    return int(value)


def _real(value, name):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise QuorvelTypeError(f"{name} must be a number, not {value!r}")
    return float(value)


def _settings(rate=1.0, unit="Hz", band=None, bandwidth="auto", frame_length=None, taper=0.0, ar_order=None,
              ar_threshold=0.05, resamples=199, quantile=0.8, seed=None, start=1, end=0):
    """The keyword arguments of the library's call, checked for type."""
    if band is None:
        low, high = 0.0, 0.0
    else:
        try:
            low, high = band
        except (TypeError, ValueError):
            raise QuorvelTypeError(f"band must be a pair (low, high), not {band!r}") from None
    if isinstance(bandwidth, str):
        if bandwidth != "auto":
            raise QuorvelTypeError(f"bandwidth must be a number or 'auto', not {bandwidth!r}")
        width = 0.0
    else:
        width = _real(bandwidth, "bandwidth")
        if width <= 0.0:  # 0 would choose the frame length: "auto" says so
            raise QuorvelSettingsError(f"bandwidth must be > 0, or 'auto' (got {bandwidth!r})")
    frame = 0 if frame_length is None else _integer(frame_length, "frame_length")
    if frame_length is not None and frame < 10:
        raise QuorvelSettingsError(f"frame_length must be at least 10, or None to choose it (got {frame_length!r})")
    if seed is not None:
        seed = _integer(seed, "seed") if abs(seed) <= _INT_LIMIT else int(seed)
        if not 0 <= seed <= 2**32 - 1:
            raise QuorvelSettingsError(f"seed must be in 0 ... 2**32 - 1 (got {seed})")
    if not isinstance(unit, str):
        raise QuorvelTypeError(f"unit must be a text, not {unit!r}")
    return dict(unit=unit, rate=_real(rate, "rate"), band_low=_real(low, "band"),
                band_high=_real(high, "band"), taper=_real(taper, "taper"), bandwidth=width,
                frame_length=frame, ar_order=None if ar_order is None else _integer(ar_order, "ar_order"),
                ar_threshold=_real(ar_threshold, "ar_threshold"),
                start=_integer(start, "start"), end=_integer(end, "end"),
                resamples=_integer(resamples, "resamples"), quantile=_real(quantile, "quantile"),
                seed=seed)


def _threads(threads):
    if threads is None:
        return 0
    threads = _integer(threads, "threads")
    if threads < 1:
        raise QuorvelSettingsError(f"threads must be at least 1, or None for every processor (got {threads})")
    return threads


def _analyse(x, settings, threads=0, title=""):
    return Result(_core.analyse(_series(x), title=title, threads=threads, **settings))


def analyse(x, rate=1.0, unit="Hz", band=None, bandwidth="auto", frame_length=None, taper=0.0, ar_order=None,
            ar_threshold=0.05, resamples=199, quantile=0.8, seed=None, start=1, end=0, threads=None):
    """Tests the series x (any 1-D array-like) and returns a Result.

    rate: sampling rate in `unit` ("kHz" or "Hz", any letter case), or the
        sampling interval when `unit` names a time unit ("days").
    band: (low, high) frequencies, or (longest, shortest) periods for a time
        unit; None, or an end of 0: the whole band up to Nyquist.
    bandwidth: resolution bandwidth, or "auto"; frame_length: the frame
        length M itself (at least 10) instead. With neither, M is the
        largest M >= 10 with ln M / ln N <= 1/3.
    taper: percent of each frame, 0 to 25.
    ar_order, ar_threshold: AR prewhitening (largest order, p-value for
        keeping a lag); 0 = none.
    resamples: bootstrap ("Shuffled") resamples, 11 or more, with
        prewhitening; seed: their seed (None: the batch program's start).
    quantile: quantile of the nonlinearity test.
    start, end: first and last value (1-based; end 0 = the last).
    threads: threads the call may use (None: every processor).

    The interpreter lock is released while the call computes; Ctrl-C
    raises KeyboardInterrupt within a fraction of a second. Each notice of
    the run is also issued as a QuorvelWarning.
    """
    settings = _settings(rate=rate, unit=unit, band=band, bandwidth=bandwidth, frame_length=frame_length,
                         taper=taper, ar_order=ar_order, ar_threshold=ar_threshold, resamples=resamples,
                         quantile=quantile, seed=seed, start=start, end=end)
    result = _analyse(x, settings, threads=_threads(threads))
    for warning in result.warnings:
        _warnings.warn(QuorvelWarning(warning.text, warning.code), stacklevel=2)
    return result


def analyse_many(series, client=None, threads=1, **settings):
    """Tests many series in parallel; returns a pandas DataFrame, a row per series.

    series: a list of arrays, a dict of name -> array, or a pandas
        DataFrame (one series per column).
    client: a dask.distributed Client to run on; None runs on local threads.
    threads: threads each series may use (1: the series themselves are the
        parallel work).
    settings: the keyword arguments of analyse.

    The row of a series that fails holds its message in `error`; the others
    still run. Results do not depend on where a series ran.
    """
    from ._many import analyse_many as run

    return run(series, client, _settings(**settings), _threads(threads))
