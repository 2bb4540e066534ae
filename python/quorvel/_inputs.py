"""What a numpy or pandas user hands over, checked and turned into the
library's arguments: the series, its rate and unit from a pandas index, the
settings and the seed."""
from __future__ import annotations

import numbers
import re
from typing import Any, Dict, NamedTuple, Optional, Tuple, Union

import numpy as np

from ._errors import QuorvelDataError, QuorvelSettingsError, QuorvelTypeError
from ._result import FloatArray

_INT_LIMIT = 2**31 - 1
SEED_LIMIT = 2**32 - 1

SeedLike = Union[int, np.integer, np.random.Generator, None]


class Series(NamedTuple):
    """A series as the library takes it, with what its container told."""

    values: FloatArray
    labels: Optional[Any]  # the pandas index, when its labels are not the positions
    sampling: Optional[Tuple[float, str]]  # (rate, unit) of a fixed-frequency index


def _is_pandas(x: Any, kind: str) -> bool:
    return type(x).__module__.split(".")[0] == "pandas" and any(c.__name__ == kind for c in type(x).__mro__)


def _refuse_kind(kind: str, where: str) -> None:
    if kind == "b":
        raise QuorvelTypeError(f"{where} is boolean: the tests take real numbers (convert with .astype(float) "
                               "if 0/1 is meant)")
    if kind == "c":
        raise QuorvelTypeError(f"{where} is complex: the tests take real numbers (pass x.real, x.imag or abs(x))")
    if kind in "mM":
        raise QuorvelTypeError(f"{where} holds dates or durations, not numbers")
    if kind in "USV":
        raise QuorvelTypeError(f"{where} is not an array of numbers (it holds text)")


def _element(value: Any, position: int) -> float:
    """One value of a list or object array, as a float."""
    if isinstance(value, (bool, np.bool_)):
        raise QuorvelTypeError(f"values[{position}] is boolean ({value!r}): the tests take real numbers")
    if isinstance(value, numbers.Complex) and not isinstance(value, numbers.Real):
        raise QuorvelTypeError(f"values[{position}] is complex ({value!r}): the tests take real numbers")
    if value is None:
        return float("nan")
    if isinstance(value, (str, bytes)):
        raise QuorvelTypeError(f"the series is not an array of numbers: values[{position}] is text "
                               f"({repr(value)[:40]})")
    try:
        return float(value)
    except OverflowError:
        digits = len(str(abs(int(value)))) if isinstance(value, numbers.Integral) else 0
        shown = f"an integer of {digits} digits" if digits else repr(value)[:40]
        raise QuorvelDataError(f"values[{position}] ({shown}) is beyond the range of a float "
                               "(at most about 1.8e308)") from None
    except (TypeError, ValueError):
        raise QuorvelTypeError(f"the series is not an array of numbers: values[{position}] is "
                               f"{repr(value)[:40]}") from None


def _fixed_sampling(index: Any) -> Optional[Tuple[float, str]]:
    """(rate, unit) of a pandas index with a fixed frequency, else None.

    Days, hours, minutes, weeks, months, quarters and years become that time
    unit with the interval as rate ('D' -> 1 day, '7D' -> 7 days, 'H' -> 1
    hour, 'W' -> 1 week, 'M'/'MS' -> 1 month, 'Q' -> 1 quarter, 'A'/'AS' -> 1
    year, 'B' -> 1 business day); seconds and shorter become a rate in Hz
    ('S' -> 1 Hz, '10ms' -> 100 Hz). Other frequencies fill nothing.
    """
    import pandas as pd  # type: ignore[import]
    from pandas.tseries import offsets  # type: ignore[import]

    freq = getattr(index, "freq", None)
    if freq is None and isinstance(index, pd.DatetimeIndex) and len(index) >= 3:
        try:
            freq = pd.infer_freq(index)
        except (TypeError, ValueError):
            freq = None
    if freq is None:
        return None
    try:
        offset = pd.tseries.frequencies.to_offset(freq)
    except (TypeError, ValueError):
        return None
    n = float(offset.n)
    if n <= 0:
        return None
    units = ((offsets.Day, "days"), (offsets.Hour, "hours"), (offsets.Minute, "minutes"), (offsets.Week, "weeks"),
             (offsets.BusinessDay, "business days"))
    for kind, unit in units:
        if type(offset) is kind:
            return n, unit
    if isinstance(offset, offsets.Tick):  # seconds and below
        return 1e9 / float(offset.nanos), "Hz"
    name = type(offset).__name__
    for word, unit in (("Month", "months"), ("Quarter", "quarters"), ("Year", "years")):
        if word in name and "Semi" not in name:
            return n, unit
    return None


