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
