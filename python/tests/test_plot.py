"""The figure in svg: one mark per value, one row per measure, the numbers
equal to the result's at the digits shown."""

import xml.etree.ElementTree as ET

import numpy as np

import diffboot
from diffboot.plot import interval_text


def test_the_figure_shows_every_value_and_every_measure(tmp_path):
    rng = np.random.default_rng(3)
    x, y = rng.normal(10, 2, 17), rng.normal(12, 3, 13)
    r = diffboot.analyse(x, y, measures="all", labels=("a", "b"))
    r.plot(path=tmp_path / "f.svg")
    svg = ET.parse(tmp_path / "f.svg").getroot()
    ns = "{http://www.w3.org/2000/svg}"
    group = lambda gid: svg.find(".//%sg[@id='%s']" % (ns, gid))
    marks = [g for g in svg.iter(ns + "g") if g.get("id", "").startswith("value")]
    uses = sum(len(list(g.iter(ns + "use"))) for g in marks)
    assert uses == len(x) + len(y)
    estimates = [g for g in svg.iter(ns + "g") if g.get("id", "").startswith("estimate")]
    assert len(estimates) == 4  # the measures in the data's units; g and delta give their numbers
    texts = " ".join(t.text or "" for t in svg.iter(ns + "text"))
    shown = "".join(svg.itertext()) + texts
    for m in r.measures:
        assert interval_text(m.estimate, m.bca_lower, m.bca_upper) in shown, m.name
    assert group is not None


def test_paired_halves_labels_and_poisson_results_draw_as_the_analysis_reads_them(tmp_path):
    x = np.array([1.0, 2.0, np.nan, 4.0, 5.0, 7.0])
    y = np.array([2.0, np.nan, 3.5, 4.5, 6.0, 6.5])
    r = diffboot.analyse(x, y, paired=True, replications=99, labels=("$5 a", "b $"))
    figure = r.plot(path=tmp_path / "p.svg")
    pair_lines = [line for a in figure.axes for line in a.get_lines() if line.get_gid() == "pairs"]
    texts = [t.get_text() for a in figure.axes for t in a.texts + a.get_xticklabels()] + [figure._suptitle.get_text()]
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
