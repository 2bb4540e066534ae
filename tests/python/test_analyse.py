"""quorvel.analyse against the batch program; its result: fields, printout,
table, dict, pickling; errors, warnings, the interpreter lock and Ctrl-C."""
import json
import math
import os
import pickle
import re
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import quorvel
from conftest import BATCH_SEED, EXAMPLE_SETTINGS, example_series, key, made_up_result

# Lines that describe the data file's layout (the library's series is one
# column of its own) or the clock.
SKIPPED = ("Column Number Used", " Format: ", "Date & Time", "Elapsed time", " Run ")


def comparable(text):
    return [line for line in text.splitlines()
            if not any(part in line for part in SKIPPED) and not line.startswith(" Version")]


def plane_of(text):
    """The probability plane of a value file's text (its lines between the version line and the grid)."""
    rows = [line for line in text.splitlines()[1:] if line.strip()]
    return np.array([[float(v) for v in row.split()] for row in rows[:-1]])


@pytest.mark.parametrize("stem", sorted(EXAMPLE_SETTINGS))
def test_report_value_files_and_planes_are_the_batch_programs(stem, run_batch):
    column, settings = EXAMPLE_SETTINGS[stem]
    folder = run_batch(stem)
    r = quorvel.analyse(example_series(stem, column), seed=BATCH_SEED, **settings)
    # The report's title line is the data file's first line; the series has none.
    title = (folder / f"{stem}.dat").read_text().splitlines()[0]
    batch = comparable((folder / f"{stem}_Quorvel.out").read_text())
    mine = comparable(r.report)
    assert len(mine) == len(batch)
    for i, (a, b) in enumerate(zip(mine, batch)):
        assert a == b or (a.strip() == "" and b.strip() == title.strip()), f"line {i + 1}: {a!r} != {b!r}"
    for name, text in ((f"{stem}-k3+_quorvel.out", r.positive_file), (f"{stem}-k3-_quorvel.out", r.negative_file)):
        assert comparable(text) == comparable((folder / name).read_text())
    # The arrays are the files' planes, each under its own name.
    assert np.allclose(r.plane_positive, plane_of(r.positive_file), atol=5e-4)
    assert np.allclose(r.plane_negative, plane_of(r.negative_file), atol=5e-4)
    assert f"p-value = {r.p_zero:7.5f} for the zero trispectrum test" in r.report
    assert r.plane_positive.shape == (len(r.axis), len(r.axis))
    assert r.K == r.N // r.M
    # The batch's own JSON file reads back as the same result (its numbers
    # may be written to the 32-bit precision the run computes in).
    batch_json = quorvel.Result.from_dict(json.loads((folder / f"{stem}_quorvel.json").read_text()))
    for a, b in zip(batch_json.tests, r.tests):
        assert (a.name, a.shuffled) == (b.name, b.shuffled)
        assert np.allclose(a[1:6], b[1:6], rtol=1e-6, atol=0.0, equal_nan=True), (a, b)
    assert np.allclose(batch_json.plane_negative, r.plane_negative, rtol=1e-6, atol=0.0)
    assert np.allclose(batch_json.plane_positive, r.plane_positive, rtol=1e-6, atol=0.0)


def test_result_fields_table_dict_and_pickle():
    x = example_series("sunspots", 2)
    with pytest.warns(quorvel.QuorvelWarning):
        r = quorvel.analyse(list(x), unit="years", bandwidth=25.0, ar_order=9, resamples=99, seed=3)
    assert [t.name for t in r.tests] == ["nonlinearity", "reversibility", "gaussianity", "aliasing"]
    assert [t.p for t in r.tests] == [r.shuffled_quantile, r.shuffled_reversibility, r.shuffled_zero,
                                      r.shuffled_aliasing]
    assert r.p == {t.name: t.p for t in r.tests} and r.seed == 3
    table = r.to_frame()
    assert list(table.index) == list(r.p) and table.index.name == "test"
    assert list(table.columns) == ["statistic", "df", "p_asymptotic", "p_shuffled", "p", "p_from"]
    assert table.loc["gaussianity", "p_asymptotic"] == r.p_zero
    assert table.loc["reversibility", "df"] == r.reversibility_df
    assert table.loc["nonlinearity", "statistic"] == r.quantile_z
    assert set(table["p_from"]) == {"shuffled"}
    d = json.loads(json.dumps(r.to_dict(), allow_nan=False))
    assert d["M"] == 25 and d["ar"]["lags"] == r.ar["lags"] and d["seed"] == 3
    assert d["tests"][2]["p_shuffled"] == r.shuffled_zero
    assert {"code", "text"} <= set(d["warnings"][0])
    assert len(d["plane_negative"]) == len(r.axis)
    again = quorvel.Result.from_dict(d)
    assert key(again) == key(r) and np.array_equal(again.values["probability"], r.values["probability"])
    copy = pickle.loads(pickle.dumps(r))
    assert key(copy) == key(r) and np.array_equal(copy.plane_positive, r.plane_positive)
    # The same run from a pandas Series; without a bootstrap the Shuffled values are NaN (None in JSON).
    import pandas as pd
    same = quorvel.analyse(pd.Series(x), unit="years", bandwidth=25.0, ar_order=9, resamples=99, seed=3)
    assert comparable(same.report) == comparable(r.report)
    without = quorvel.analyse(x, unit="years", bandwidth=25.0, resamples=0)
    assert math.isnan(without.shuffled_zero) and without.to_dict()["shuffled_zero"] is None
    assert [t.p for t in without.tests] == [without.p_quantile, without.p_reversibility, without.p_zero,
                                            without.p_aliasing]


