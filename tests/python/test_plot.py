"""quorvel.plot (Result.plot): each plane in its own panel on the -log10 p
scale, capped; significant pairs outlined on their own cells with a legend;
no warnings for a null run; p-values in the title as read."""
import math
import warnings

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402

import quorvel  # noqa: E402
from conftest import example_series, made_up_result  # noqa: E402


def mesh_of(ax):
    return next(c for c in ax.collections if c.get_gid() == "-log10 p")


def outlines(ax, level):
    """The cells outlined at a level, as (first, second) index pairs from their rectangles' corners."""
    collection = next(c for c in ax.collections if c.get_gid() == f"p < {level}")
    cells = set()
    for path in collection.get_paths():
        corners = path.vertices[:4]
        x0, y0 = corners.min(axis=0)
        x1, y1 = corners.max(axis=0)
        assert (x1 - x0, y1 - y0) == (1.0, 1.0)  # a cell's own edges, not a contour through centres
        cells.add((int(round(x0 + 0.5)), int(round(y0 + 0.5))))
    return cells


@pytest.fixture(autouse=True)
def close_figures():
    yield
    plt.close("all")


def test_each_plane_in_its_panel_on_the_minus_log10_scale():
    r = made_up_result()
    fig = quorvel.plot(r)
    assert fig.axes[0].get_title() == "Probability plane, k3 > 0"
    assert fig.axes[1].get_title() == "Probability plane, k3 < 0"
    positive, negative = mesh_of(fig.axes[0]), mesh_of(fig.axes[1])
    for mesh, plane in ((positive, r.plane_positive), (negative, r.plane_negative)):
        shown = np.ma.masked_invalid(mesh.get_array()).reshape(plane.shape)
        filled = plane > 0
        assert np.array_equal(~np.ma.getmaskarray(shown), filled)  # no trifrequency: blank
        assert np.allclose(shown[filled], -np.log10(1.0 - plane[filled]))
    assert np.isclose(positive.get_array().max(), 3.0)  # p = 0.001 at pair (first 2, second 0)
    assert positive.get_clim() == (0.0, 4.0)


def test_significant_cells_outlined_with_a_legend():
    r = made_up_result()
    fig = r.plot()
    ax = fig.axes[0]
    assert outlines(ax, "0.05") == {(2, 0), (3, 1)}
    assert outlines(ax, "0.01") == {(2, 0)}
    labels = [t.get_text() for t in ax.get_legend().get_texts()]
    assert labels == ["p < 0.05: 2 pairs", "p < 0.01: 1 pair", "no trifrequency"]
    assert outlines(fig.axes[1], "0.05") == set()


def test_the_colour_scale_is_capped():
    r = made_up_result()
    r.plane_positive[0, 3] = 1.0  # p = 0 at the files' precision
    r.plane_positive[1, 2] = 1.0 - 1e-12
    mesh = mesh_of(quorvel.plot(r, panels=("k3+",)).axes[0])
    assert mesh.get_array().max() == 4.0 and mesh.get_clim() == (0.0, 4.0)


def test_a_null_run_draws_without_warnings():
    x = example_series("white", 1)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", quorvel.QuorvelWarning)
        r = quorvel.analyse(x, rate=1000.0, bandwidth=50.0, ar_order=0, resamples=0)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        fig = r.plot(panels=("k3+", "k3-", "histogram", "fractiles"))
        fig.canvas.draw()
        # A run without values at all (a batch's JSON has no per-value table).
        empty = quorvel.Result.from_dict({k: v for k, v in r.to_dict().items() if k != "values"})
        empty.plot().canvas.draw()
    assert "frequency (Hz)" in fig.axes[0].get_xlabel()


def test_the_title_gives_the_p_values_to_read():
    title = quorvel.plot(made_up_result(), panels=("histogram",), title="A run").texts[0].get_text()
    flat = " ".join(title.split())
    assert flat.startswith("A run")
    assert "nonlinearity p < 0.005" in flat and "time reversibility p = 0.1250" in flat
    assert "aliasing p = 0.7500" in flat and "0.0000" not in flat
    plain = " ".join(quorvel.plot(made_up_result(shuffled=False), panels=("k3-",)).texts[0].get_text().split())
    assert "(asymptotic)" in plain and "nonlinearity p < 0.0001" in plain and "0.0000" not in plain
    with pytest.raises(ValueError, match="panels must be some of"):
        quorvel.plot(made_up_result(), panels=("k3",))


def test_periods_read_on_the_axes():
    r = quorvel.Result.from_dict(dict(made_up_result().to_dict(), unit="years", axis=[16.0, 8.0, 5.333, 4.0]))
    ax = quorvel.plot(r, panels=("k3+",)).axes[0]
    assert ax.get_xlabel() == "first period (years)"
    assert [t.get_text() for t in ax.get_xticklabels()] == ["16", "8", "5.333", "4"]
    assert not math.isnan(mesh_of(ax).get_array().max())
