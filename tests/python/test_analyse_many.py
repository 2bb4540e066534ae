"""quorvel.analyse_many: a row per series, the same on local threads and on a
two-worker dask cluster, failing series as rows with their message."""
import re

import numpy as np
import pandas as pd
import pytest

import quorvel
from conftest import example_series


def series_set():
    rng = np.random.default_rng(5)
    out = {f"noise{i}": rng.standard_normal(2048) for i in range(4)}
    out["sunspots"] = example_series("sunspots", 2)
    out["short"] = np.ones(12)  # too short for a frame: its row holds the message
    out["broken"] = np.r_[np.zeros(100), np.nan, np.zeros(2000)]
    return out


def test_local_threads_give_the_serial_results():
    data = series_set()
    settings = dict(ar_order=3, resamples=19, seed=11)
    frame = quorvel.analyse_many(data, **settings)
    assert list(frame["name"]) == list(data)
    for _, row in frame.iterrows():
        if row["name"] in ("short", "broken"):
            assert isinstance(row["error"], str) and row["error"]
            with pytest.raises(quorvel.QuorvelError, match="^" + re.escape(row["error"]) + "$"):
                quorvel.analyse(data[row["name"]], **settings)
            continue
        r = quorvel.analyse(data[row["name"]], **settings)
        assert row["error"] is None
        assert (row["N"], row["M"], row["p_zero"], row["shuffled_zero"], row["lambda_hat"]) == \
               (r.N, r.M, r.p_zero, r.shuffled_zero, r.lambda_hat)
    assert "values[100] is NaN (0-based)" in frame.set_index("name").loc["broken", "error"]
    # A list and a DataFrame's columns are taken as well.
    assert len(quorvel.analyse_many([data["noise0"], data["noise1"]])) == 2
    columns = pd.DataFrame({k: data[k] for k in ("noise0", "noise1")})
    assert list(quorvel.analyse_many(columns)["name"]) == ["noise0", "noise1"]


def test_a_two_worker_cluster_gives_the_serial_results():
    distributed = pytest.importorskip("distributed")
    data = series_set()
    serial = quorvel.analyse_many(data, ar_order=3, resamples=19)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        remote = quorvel.analyse_many(data, client=client, ar_order=3, resamples=19)
    pd.testing.assert_frame_equal(serial, remote)
