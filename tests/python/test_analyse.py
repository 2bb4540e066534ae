"""quorvel.analyse against the batch program, its result object and its errors."""
import json
import math
import os
import signal
import subprocess
import sys
import time

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
                 "aliasing test", "Shuffled p-value", "warnings:", "above 1/3"):
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
    without = quorvel.analyse(x, unit="years", bandwidth=25.0, resamples=0)
    assert math.isnan(without.shuffled_zero) and without.to_dict()["shuffled_zero"] is None


def test_plot_draws_both_planes_and_the_histogram():
    import matplotlib
    matplotlib.use("Agg")
    r = quorvel.analyse(example_series("white", 1), unit="Hz", rate=1000.0, bandwidth=31.25)
    fig = r.plot()
    assert len(fig.axes) >= 3
    assert "frequency (Hz)" in fig.axes[0].get_xlabel()


@pytest.mark.parametrize("settings, kind, message", [
    (dict(quantile=1.5), quorvel.QuorvelSettingsError, "quantile must be in (0, 1) (got 1.5)"),
    (dict(taper=30.0), quorvel.QuorvelSettingsError, "taper must be from 0 to 25 percent (got 30)"),
    (dict(bandwidth=0.4), quorvel.QuorvelSettingsError, "bandwidth 0.4 gives frames of 3 points"),
    (dict(bandwidth=0), quorvel.QuorvelSettingsError, "bandwidth must be > 0, or 'auto'"),
    (dict(frame_length=5), quorvel.QuorvelSettingsError, "frame_length must be at least 10"),
    (dict(ar_order=-1), quorvel.QuorvelSettingsError, "ar_order must be 0 (no prewhitening) or more (got -1)"),
    (dict(resamples=-5), quorvel.QuorvelSettingsError, "resamples must be 0 (no bootstrap) or more (got -5)"),
    (dict(band=(0.4, 0.2)), quorvel.QuorvelSettingsError, "band[0] (0.4) is above band[1] (0.2)"),
    (dict(unit="MHz"), quorvel.QuorvelSettingsError, "unit 'MHz' is not Hz, kHz or a time unit"),
    (dict(rate=float("nan")), quorvel.QuorvelSettingsError, "rate must be a finite number (got nan)"),
    (dict(ar_order=2.5), quorvel.QuorvelTypeError, "ar_order must be a whole number"),
    (dict(bandwidth="wide"), quorvel.QuorvelTypeError, "bandwidth must be a number or 'auto'"),
    (dict(seed=-1), quorvel.QuorvelSettingsError, "seed must be in 0 ... 2**32 - 1"),
])
def test_bad_settings_raise_in_the_callers_words(settings, kind, message):
    x = np.sin(0.37 * np.arange(2000.0) ** 2)
    with pytest.raises(kind) as caught:
        quorvel.analyse(x, **settings)
    assert message in str(caught.value)
    assert isinstance(caught.value, quorvel.QuorvelError)
    assert isinstance(caught.value, TypeError if kind is quorvel.QuorvelTypeError else ValueError)


@pytest.mark.parametrize("data, kind, message", [
    (np.r_[np.sin(np.arange(2000.0)), np.nan], quorvel.QuorvelDataError, "values[2000] is NaN (0-based)"),
    (np.r_[np.inf, np.sin(np.arange(2000.0))], quorvel.QuorvelDataError, "values[0] is inf (0-based)"),
    (np.zeros((10, 10)), quorvel.QuorvelTypeError, "one-dimensional"),
    (["a", "b"], quorvel.QuorvelTypeError, "not an array of numbers"),
    ([], quorvel.QuorvelDataError, "the series is empty"),
])
def test_bad_data_raise(data, kind, message):
    with pytest.raises(kind) as caught:
        quorvel.analyse(data)
    assert message in str(caught.value)


@pytest.mark.parametrize("settings, code", [
    (dict(ar_order=3, resamples=5), "bootstrap_off"),
    (dict(ar_order=3), "no_ar_lag"),
    (dict(ar_order=0, resamples=50), "bootstrap_off"),
    (dict(frame_length=64), "consistency"),
])
def test_notices_are_python_warnings_and_stay_in_the_result(settings, code):
    x = np.random.default_rng(0).standard_normal(3000)
    with pytest.warns(quorvel.QuorvelWarning) as caught:
        r = quorvel.analyse(x, **settings)
    assert code in [w.message.code for w in caught]
    assert code in [w.code for w in r.warnings]
    assert [w.text for w in r.warnings] == [str(w.message) for w in caught]


def test_ctrl_c_stops_a_long_call(tmp_path):
    """SIGINT one second into a call that takes far longer ends it with KeyboardInterrupt at once."""
    script = tmp_path / "long_call.py"
    script.write_text(
        "import sys, time, numpy as np, quorvel\n"
        "x = np.random.default_rng(1).standard_normal(400_000)\n"
        "print('started', flush=True)\n"
        "try:\n"
        "    quorvel.analyse(x, frame_length=128, ar_order=2, resamples=5000, threads=1)\n"
        "except KeyboardInterrupt:\n"
        "    print('interrupted', time.monotonic(), flush=True)\n"
        "    sys.exit(3)\n")
    child = subprocess.Popen([sys.executable, str(script)], stdout=subprocess.PIPE, text=True,
                             env=dict(os.environ))
    assert child.stdout.readline().strip() == "started"
    time.sleep(1.0)
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    line = child.stdout.readline().split()
    assert child.wait(timeout=30) == 3
    assert line[0] == "interrupted" and float(line[1]) - sent < 0.5
