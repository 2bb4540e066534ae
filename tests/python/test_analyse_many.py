"""quorvel.analyse_many: a row per series with the command line's columns,
the same on local threads (in parallel) and on a two-worker dask cluster;
a series that fails, for whatever reason, is a row with its message and
never costs the others their rows."""
import re
import threading

import numpy as np
import pandas as pd
import pytest

import quorvel
from conftest import SOURCE, example_series

# The columns of `quorvel analyse --format csv` (src/cli/result_formats.cpp), name aside.
CSV_HEADER = re.search(r'return "(name,N,M,.*?)\\n";', re.sub(r'"\s*\n\s*"', "", (
    SOURCE / "src" / "cli" / "result_formats.cpp").read_text()), re.S).group(1).split(",")
SETTINGS = dict(ar_order=3, resamples=19, seed=11)


def series_set():
    rng = np.random.default_rng(5)
    out = {f"noise{i}": rng.standard_normal(2048) for i in range(4)}
    out["sunspots"] = example_series("sunspots", 2)
    out["short"] = np.ones(12)  # too short for a frame: its row holds the message
    out["broken"] = np.r_[np.zeros(100), np.nan, np.zeros(2000)]
    return out


def test_rows_are_the_calls_results_with_the_command_lines_columns():
    data = series_set()
    frame = quorvel.analyse_many(data, **SETTINGS)
    assert ["name"] + list(frame.columns) == CSV_HEADER
    assert frame.index.name == "name" and list(frame.index) == list(data)
    assert str(frame["N"].dtype) == "Int64" and str(frame["M"].dtype) == "Int64"
    assert frame.attrs["seed"] == 11
    for name, row in frame.iterrows():
        if name in ("short", "broken"):
            assert isinstance(row["error"], str) and "\n" not in row["error"] and pd.isna(row["N"])
            with pytest.raises(quorvel.QuorvelError, match="^" + re.escape(row["error"]) + "$"):
                quorvel.analyse(data[name], **SETTINGS)
            continue
        r = quorvel.analyse(data[name], **SETTINGS)
        assert row["error"] is None
        assert (row["N"], row["M"], row["p_zero"], row["shuffled_zero"], row["lambda_hat"]) == \
               (r.N, r.M, r.p_zero, r.shuffled_zero, r.lambda_hat)
        assert [row["p." + t.name] for t in r.tests] == [t.p for t in r.tests]
        assert row["p_from"] == "shuffled" and row["warnings"] == "; ".join(w.text for w in r.warnings)
    assert "values[100] is NaN (0-based)" in frame.loc["broken", "error"]


def test_no_good_row_is_lost():
    good = np.random.default_rng(1).standard_normal(1000)
    # A value beyond a float, a text column, a boolean column, one of complex values.
    listed = quorvel.analyse_many([good, [1.0] * 500 + [10**400] + [2.0] * 500, good], seed=3)
    assert list(listed["error"].isna()) == [True, False, True]
    assert "values[500] (an integer of 401 digits) is beyond the range of a float" in listed.loc[1, "error"]
    table = pd.DataFrame({"a": good, "text": ["x"] * 1000, "flag": good > 0, "b": -good, "z": good + 1j})
    frame = quorvel.analyse_many(table, seed=3)
    assert list(frame.index) == ["a", "text", "flag", "b", "z"]
    assert frame.loc["a", "error"] is None and frame.loc["b", "error"] is None
    assert "text" in frame.loc["text", "error"] and "boolean" in frame.loc["flag", "error"]
    assert "complex" in frame.loc["z", "error"]
    assert frame.loc["a", "p_zero"] == quorvel.analyse(good, seed=3).p_zero
    # Any other exception of one series is its row's error too, on one line.
    class Odd:
        def __array__(self, dtype=None):
            raise RuntimeError("cannot\nconvert")
    odd = quorvel.analyse_many({"odd": Odd(), "good": good}, seed=3)
    assert odd.loc["odd", "error"] == "RuntimeError: cannot convert" and odd.loc["good", "error"] is None


def test_a_two_dimensional_array_is_one_series_per_column():
    data = np.random.default_rng(4).standard_normal((1500, 3))
    frame = quorvel.analyse_many(data, seed=2)
    assert list(frame.index) == [0, 1, 2]
    assert list(frame["N"]) == [1500] * 3
    assert frame.loc[2, "p_zero"] == quorvel.analyse(data[:, 2], seed=2).p_zero
    # A DataFrame's columns keep their index: its frequency gives the rate and unit.
    dated = pd.DataFrame(data, columns=["x", "y", "z"], index=pd.date_range("2000-01-01", periods=1500, freq="H"))
    assert quorvel.analyse_many(dated, seed=2).loc["y", "M"] == frame.loc[1, "M"]
    with pytest.raises(TypeError, match="use analyse for one"):
        quorvel.analyse_many(data[:, 0])
    with pytest.raises(TypeError, match="use analyse for one"):
        quorvel.analyse_many(pd.Series(data[:, 0]))
    with pytest.raises(TypeError, match="use analyse for one"):
        quorvel.analyse_many(list(data[:, 0]))


def test_unknown_settings_and_bad_settings_raise_before_anything_runs():
    with pytest.raises(TypeError, match=r"analyse_many\(\) got an unexpected keyword argument 'ar'"):
        quorvel.analyse_many([np.zeros(100)], ar=3)
    with pytest.raises(quorvel.QuorvelSettingsError, match="seed must be in 0"):
        quorvel.analyse_many([np.zeros(100)], seed=-1)


def test_local_threads_run_the_series_in_parallel(monkeypatch):
    """Two series at least are computed at once (the library releases the interpreter lock)."""
    if quorvel._many.local_threads() < 2:
        pytest.skip("one processor")
    running = [0, 0]  # now, most
    lock = threading.Lock()
    call = quorvel._core.analyse

    def counted(*args, **kwargs):
        with lock:
            running[0] += 1
            running[1] = max(running[1], running[0])
        try:
            return call(*args, **kwargs)
        finally:
            with lock:
                running[0] -= 1

    monkeypatch.setattr(quorvel._core, "analyse", counted)
    data = np.random.default_rng(6).standard_normal((20_000, 6))
    frame = quorvel.analyse_many(data, seed=1)
    assert frame["error"].isna().all()
    assert running[1] >= 2, "the series ran one at a time"


def test_a_two_worker_cluster_gives_the_local_frame():
    distributed = pytest.importorskip("distributed")
    data = series_set()
    data["huge"] = [0.5] * 200 + [10**400]
    local = quorvel.analyse_many(data, **SETTINGS)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        remote = quorvel.analyse_many(data, client=client, **SETTINGS)
    pd.testing.assert_frame_equal(local, remote)
    assert remote.loc["huge", "error"] and remote.loc["noise0", "error"] is None
