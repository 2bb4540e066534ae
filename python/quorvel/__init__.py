"""Trispectrum tests of a time series for nonlinearity, time irreversibility,
non-Gaussianity and aliasing.

    >>> import quorvel
    >>> r = quorvel.analyse(x, ar_order=4, resamples=99)
    >>> r.p_quantile, r.p_reversibility, r.p_zero, r.p_aliasing

`analyse` tests one series and returns a `Result`; `analyse_many` tests many
series in parallel (on a dask.distributed Client when one is given) and
returns a pandas DataFrame. Bad settings or data raise `QuorvelError` (a
ValueError) with the message the batch program writes.
"""
import numbers

import numpy as np

from . import _core
from ._result import Result

QuorvelError = _core.QuorvelError
QuorvelError.__module__ = __name__

__all__ = ["analyse", "analyse_many", "Result", "QuorvelError"]

_INT_LIMIT = 2**31 - 1


def _series(x):
    try:
        values = np.asarray(x, dtype=np.float64)
    except (TypeError, ValueError) as error:
        raise QuorvelError(f"The series is not an array of numbers: {error}") from None
    if values.ndim != 1:
        raise QuorvelError(f"The series must be one-dimensional, not of shape {values.shape}")
    return np.ascontiguousarray(values)


def _integer(value, name):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise QuorvelError(f"Setting {name} must be a whole number, not {value!r}")
    if abs(int(value)) > _INT_LIMIT:
        raise QuorvelError(f"Setting {name} = {value} is out of range")
    return int(value)


def _real(value, name):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise QuorvelError(f"Setting {name} must be a number, not {value!r}")
    return float(value)


def _settings(rate=1.0, unit="Hz", band=None, bandwidth="auto", taper=0.0, ar_order=0,
              ar_threshold=0.05, resamples=0, quantile=0.8, seed=None, start=1, end=0):
    """The keyword arguments of the library's call, checked for type."""
    if band is None:
        low, high = 0.0, 0.0
    else:
        try:
            low, high = band
        except (TypeError, ValueError):
            raise QuorvelError(f"Setting band must be a pair (low, high), not {band!r}") from None
    if isinstance(bandwidth, str):
        if bandwidth != "auto":
            raise QuorvelError(f"Setting bandwidth must be a number or 'auto', not {bandwidth!r}")
        width = 0.0
    else:
        width = _real(bandwidth, "bandwidth")
        if width == 0.0:  # 0 would choose the frame length; the run refuses it
            raise QuorvelError("Resolution bandwidth < 0")
    if seed is not None:
        seed = _integer(seed, "seed")
        if not 0 <= seed <= 2**32 - 1:
            raise QuorvelError(f"Setting seed = {seed} is not in 0 ... 2**32 - 1")
    if not isinstance(unit, str):
        raise QuorvelError(f"Setting unit must be a text, not {unit!r}")
    return dict(unit=unit, rate=_real(rate, "rate"), band_low=_real(low, "band"),
                band_high=_real(high, "band"), taper=_real(taper, "taper"), bandwidth=width,
                ar_order=_integer(ar_order, "ar_order"), ar_threshold=_real(ar_threshold, "ar_threshold"),
                start=_integer(start, "start"), end=_integer(end, "end"),
                resamples=_integer(resamples, "resamples"), quantile=_real(quantile, "quantile"),
                seed=seed)


def _analyse(x, settings, threads=0, title=""):
    return Result(_core.analyse(_series(x), title=title, threads=threads, **settings))


def analyse(x, rate=1.0, unit="Hz", band=None, bandwidth="auto", taper=0.0, ar_order=0,
            ar_threshold=0.05, resamples=0, quantile=0.8, seed=None, start=1, end=0):
    """Tests the series x (any 1-D array-like) and returns a Result.

    rate: sampling rate in `unit` ("kHz" or "Hz"), or the sampling interval
        when `unit` names a time unit ("days").
    band: (low, high) frequencies, or (longest, shortest) periods for a time
        unit; None or 0 ends: the whole band up to Nyquist.
    bandwidth: resolution bandwidth, or "auto": the largest frame length
        M >= 10 with ln M / ln N <= 1/3.
    taper: percent of each frame, 0 to 25.
    ar_order, ar_threshold: AR prewhitening (largest order, p-value for
        keeping a lag); 0 = none.
    resamples: bootstrap ("Shuffled") resamples, 11 or more, with
        prewhitening; seed: their seed (None: the batch program's start).
    quantile: quantile of the nonlinearity test.
    start, end: first and last datum (1-based; end 0 = the last).

    The interpreter lock is released while the call computes.
    """
    settings = _settings(rate=rate, unit=unit, band=band, bandwidth=bandwidth, taper=taper,
                         ar_order=ar_order, ar_threshold=ar_threshold, resamples=resamples,
                         quantile=quantile, seed=seed, start=start, end=end)
    return _analyse(x, settings)


def analyse_many(series, client=None, **settings):
    """Tests many series in parallel; returns a pandas DataFrame, a row per series.

    series: a list of arrays, a dict of name -> array, or a pandas
        DataFrame (one series per column).
    client: a dask.distributed Client to run on; None runs on local threads.
    settings: the keyword arguments of analyse.

    The row of a series that fails holds its message in `error`; the others
    still run. Results do not depend on where a series ran.
    """
    from ._many import analyse_many as run

    return run(series, client, _settings(**settings))
