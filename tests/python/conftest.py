"""Shared pieces of the Python package's tests: the example batch, and the
batch program built beside the module (QUORVEL_BINARY, set by CTest)."""
import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

SOURCE = pathlib.Path(os.environ.get("QUORVEL_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLES = SOURCE / "examples" / "batch"

# The settings of the example batch's control files, as analyse takes them.
EXAMPLE_SETTINGS = {
    "white": (1, dict(unit="Hz", rate=1000.0, bandwidth=50.0, ar_order=0, resamples=0)),
    "bilinear": (1, dict(unit="kHz", rate=10.0, bandwidth=500.0, ar_order=5, resamples=99)),
    "linear": (1, dict(unit="days", rate=1.0, bandwidth=20.0, ar_order=4, resamples=99)),
    "irreversible": (1, dict(unit="Hz", rate=1000.0, bandwidth=50.0, ar_order=8, resamples=99)),
    "sunspots": (2, dict(unit="years", rate=1.0, bandwidth=25.0, ar_order=9, resamples=199)),
}


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
