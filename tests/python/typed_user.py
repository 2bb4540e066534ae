"""A small user script with annotations: `mypy --strict` must accept it
against the package's types (tests/python/test_package.py runs it)."""
from typing import Dict, List, Optional

import numpy as np
from numpy.typing import NDArray

import quorvel


def p_values(x: NDArray[np.float64], seed: Optional[int] = None) -> Dict[str, float]:
    result: quorvel.Result = quorvel.analyse(x, unit="days", rate=1.0, resamples=99, seed=seed, threads=1)
    tests: List[quorvel.TestResult] = result.tests
    first: float = tests[0].p
    assert first == result.p["nonlinearity"]
    warnings: List[quorvel.RunWarning] = result.warnings
    codes: List[str] = [w.code for w in warnings]
    plane: NDArray[np.float64] = result.plane_positive
    m: int = result.M + result.N + len(codes) + plane.shape[0]
    seed_used: Optional[int] = result.seed
    ar: Optional[quorvel.ArFit] = result.ar
    lags: List[int] = ar["lags"] if ar is not None else []
    mean: float = result.data_statistics["mean"]
    band: float = result.band[1] - result.band[0]
    probability: NDArray[np.float64] = result.values["probability"]
    print(m, seed_used, lags, mean, band, probability.size, result.to_dict()["M"])
    return result.p


def main() -> None:
    rng = np.random.default_rng(1)
    x = rng.standard_normal(1000)
    print(p_values(x, seed=12))
    print(quorvel.analyse(list(x), seed=rng).to_frame())
    try:
        quorvel.analyse(x, quantile=1.5)
    except quorvel.QuorvelSettingsError as error:
        print(error)
    frame = quorvel.analyse_many({"a": x, "b": -x}, threads=1, seed=3)
    print(frame)
    figure = quorvel.analyse(x, seed=4).plot(panels=("k3+", "histogram"), title="noise")
    figure.savefig("/dev/null", format="png")
    print(quorvel.__version__)


if __name__ == "__main__":
    main()