def series_of(x: Any) -> Series:
    """The values of one series, refusing what is not a real series."""
    if _is_pandas(x, "DataFrame"):
        raise QuorvelTypeError("analyse takes one series; a DataFrame holds one per column: use analyse_many")
    labels = None
    sampling = None
    if _is_pandas(x, "Series") or _is_pandas(x, "Index"):
        import pandas as pd

        dtype = x.dtype
        if pd.api.types.is_bool_dtype(dtype):
            _refuse_kind("b", "the series")
        if pd.api.types.is_complex_dtype(dtype):
            _refuse_kind("c", "the series")
        if pd.api.types.is_datetime64_any_dtype(dtype) or pd.api.types.is_timedelta64_dtype(dtype):
            _refuse_kind("M", "the series")
        if _is_pandas(x, "Series"):
            index = x.index
            if not (isinstance(index, pd.RangeIndex) and index.start == 0 and index.step == 1):
                labels = index
            sampling = _fixed_sampling(index)
        if pd.api.types.is_numeric_dtype(dtype):
            return Series(np.ascontiguousarray(x.to_numpy(dtype=np.float64, na_value=np.nan)), labels, sampling)
        x = x.to_numpy(dtype=object)
    try:
        array = np.asarray(x)
    except (TypeError, ValueError) as error:
        raise QuorvelTypeError(f"the series is not an array of numbers: {error}") from None
    if array.ndim == 0:
        raise QuorvelTypeError(f"the series must be one-dimensional, not a single value ({array!r})")
    if array.ndim != 1:
        raise QuorvelTypeError(f"the series must be one-dimensional, not of shape {array.shape} "
                               "(analyse_many takes a 2-D array as one series per column)")
    _refuse_kind(array.dtype.kind, "the series")
    if array.dtype.kind == "O":
        values = np.array([_element(v, i) for i, v in enumerate(array)], dtype=np.float64)
    elif array.dtype.kind in "iuf":
        values = array.astype(np.float64)
    else:
        raise QuorvelTypeError(f"the series is not an array of numbers (dtype {array.dtype})")
    return Series(np.ascontiguousarray(values), labels, sampling)


_POSITION = re.compile(r"values\[(\d+)\]")


def with_label(message: str, labels: Optional[Any]) -> str:
    """A message that names values[i] also names the index label of i."""
    found = _POSITION.search(message)
    if labels is None or not found or int(found.group(1)) >= len(labels):
        return message
    label = labels[int(found.group(1))]
    return message[:found.end()] + f" (index label {label})" + message[found.end():]


def integer(value: Any, name: str) -> int:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise QuorvelTypeError(f"{name} must be a whole number, not {value!r}")
    if abs(int(value)) > _INT_LIMIT:
        raise QuorvelSettingsError(f"{name} = {value} is out of range (at most {_INT_LIMIT})")
    return int(value)


def real(value: Any, name: str) -> float:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise QuorvelTypeError(f"{name} must be a number, not {value!r}")
    return float(value)


def seed_of(seed: SeedLike) -> int:
    """The seed of a run: fresh entropy for None, one drawn from a Generator."""
    if seed is None:
        return int(np.random.SeedSequence().generate_state(1, dtype=np.uint32)[0])
    if isinstance(seed, np.random.Generator):
        return int(seed.integers(0, SEED_LIMIT, endpoint=True, dtype=np.uint64))
    if isinstance(seed, (bool, np.bool_)) or not isinstance(seed, numbers.Integral):
        raise QuorvelTypeError(f"seed must be None, a whole number in 0 ... 2**32 - 1 or a numpy.random.Generator, "
                               f"not {seed!r}")
    if not 0 <= int(seed) <= SEED_LIMIT:
        raise QuorvelSettingsError(f"seed must be in 0 ... 2**32 - 1 (got {seed})")
    return int(seed)


def threads_of(threads: Optional[int]) -> int:
    if threads is None:
        return 0
    count = integer(threads, "threads")
    if count < 1:
        raise QuorvelSettingsError(f"threads must be at least 1, or None for every processor (got {threads})")
    return count


def settings_of(rate: Optional[float], unit: Optional[str], band: Optional[Tuple[float, float]],
                bandwidth: Union[float, str], frame_length: Optional[int], taper: float, ar_order: Optional[int],
                ar_threshold: float, resamples: int, quantile: float, start: int, end: int) -> Dict[str, Any]:
    """The keyword arguments of the library's call, checked for type; `rate`
    and `unit` stay None when not given (the series' index may fill them)."""
    if band is None:
        low, high = 0.0, 0.0
    else:
        try:
            low, high = band
        except (TypeError, ValueError):
            raise QuorvelTypeError(f"band must be None or a pair (low, high), not {band!r}") from None
    if isinstance(bandwidth, str):
        if bandwidth != "auto":
            raise QuorvelTypeError(f"bandwidth must be a number or 'auto', not {bandwidth!r}")
        width = 0.0
    else:
        width = real(bandwidth, "bandwidth")
        if width <= 0.0:  # 0 would choose the frame length: "auto" says so
            raise QuorvelSettingsError(f"bandwidth must be > 0, or 'auto' (got {bandwidth!r})")
    frame = 0 if frame_length is None else integer(frame_length, "frame_length")
    if frame_length is not None and frame < 10:
        raise QuorvelSettingsError(f"frame_length must be at least 10, or None to choose it (got {frame_length!r})")
    if unit is not None and not isinstance(unit, str):
        raise QuorvelTypeError(f"unit must be a text, not {unit!r}")
    return dict(unit=unit, rate=None if rate is None else real(rate, "rate"), band_low=real(low, "band[0]"),
                band_high=real(high, "band[1]"), taper=real(taper, "taper"), bandwidth=width, frame_length=frame,
                ar_order=None if ar_order is None else integer(ar_order, "ar_order"),
                ar_threshold=real(ar_threshold, "ar_threshold"), start=integer(start, "start"),
                end=integer(end, "end"), resamples=integer(resamples, "resamples"),
                quantile=real(quantile, "quantile"))


def sampled(settings: Dict[str, Any], series: Series) -> Dict[str, Any]:
    """The settings with the rate and unit of the series' index when neither was given."""
    out = dict(settings)
    if out["rate"] is None and out["unit"] is None and series.sampling is not None:
        out["rate"], out["unit"] = series.sampling
    if out["rate"] is None:
        out["rate"] = 1.0
    if out["unit"] is None:
        out["unit"] = "Hz"
    return out
