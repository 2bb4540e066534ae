"""What a numpy or pandas user hands to analyse: real dtypes, lists and
Series taken alike; complex, boolean and text refused; errors naming
positions and index labels; the rate and unit of a fixed-frequency index;
seeds."""
import warnings

import numpy as np
import pandas as pd
import pytest

import quorvel
from conftest import key

X = np.random.default_rng(3).standard_normal(600) * 100


def quiet(x, **settings):
    """analyse with a seed and a short bootstrap, its notices not shown."""
    settings.setdefault("seed", 1)
    settings.setdefault("resamples", 19)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", quorvel.QuorvelWarning)
        return quorvel.analyse(x, **settings)


@pytest.mark.parametrize("make", [
    lambda x: x.astype(np.float32).astype(np.float64),
    lambda x: list(x.astype(np.float32).astype(np.float64)),
    lambda x: x.astype(np.float32),
    lambda x: pd.Series(x.astype(np.float32)),
    lambda x: pd.Series(x.astype(np.float32), index=pd.RangeIndex(5, 605)),
    lambda x: x.astype(np.float32).astype(np.longdouble),
], ids=["float64", "list", "float32", "Series", "Series-range", "longdouble"])
def test_real_dtypes_lists_and_series_give_one_result(make):
    reference = quiet(X.astype(np.float32).astype(np.float64))
    assert key(quiet(make(X))) == key(reference)


@pytest.mark.parametrize("values", [
    np.arange(600) % 7, (np.arange(600) % 7).astype(np.uint8), pd.Series(np.arange(600) % 7, dtype="Int64"),
    [int(v) for v in np.arange(600) % 7],
], ids=["int64", "uint8", "Int64", "list-int"])
def test_integers_are_numbers(values):
    assert key(quiet(values)) == key(quiet((np.arange(600) % 7).astype(float)))


@pytest.mark.parametrize("values, message", [
    (X + 1j, "complex"), (X.astype(np.complex64), "complex"), ([1.0, 2j] * 300, "complex"),
    (X > 0, "boolean"), (pd.Series(X > 0), "boolean"), ([True, False] * 300, "boolean"),
    (pd.Series(X > 0, dtype="boolean"), "boolean"), (["a", "b"] * 300, "text"),
    (np.zeros((300, 2)), "one-dimensional"), (3.0, "single value"),
    (pd.DataFrame({"a": X}), "use analyse_many"),
    (pd.date_range("2000", periods=600).to_series(), "dates"),
])
def test_complex_boolean_and_other_non_real_input_is_a_type_error(values, message):
    with pytest.raises(quorvel.QuorvelTypeError) as caught:
        quorvel.analyse(values)
    assert message in str(caught.value)
    assert isinstance(caught.value, TypeError)


@pytest.mark.parametrize("values, message", [
    (list(X[:300]) + [10**400] + list(X[:300]), "values[300] (an integer of 401 digits) is beyond the range"),
    (np.r_[X, np.nan], "values[600] is NaN (0-based)"),
    (pd.Series(np.r_[X[:10], np.inf, X[:600]], index=pd.date_range("1900-01-01", periods=611, freq="D")),
     "values[10] (index label 1900-01-11 00:00:00) is inf (0-based)"),
    (pd.Series(np.r_[X, None], dtype="Float64", index=[f"row{i}" for i in range(601)]),
     "values[600] (index label row600) is NaN"),
    ([], "the series is empty"),
])
def test_bad_values_are_named_by_position_and_index_label(values, message):
    with pytest.raises(quorvel.QuorvelDataError) as caught:
        quorvel.analyse(values)
    assert message in str(caught.value)


@pytest.mark.parametrize("freq, rate, unit", [
    ("D", 1.0, "days"), ("7D", 7.0, "days"), ("H", 1.0, "hours"), ("15T", 15.0, "minutes"),
    ("W", 1.0, "weeks"), ("M", 1.0, "months"), ("MS", 1.0, "months"), ("Q", 1.0, "quarters"),
    ("A", 1.0, "years"), ("AS", 1.0, "years"), ("B", 1.0, "business days"), ("S", 1.0, "Hz"),
    ("10L", 100.0, "Hz"), ("250U", 4000.0, "Hz"),
])
def test_a_fixed_frequency_index_gives_rate_and_unit(freq, rate, unit):
    series = pd.Series(X[:500], index=pd.date_range("1700-01-01", periods=500, freq=freq))
    r = quiet(series)
    assert (r.rate, r.unit) == (pytest.approx(rate), unit)
    # Without the index's freq (as read from a file) the frequency is inferred.
    if freq not in ("B", "7D"):  # inferred as business days of ... and weeks: the same sampling
        assert quiet(pd.Series(X[:500], index=pd.DatetimeIndex(list(series.index)))).unit == unit
    # A period index says the same; given settings win over the index.
    if freq in ("M", "A", "D"):
        assert quiet(series.to_period()).unit == unit
    assert (quiet(series, rate=2.0, unit="Hz").rate, quiet(series, unit="hours").unit) == (2.0, "hours")


def test_an_irregular_index_fills_nothing():
    index = pd.DatetimeIndex(np.datetime64("2000-01-01") + np.cumsum(np.r_[0, np.arange(1, X.size) % 3 + 1]))
    r = quiet(pd.Series(X, index=index))
    assert (r.rate, r.unit) == (1.0, "Hz")


def test_seeds_none_int_and_generator():
    x = np.random.default_rng(9).standard_normal(1500)
    fresh = [quiet(x, seed=None, resamples=99) for _ in range(2)]
    assert fresh[0].seed != fresh[1].seed and all(0 <= r.seed <= 2**32 - 1 for r in fresh)
    # The seed used repeats the run; another seed gives other Shuffled p-values.
    assert key(quiet(x, seed=fresh[0].seed, resamples=99)) == key(fresh[0])
    top = quiet(x, seed=2**32 - 1, resamples=99)
    assert top.seed == 2**32 - 1
    assert [t.p_shuffled for t in top.tests] != [t.p_shuffled for t in quiet(x, seed=0, resamples=99).tests]
    assert [t.p_asymptotic for t in top.tests] == [t.p_asymptotic for t in fresh[0].tests]
    # A Generator gives a seed drawn from it: the same state, the same run.
    a = quiet(x, seed=np.random.default_rng(5), resamples=99)
    b = quiet(x, seed=np.random.default_rng(5), resamples=99)
    assert a.seed == b.seed and key(a) == key(b)
    assert quiet(x, seed=np.uint32(17)).seed == 17
    for bad, kind in ((2**32, quorvel.QuorvelSettingsError), (-1, quorvel.QuorvelSettingsError),
                      (True, quorvel.QuorvelTypeError), (1.5, quorvel.QuorvelTypeError),
                      ("7", quorvel.QuorvelTypeError), (np.random.RandomState(1), quorvel.QuorvelTypeError)):
        with pytest.raises(kind, match="seed must"):
            quorvel.analyse(x, seed=bad)
