"""Many series at once: a row per series, on local threads or on a
dask.distributed cluster, with the columns of the command line's CSV."""
from __future__ import annotations

import math
import os
import re
from concurrent.futures import ThreadPoolExecutor
from typing import Any, Dict, Hashable, List, Optional, Sequence, Tuple

import numpy as np

from ._result import TEST_NAMES

#: The columns of the frame: those of `quorvel analyse --format csv` and of a
#: batch's Quorvel-summary.csv, with `name` as the index.
COLUMNS = ["N", "M", "e",
           "p_quantile", "p_reversibility", "p_zero", "p_aliasing",
           "shuffled_quantile", "shuffled_reversibility", "shuffled_zero", "shuffled_aliasing",
           "lambda_hat", "p.nonlinearity", "p.reversibility", "p.gaussianity", "p.aliasing", "p_from",
           "warnings", "error"]
_NUMBERS = COLUMNS[2:12]

Item = Tuple[Hashable, Any]


def _is_pandas(x: Any, kind: str) -> bool:
    return type(x).__module__.split(".")[0] == "pandas" and any(c.__name__ == kind for c in type(x).__mro__)


def named(series: Any) -> List[Item]:
    """(name, series) pairs: a DataFrame's or a 2-D array's columns, a dict's
    items, a list's entries by position."""
    if _is_pandas(series, "DataFrame"):
        return [(name, series.iloc[:, i]) for i, name in enumerate(series.columns)]
    if isinstance(series, dict):
        return list(series.items())
    if isinstance(series, np.ndarray):
        if series.ndim == 2:
            return [(i, series[:, i]) for i in range(series.shape[1])]
        raise TypeError(f"analyse_many takes a 2-D array (one series per column), a list, a dict or a "
                        f"DataFrame, not an array of shape {series.shape}; use analyse for one series")
    if _is_pandas(series, "Series") or isinstance(series, (str, bytes)):
        raise TypeError("analyse_many takes many series (a list, a dict, a 2-D array or a DataFrame); "
                        "use analyse for one")
    items: List[Item] = list(enumerate(series))
    if items and all(np.ndim(values) == 0 for _, values in items):
        raise TypeError("analyse_many takes many series, not one series of numbers; use analyse for one")
    return items


def one_line(text: str) -> str:
    return re.sub(r"\s*[\r\n]+\s*", " ", text).strip()


def _row(item: Item, settings: Dict[str, Any], seed: int, threads: int) -> Dict[str, Any]:
    """One series' row; whatever goes wrong with it is its `error` and the others go on."""
    from . import QuorvelError, _analyse

    name, values = item
    row: Dict[str, Any] = dict.fromkeys(COLUMNS)
    try:
        r = _analyse(values, settings, seed, threads)
    except QuorvelError as error:
        row["error"] = one_line(str(error))
        return row
    except Exception as error:  # noqa: BLE001 - a row's failure must not lose the others
        row["error"] = one_line(f"{type(error).__name__}: {error}")
        return row
    row["N"], row["M"] = r.N, r.M
    for column in _NUMBERS:
        row[column] = getattr(r, column)
    for test in r.tests:
        row["p." + test.name] = test.p
    row["p_from"] = "shuffled" if r.tests[0].shuffled else "asymptotic"
    row["warnings"] = "; ".join(one_line(w.text) for w in r.warnings)
    return row


def rows(chunk: Sequence[Item], settings: Dict[str, Any], seed: int, threads: int) -> List[Dict[str, Any]]:
    """The rows of a chunk of series (a task on a dask worker)."""
    return [_row(item, settings, seed, threads) for item in chunk]


def local_threads() -> int:
    try:
        return max(1, len(os.sched_getaffinity(0)))
    except AttributeError:  # pragma: no cover - not Linux
        return os.cpu_count() or 1


def frame(names: List[Hashable], found: List[Dict[str, Any]], seed: int) -> Any:
    import pandas as pd  # type: ignore[import]

    table = pd.DataFrame(found, columns=COLUMNS, index=pd.Index(names, name="name", tupleize_cols=False))
    table["N"] = table["N"].astype("Int64")
    table["M"] = table["M"].astype("Int64")
    for column in _NUMBERS + ["p." + name for name in TEST_NAMES]:
        table[column] = table[column].astype(np.float64)
    table.attrs["seed"] = seed
    return table


def analyse_many(series: Any, client: Optional[Any], settings: Dict[str, Any], seed: int, threads: int) -> Any:
    items = named(series)
    if client is None:
        # The library releases the interpreter lock: the threads run in parallel.
        with ThreadPoolExecutor(max_workers=local_threads()) as pool:
            found = list(pool.map(lambda item: _row(item, settings, seed, threads), items))
    else:
        # A few tasks per worker thread rather than one per series: the
        # scheduler's cost per task is then small beside the work.
        workers = max(1, sum(client.nthreads().values()))
        size = max(1, math.ceil(len(items) / (4 * workers)))
        chunks = [items[i:i + size] for i in range(0, len(items), size)]
        futures = client.map(rows, chunks, settings=settings, seed=seed, threads=threads, pure=False)
        found = [row for chunk in client.gather(futures) for row in chunk]
    return frame([name for name, _ in items], found, seed)
