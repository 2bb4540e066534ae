"""Shared pieces of the Python package's tests: the example batch, the batch
program built beside the module (QUORVEL_BINARY, set by CTest) and a small
made-up Result for the printing and drawing tests.

The tests import the package `quorvel` found on the path: the CMake build's
(PYTHONPATH=build/python, as CTest runs them) or an installed one (CI runs
them again in a fresh venv with `pip install .`)."""
import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

import quorvel

SOURCE = pathlib.Path(os.environ.get("QUORVEL_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLES = SOURCE / "examples" / "batch"
# The seed at which the batch program's generator starts: a call with it
# gives the numbers of a one-run batch.
BATCH_SEED = 5489

# The settings of the example batch's control files, as analyse takes them.
EXAMPLE_SETTINGS = {
    "white": (1, dict(unit="Hz", rate=1000.0, bandwidth=50.0, ar_order=0, resamples=0)),
    "bilinear": (1, dict(unit="kHz", rate=10.0, bandwidth=500.0, ar_order=5, resamples=99)),
    "linear": (1, dict(unit="days", rate=1.0, bandwidth=20.0, ar_order=4, resamples=99)),
    "irreversible": (1, dict(unit="Hz", rate=1000.0, bandwidth=50.0, ar_order=8, resamples=99)),
    "sunspots": (2, dict(unit="years", rate=1.0, bandwidth=25.0, ar_order=9, resamples=199)),
}


def pytest_configure(config):
    # The notices of a run are Python warnings; the tests that are about them catch them.
    config.addinivalue_line("filterwarnings", "ignore::quorvel.QuorvelWarning")


def example_series(stem, column):
    return np.loadtxt(EXAMPLES / f"{stem}.dat", skiprows=2, ndmin=2)[:, column - 1]


@pytest.fixture
def run_batch(tmp_path):
    """Runs one example as a one-run batch; returns the folder of its outputs."""
    binary = os.environ.get("QUORVEL_BINARY")
    if not binary:
        pytest.skip("QUORVEL_BINARY is not set (run through ctest)")

    def run(stem):
        for suffix in (".dat", ".cnl"):
            shutil.copy(EXAMPLES / f"{stem}{suffix}", tmp_path)
        (tmp_path / "Runquorvel.cnl").write_text(f"Number of runs = 1 *\n{stem}.cnl*\n")
        subprocess.run([binary], cwd=tmp_path, check=True, capture_output=True)
        return tmp_path

    return run


def made_up_result(resamples=199, shuffled=True):
    """A Result with known numbers: every test's asymptotic and Shuffled
    p-values differ from each other and from the other tests', and the two
    planes differ (k3 > 0: p = 0.001 and 0.03 at two pairs; k3 < 0: p = 0.2
    everywhere, a null plane)."""
    axis = np.array([1.0, 2.0, 3.0, 4.0])
    positive = np.zeros((4, 4))
    negative = np.zeros((4, 4))
    for b in range(4):
        for a in range(b, 4):
            positive[b, a] = 0.5
            negative[b, a] = 0.8
    positive[0, 2] = 0.999  # p = 0.001
    positive[1, 3] = 0.97   # p = 0.03
    asymptotic = [3e-7, 0.3125, 0.6875, 0.90625]
    boot = [0.0, 0.125, 0.5, 0.75] if shuffled else [float("nan")] * 4
    names = ["nonlinearity", "reversibility", "gaussianity", "aliasing"]
    keys = ["quantile", "reversibility", "zero", "aliasing"]
    d = dict(
        tests=[dict(name=n, statistic=1.0 + i, df=float("nan") if i == 0 else 10.0 * i, p_asymptotic=a, p_shuffled=s,
                    p=s if shuffled else a, shuffled=shuffled)
               for i, (n, a, s) in enumerate(zip(names, asymptotic, boot))],
        N=4096, M=16, K=256, e=0.3333, unit="Hz", rate=1.0, band=(0.0625, 0.5), band_index=(1, 8),
        resamples=resamples if shuffled else 0, lambda_hat=1.5, axis=axis, plane_positive=positive,
        plane_negative=negative, fractile_levels=[0.001, 0.01, 0.05, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95, 0.99, 0.999],
        fractiles=[0.001, 0.01, 0.05, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95, 0.99, 0.999],
        values=dict(probability=np.linspace(0.0, 1.0, 50)), seed=7)
    for key, a, s in zip(keys, asymptotic, boot):
        d["p_" + key], d["shuffled_" + key] = a, s
    return quorvel.Result.from_dict(d)


def key(result):
    """The tests of a result as comparable values (NaN, which equals nothing, as None)."""
    return [tuple(None if isinstance(v, float) and v != v else v for v in t) for t in result.tests]