def test_repr_leads_with_the_p_value_to_read_and_labels_the_other():
    r = made_up_result()
    lines = repr(r).splitlines()
    rows = {name: next(line for line in lines if line.startswith(label))
            for name, label in (("nonlinearity", "nonlinearity (quantile)"), ("reversibility", "time reversibility"),
                                ("gaussianity", "zero trispectrum"), ("aliasing", "aliasing"))}
    # The Shuffled p-value is read first (a Shuffled 0 as below 1/(B+1)), then the asymptotic one, labelled.
    expected = {"nonlinearity": ("p < 0.005 (Shuffled)", "asymptotic p < 0.0001"),
                "reversibility": ("p = 0.1250 (Shuffled)", "asymptotic p = 0.3125"),
                "gaussianity": ("p = 0.5000 (Shuffled)", "asymptotic p = 0.6875"),
                "aliasing": ("p = 0.7500 (Shuffled)", "asymptotic p = 0.9062")}
    for name, (lead, other) in expected.items():
        row = rows[name]
        assert lead in row and other in row and row.index(lead) < row.index(other), row
    assert "199 resamples, seed 7" in repr(r)
    assert "p < 0.01 (Shuffled)" in repr(made_up_result(resamples=99))
    # Without a bootstrap the asymptotic p-value is the one to read.
    plain = repr(made_up_result(shuffled=False))
    assert re.search(r"time reversibility\s+p = 0\.3125 \(asymptotic\)\s+no Shuffled p-value", plain)


@pytest.mark.parametrize("settings, kind, message", [
    (dict(quantile=1.5), quorvel.QuorvelSettingsError, "quantile must be in (0, 1) (got 1.5)"),
    (dict(taper=30.0), quorvel.QuorvelSettingsError, "taper must be from 0 to 25 percent (got 30)"),
    (dict(bandwidth=0.4), quorvel.QuorvelSettingsError, "bandwidth 0.4 gives frames of 3 points"),
    (dict(bandwidth=0), quorvel.QuorvelSettingsError, "bandwidth must be > 0, or 'auto'"),
    (dict(frame_length=5), quorvel.QuorvelSettingsError, "frame_length must be at least 10"),
    (dict(ar_order=-1), quorvel.QuorvelSettingsError, "ar_order must be 0 (no prewhitening) or more (got -1)"),
    (dict(resamples=-5), quorvel.QuorvelSettingsError, "resamples must be 0 (no bootstrap) or more (got -5)"),
    (dict(band=(0.4, 0.2)), quorvel.QuorvelSettingsError, "band[0] (0.4) is above band[1] (0.2)"),
    (dict(band=0), quorvel.QuorvelTypeError, "band must be None or a pair (low, high)"),
    (dict(unit="MHz"), quorvel.QuorvelSettingsError, "unit 'MHz' is not Hz, kHz or a time unit"),
    (dict(rate=float("nan")), quorvel.QuorvelSettingsError, "rate must be a finite number (got nan)"),
    (dict(ar_order=2.5), quorvel.QuorvelTypeError, "ar_order must be a whole number"),
    (dict(bandwidth="wide"), quorvel.QuorvelTypeError, "bandwidth must be a number or 'auto'"),
    (dict(threads=0), quorvel.QuorvelSettingsError, "threads must be at least 1, or None"),
])
def test_bad_settings_raise_in_the_callers_words(settings, kind, message):
    x = np.sin(0.37 * np.arange(2000.0) ** 2)
    with pytest.raises(kind) as caught:
        quorvel.analyse(x, **settings)
    assert message in str(caught.value)
    assert isinstance(caught.value, quorvel.QuorvelError)
    assert isinstance(caught.value, TypeError if kind is quorvel.QuorvelTypeError else ValueError)


@pytest.mark.parametrize("settings, code", [
    (dict(ar_order=3, resamples=5), "bootstrap_off"),
    (dict(ar_order=3), "no_ar_lag"),
    (dict(ar_order=0, resamples=50), "bootstrap_off"),
    (dict(frame_length=64, resamples=0), "consistency"),
])
def test_notices_are_python_warnings_and_stay_in_the_result(settings, code):
    x = np.random.default_rng(0).standard_normal(3000)
    with pytest.warns(quorvel.QuorvelWarning) as caught:
        r = quorvel.analyse(x, seed=1, **settings)
    assert code in [w.message.code for w in caught]
    assert code in [w.code for w in r.warnings]
    assert [w.text for w in r.warnings] == [str(w.message) for w in caught]


def test_a_python_thread_runs_while_a_call_computes():
    """The call releases the interpreter lock: a counting thread goes on in
    the middle of the call, not only around it."""
    x = np.random.default_rng(2).standard_normal(100_000)
    ticks = []
    done = threading.Event()

    def count():
        n = 0
        while not done.is_set():
            n += 1
            if n % 2000 == 0:
                ticks.append(time.monotonic())

    counter = threading.Thread(target=count)
    counter.start()
    try:
        begin = time.monotonic()
        quorvel.analyse(x, threads=1, seed=1)
        end = time.monotonic()
    finally:
        done.set()
        counter.join()
    quarter = (end - begin) / 4
    middle = [t for t in ticks if begin + quarter < t < end - quarter]
    assert end - begin > 0.1, "the call was too short to tell"
    assert len(middle) > 10, f"{len(middle)} ticks in the middle half of a {end - begin:.2f} s call"


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
