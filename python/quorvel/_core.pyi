# The extension module built from python/core.cpp: the library's one call.
from typing import Any, Dict, Optional

import numpy as np
from numpy.typing import NDArray

__version__: str

def analyse(x: NDArray[np.float64], unit: str, rate: float, band_low: float, band_high: float, taper: float,
            bandwidth: float, frame_length: int, ar_order: Optional[int], ar_threshold: float, start: int, end: int,
            resamples: int, quantile: float, seed: Optional[int], title: str, threads: int) -> Dict[str, Any]: ...
