"""quorvel.analyse against the batch program, its result object and its errors."""
import json
import math

import numpy as np
import pytest

import quorvel
from conftest import EXAMPLE_SETTINGS, example_series

# Lines that describe the data file's layout (the library's series is one
# column of its own) or the clock.
SKIPPED = ("Column Number Used", " Format: ", "Date & Time", "Elapsed time", " Run ")


def comparable(text):
    return [line for line in text.splitlines()
            if not any(part in line for part in SKIPPED) and not line.startswith(" Version")]


@pytest.mark.parametrize("stem", sorted(EXAMPLE_SETTINGS))
def test_report_and_value_files_are_the_batch_programs(stem, run_batch):
    column, settings = EXAMPLE_SETTINGS[stem]
    folder = run_batch(stem)
    r = quorvel.analyse(example_series(stem, column), **settings)
    # The report's title line is the data file's first line; the series has none.
    title = (folder / f"{stem}.dat").read_text().splitlines()[0]
    batch = comparable((folder / f"{stem}_Quorvel.out").read_text())
    mine = comparable(r.report)
    assert len(mine) == len(batch)
    for i, (a, b) in enumerate(zip(mine, batch)):
        assert a == b or (a.strip() == "" and b.strip() == title.strip()), f"line {i + 1}: {a!r} != {b!r}"
    for name, text in ((f"{stem}-k3+_quorvel.out", r.positive_file), (f"{stem}-k3-_quorvel.out", r.negative_file)):
        assert comparable(text) == comparable((folder / name).read_text())
    # The numbers are those the report prints.
    assert f"p-value = {r.p_zero:7.5f} for the zero trispectrum test" in r.report
    assert r.plane_positive.shape == (len(r.axis), len(r.axis))
    assert r.K == r.N // r.M


def test_result_object():
    x = example_series("sunspots", 2)
    r = quorvel.analyse(list(x), unit="years", bandwidth=25.0, ar_order=9, resamples=99, seed=3)
    text = repr(r)
    for name in ("quantile nonlinearity test", "time reversibility test", "zero trispectrum test",
                 "aliasing test", "Shuffled p-value", "warnings:", "Condition for Consistency"):
        assert name in text
    d = json.loads(json.dumps(r.to_dict()))
    assert d["M"] == 25 and d["ar"]["lags"] == r.ar["lags"]
    assert len(d["plane_negative"]) == len(r.axis)
    assert isinstance(r.plane_negative, np.ndarray)
    # The same result from a pandas Series, a seed of its own changes only the bootstrap.
    import pandas as pd
    same = quorvel.analyse(pd.Series(x), unit="years", bandwidth=25.0, ar_order=9, resamples=99, seed=3)
    assert comparable(same.report) == comparable(r.report)
    other = quorvel.analyse(x, unit="years", bandwidth=25.0, ar_order=9, resamples=99)
    assert other.p_zero == r.p_zero
    without = quorvel.analyse(x, unit="years", bandwidth=25.0)
    assert math.isnan(without.shuffled_zero) and without.to_dict()["shuffled_zero"] is None


def test_plot_draws_both_planes_and_the_histogram():
    import matplotlib
    matplotlib.use("Agg")
    r = quorvel.analyse(example_series("white", 1), unit="Hz", rate=1000.0, bandwidth=31.25)
    fig = r.plot()
    assert len(fig.axes) >= 3
    assert "frequency (Hz)" in fig.axes[0].get_xlabel()


@pytest.mark.parametrize("settings, message", [
    (dict(quantile=1.5), "not in (0,1)"),
    (dict(taper=30.0), "Taper % not in range (0,25)"),
    (dict(bandwidth=0.4), "Frame length = 3 < 10"),
    (dict(bandwidth=0), "Resolution bandwidth < 0"),
    (dict(ar_order=-1), "AR order"),
    (dict(start=0), "IS in CNL file is < 1"),
    (dict(band=(0.4, 0.2)), "Upper frequency of band"),
    (dict(unit="light years"), "Sampling unit"),
    (dict(rate=float("nan")), "Setting rate is not a finite number"),
    (dict(ar_order=2.5), "Setting ar_order must be a whole number"),
    (dict(bandwidth="wide"), "Setting bandwidth must be a number or 'auto'"),
    (dict(seed=-1), "Setting seed"),
])
def test_bad_settings_raise_the_programs_message(settings, message):
    x = np.sin(0.37 * np.arange(2000.0) ** 2)
    with pytest.raises(quorvel.QuorvelError, match=None) as caught:
        quorvel.analyse(x, **settings)
    assert message in str(caught.value)
    assert isinstance(caught.value, ValueError)


@pytest.mark.parametrize("data, message", [
    (np.r_[np.sin(np.arange(2000.0)), np.nan], "Datum 2001"),
    (np.r_[np.inf, np.sin(np.arange(2000.0))], "Datum 1 of column 1 of series.dat is not a finite number"),
    (np.zeros((10, 10)), "one-dimensional"),
    (["a", "b"], "not an array of numbers"),
    ([], "Frame length > n/4"),
])
def test_bad_data_raise(data, message):
    with pytest.raises(quorvel.QuorvelError) as caught:
        quorvel.analyse(data)
    assert message in str(caught.value)


@pytest.mark.parametrize("settings, warning", [
    (dict(ar_order=3, resamples=5), "Bootstrap is turned off if the number of resamples is less than 11"),
    (dict(ar_order=3), "No AR lag kept: the tests ran on the standardised data"),
    (dict(resamples=50), "Bootstrap is turned off without AR prewhitening"),
    (dict(rate=0.1234567), "rate 0.1234567 is taken as 0.123457"),
])
def test_warnings(settings, warning):
    x = np.random.default_rng(0).standard_normal(3000)
    warnings = quorvel.analyse(x, **settings).warnings
    assert any(w.startswith(warning) for w in warnings)
    assert len(set(warnings)) == len(warnings)  # a repeated line is one warning with its count
