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


def _row(name, values, settings, threads):
    """One series' row; a series that fails gives its message and the others go on."""
    from . import QuorvelError, _analyse

    row = dict.fromkeys(COLUMNS)
    row["name"] = name
    try:
        r = _analyse(values, settings, threads=threads)
    except (QuorvelError, ValueError, TypeError, MemoryError) as error:
        row["error"] = str(error)
        return row
    for column in COLUMNS[1:-2]:
        row[column] = getattr(r, column)
    row["warnings"] = "; ".join(w.text for w in r.warnings)
    return row


def _rows(chunk, settings, threads):
    return [_row(name, values, settings, threads) for name, values in chunk]


def _local_threads():
    try:
        return max(1, len(os.sched_getaffinity(0)))
    except AttributeError:
        return os.cpu_count() or 1


def analyse_many(series, client, settings, threads):
    items = _named(series)
    if client is None:
        # The library releases the interpreter lock, so threads run in parallel.
        with ThreadPoolExecutor(max_workers=_local_threads()) as pool:
            rows = list(pool.map(lambda item: _row(item[0], item[1], settings, threads), items))
    else:
        # A few tasks per worker thread rather than one per series: the
        # scheduler's cost per task is then small beside the work.
        threads = max(1, sum(client.nthreads().values()))
        size = max(1, -(-len(items) // (4 * threads)))
        chunks = [items[i:i + size] for i in range(0, len(items), size)]
        futures = client.map(_rows, chunks, settings=settings, threads=threads, pure=False)
        rows = [row for chunk in client.gather(futures) for row in chunk]
    return pd.DataFrame(rows, columns=COLUMNS)
