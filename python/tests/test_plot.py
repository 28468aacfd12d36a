"""The figure painted in svg: the library's layout, a mark per value, a row
per measure, its texts as the layout gives them."""

import xml.etree.ElementTree as ET

import numpy as np

import diffboot
from diffboot.plot import MINUS, layout, plot


def _svg_groups(root, gid):
    ns = "{http://www.w3.org/2000/svg}"
    return [g for g in root.iter(ns + "g") if g.get("id", "") == gid]


def test_the_figure_shows_every_value_and_every_measure(tmp_path):
    rng = np.random.default_rng(3)
    x, y = rng.normal(10, 2, 17), rng.normal(12, 3, 13)
    r = diffboot.analyse(x, y, measures="all", labels=("a", "b"))
    plot(r, path=tmp_path / "f.svg", unit="g")
    svg = ET.parse(tmp_path / "f.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    uses = sum(len(list(g.iter(ns + "use"))) for g in _svg_groups(svg, "values"))
    assert uses == len(x) + len(y), "a mark per value"
    # Every measure, g, delta and lift too, with its point, BCa bar and t bar.
    for gid in ("estimate", "bca", "t"):
        assert len(_svg_groups(svg, gid)) == len(r.measures), gid
    texts = [t.text or "" for t in svg.iter(ns + "text")]
    model = layout(r, unit="g")
    painted = [model.title] + [e.text for e in model.legend]
    for p in model.panels:
        painted += [p.x.title, p.y.title] + [t.text for t in p.texts] + [c.label for c in p.categories]
    for text in painted:
        assert not text or text in texts, text
    for text in ("value (g)", "difference a %s b (g)" % MINUS, "a %s b: lift in percent" % MINUS):
        assert text in painted, text


def test_each_unitless_measure_has_an_axis_of_its_own():
    rng = np.random.default_rng(5)
    r = diffboot.analyse(rng.normal(10, 2, 30), rng.normal(6, 2, 30), measures="all", replications=199)
    figure = plot(r)
    named = {a.get_xlabel().split(": ")[-1]: a.get_xlim() for a in figure.axes if ": " in a.get_xlabel()}
    assert set(named) == {"g in sd units", "delta from %s1 to 1" % MINUS, "lift in percent"}
    lift = next(m for m in r.measures if m.name == "lift")
    low, high = named["lift in percent"]
    assert low <= 100 * lift.bca_lower and 100 * lift.estimate <= high, "lift drawn in percent"
    low, high = named["delta from %s1 to 1" % MINUS]
    assert low <= -1 and 1 <= high and high - low < 2.5


def test_plot_in_a_grid_stays_in_its_place():
    from matplotlib.figure import Figure
    from matplotlib.backends.backend_agg import FigureCanvasAgg

    rng = np.random.default_rng(7)
    r = diffboot.analyse(rng.normal(10, 2, 20), rng.normal(12, 3, 20), measures="all", replications=199,
                         labels=("a rather long first label", "second"))
    for size in ((10, 8), (7, 5)):
        figure = Figure(figsize=size)
        FigureCanvasAgg(figure)
        grid = figure.subplots(2, 2)
        for a in grid.flat[1:]:
            a.plot([1, 2, 3])
            a.set_title("neighbour")
            a.set_ylabel("y label")
        figure.suptitle("the user's title")
        mine = set(figure.axes)
        renderer = figure.canvas.get_renderer()
        place = grid[0, 0].get_window_extent(renderer)
        plot(r, ax=grid[0, 0])
        drawn = [a for a in figure.axes if a not in mine]
        assert len(drawn) == 5
        boxes = [a.get_tightbbox(renderer) for a in drawn] + [t.get_window_extent(renderer) for t in figure.texts
                                                              if t.get_gid() == "title"]
        # Everything drawn stays in the place of the axes it was given: it meets neither the neighbours' plots
        # nor the figure's title.
        others = [a.get_window_extent(renderer) for a in grid.flat[1:]] + [figure._suptitle.get_window_extent(renderer)]
        for b in boxes:
            assert place.x0 - 0.5 <= b.x0 and b.x1 <= place.x1 + 0.5, (size, b, place)
            assert place.y0 - 0.5 <= b.y0 and b.y1 <= place.y1 + 0.5, (size, b, place)
            for o in others:
                assert not b.overlaps(o), (size, b, o)
        assert figure._suptitle.get_text() == "the user's title"


def test_the_figure_stays_inside_at_every_size():
    rng = np.random.default_rng(9)
    r = diffboot.analyse(rng.normal(1, 1, 10), rng.normal(3, 1, 10), paired=True, measures="all", replications=199)
    for size in ((4, 3), (7, 5), (12, 4)):
        figure = plot(r, size=size)
        renderer = figure.canvas.get_renderer() if hasattr(figure.canvas, "get_renderer") else None
        if renderer is None:
            from matplotlib.backends.backend_agg import FigureCanvasAgg

            renderer = FigureCanvasAgg(figure).get_renderer()
        whole = figure.bbox
        for a in figure.axes:
            b = a.get_tightbbox(renderer)
            assert whole.x0 - 0.5 <= b.x0 and b.x1 <= whole.x1 + 0.5 and whole.y0 - 0.5 <= b.y0, (size, b)


def test_paired_halves_labels_and_poisson_results_draw_as_the_analysis_reads_them(tmp_path):
    x = np.array([1.0, 2.0, np.nan, 4.0, 5.0, 7.0])
    y = np.array([2.0, np.nan, 3.5, 4.5, 6.0, 6.5])
    r = diffboot.analyse(x, y, paired=True, replications=99, labels=("$5 a", "b $"))
    figure = r.plot(path=tmp_path / "p.svg")
    pair_lines = [line for a in figure.axes for line in a.get_lines() if line.get_gid() == "pairs"]
    texts = [t.get_text() for a in figure.axes for t in a.texts + a.get_xticklabels()] + [t.get_text() for t in figure.texts]
    assert any("$5 a" in t for t in texts)
    svg = (tmp_path / "p.svg").read_text()
    assert "$5 a" in svg
    assert [(line.get_ydata()[0], line.get_ydata()[1]) for line in pair_lines] == [(1, 2), (4, 4.5), (5, 6), (7, 6.5)]
    assert "n = 4" in " ".join(texts)
    poisson = diffboot.analyse(np.arange(40.0), np.arange(40.0) + 1, method="poisson", replications=99)
    poisson.plot(path=tmp_path / "q.svg")
    poisson._samples = None  # as a Dask result comes back
    try:
        poisson.plot()
        raise AssertionError("plotted a result without values")
    except diffboot.Error as e:
        assert "keeps no values" in str(e)


def test_the_results_plot_takes_the_unit_and_words_from_the_catalogue():
    r = diffboot.analyse([1.0, 2.0, 4.0, 3.5], [2.0, 2.5, 5.0, 6.0], replications=99)
    figure = r.plot(unit="mm Hg")
    texts = [a.get_xlabel() + a.get_ylabel() for a in figure.axes]
    texts += [t.get_text() for a in figure.axes for t in a.get_yticklabels()]
    assert any("mm Hg" in t for t in texts)
    assert any("difference of means (d_AVE)" in t for t in texts) or any("d_AVE" in t for t in texts)


def test_several_groups_draw_a_column_each(tmp_path):
    import pandas as pd

    frame = pd.DataFrame({"feed": ["c"] * 6 + ["a"] * 5 + ["b"] * 7,
                          "weight": np.r_[np.linspace(300, 360, 6), np.linspace(150, 190, 5), np.linspace(240, 290, 7)]})
    r = diffboot.analyse_frame(frame, by="feed", value="weight", control="c", groups=["a", "b"], replications=199)
    figure = r.plot(path=tmp_path / "g.svg", unit="g")
    svg = ET.parse(tmp_path / "g.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    assert sum(len(list(g.iter(ns + "use"))) for g in _svg_groups(svg, "values")) == 18, "a mark per value"
    assert len(_svg_groups(svg, "estimate")) == 2, "a column per comparison"
    texts = [t.text or "" for t in svg.iter(ns + "text")]
    assert "a %s c" % MINUS in texts and "weight (g)" in texts
    assert len(figure.axes) == 2


def test_proportions_and_clusters_draw_what_was_resampled():
    import pandas as pd

    ones = np.array([1, 0, 1, 1, 0, 1, 1, 0, 1, 1], bool)
    r = diffboot.analyse(ones, ~ones, replications=199)
    p = layout(r).panels[0]
    assert [m.role for m in p.marks] == ["wilson", "proportion"] * 2
    assert [c.label for c in p.categories] == ["x (7 of 10)", "y (3 of 10)"]
    frame = pd.DataFrame({"user": ["u1", "u1", "u2", "u3", "u3", "u4", "u5", "u5", "u6"],
                          "arm": list("AAAAABBBB"), "v": [1.0, 3, 10, 2, 4, 5, 7, 6, 8]})
    c = diffboot.analyse_frame(frame, by="arm", groups=("A", "B"), value="v", cluster="user", replications=199)
    p = layout(c).panels[0]
    assert sum(len(m.x) for m in p.marks if m.role == "values") == 6, "a disc per user"
    assert p.categories[0].label == "A (n = 3 users, 5 rows)"
