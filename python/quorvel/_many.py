"""Many series at once: a row of numbers per series, on local threads or on a
dask.distributed cluster."""
import os
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pandas as pd

COLUMNS = ["name", "N", "M", "e",
           "p_quantile", "p_reversibility", "p_zero", "p_aliasing",
           "shuffled_quantile", "shuffled_reversibility", "shuffled_zero", "shuffled_aliasing",
           "lambda_hat", "warnings", "error"]


def _named(series):
    """(name, values) pairs of a list, a dict or a DataFrame's columns."""
    if isinstance(series, pd.DataFrame):
        return [(name, series[name].to_numpy(dtype=float, na_value=np.nan)) for name in series.columns]
    if isinstance(series, dict):
        return list(series.items())
    if isinstance(series, (pd.Series, np.ndarray)) and np.ndim(series) == 1:
        raise TypeError("analyse_many takes many series (a list, a dict or a DataFrame); use analyse for one")
    return list(enumerate(series))


def _row(name, values, settings):
    """One series' row; a series that fails gives its message and the others go on."""
    from . import QuorvelError, _analyse

    row = dict.fromkeys(COLUMNS)
    row["name"] = name
    try:
        # One thread per series: the series themselves are the parallel work.
        r = _analyse(values, settings, threads=1)
    except (QuorvelError, ValueError, TypeError, MemoryError) as error:
        row["error"] = str(error)
        return row
    for column in COLUMNS[1:-2]:
        row[column] = getattr(r, column)
    row["warnings"] = "; ".join(r.warnings)
    return row


def _local_threads():
    try:
        return max(1, len(os.sched_getaffinity(0)))
    except AttributeError:
        return os.cpu_count() or 1


def analyse_many(series, client, settings):
    items = _named(series)
    if client is None:
        # The library releases the interpreter lock, so threads run in parallel.
        with ThreadPoolExecutor(max_workers=_local_threads()) as pool:
            rows = list(pool.map(lambda item: _row(item[0], item[1], settings), items))
    else:
        futures = client.map(_row, [n for n, _ in items], [v for _, v in items],
                             [settings] * len(items), pure=False)
        rows = client.gather(futures)
    return pd.DataFrame(rows, columns=COLUMNS)
