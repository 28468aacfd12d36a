"""One vocabulary in every door: the doc's table of option names against the
program's --help and analyse()'s signature, lift in percent wherever people
read it and a fraction in the data, the measures named being those reported,
the package's public namespace and its manners (KeyError, to_frame, labels)."""

import doctest
import inspect
import re
import subprocess

import numpy as np
import pandas as pd
import pytest

import diffboot
from conftest import PROGRAM, SOURCE, assert_equals_json, program_json, write_sample

RNG = np.random.default_rng(47)


def door_table(page):
    """The rows of the doc's table of options: {option: (program, python, r)} as lists of names."""
    rows, inside = {}, False
    for line in (SOURCE / "doc" / page).read_text().splitlines():
        if line.startswith("| option | program |"):
            inside = True
        elif inside and line.startswith("|") and not line.startswith("|---"):
            cells = [c.strip() for c in line.strip("|").split("|")]
            rows[cells[0]] = [re.findall(r"`([^`]+)`", c) for c in cells[1:]]
        elif inside and not line.startswith("|"):
            break
    return rows


def test_the_table_of_options_is_the_doors_own(program):
    rows = door_table("python.md")
    assert rows == door_table("r.md"), "the Python and R pages give one table"
    assert len(rows) >= 12
    named = {n.rstrip("=") for _, python, _ in rows.values() for n in python}
    parameters = set(inspect.signature(diffboot.analyse).parameters) - {"x", "y", "aliases"}
    designs = {"control", "sequential"}  # several groups: analyse_frame()'s and analyse_groups()'s own
    for several in (diffboot.analyse_frame, diffboot.analyse_groups):
        assert designs <= set(inspect.signature(several).parameters), several.__name__
    frame_only = {"cluster"}  # analyse(clusters=) takes keys; analyse_frame() a column of them
    assert frame_only <= set(inspect.signature(diffboot.analyse_frame).parameters)
    assert named == parameters | {"confidence_level", "n_resamples"} | designs | frame_only
    help_text = subprocess.run([program, "--help"], capture_output=True, text=True).stdout
    for option, (cli, _, _) in rows.items():
        for name in cli:
            assert re.search(r"(^|[\s,])%s\b" % re.escape(name), help_text), (option, name)
    # the aliases are analyse()'s and analyse_frame()'s alike
    df = pd.DataFrame({"a": RNG.normal(0, 1, 12), "b": RNG.normal(1, 1, 12)})
    aliased = diffboot.analyse_frame(df, columns=("a", "b"), n_resamples=199, confidence_level=0.8)
    plain = diffboot.analyse(df["a"], df["b"], replications=199, level=0.8)
    assert [m.bca_lower for m in aliased.measures] == [m.bca_lower for m in plain.measures]


def test_lift_is_a_fraction_in_the_data_and_percent_in_print(program, tmp_path):
    x, y = RNG.normal(11, 2, 20), RNG.normal(10, 2, 18)
    write_sample(tmp_path / "x.txt", x)
    write_sample(tmp_path / "y.txt", y)
    r = diffboot.analyse(x, y, measures=["d_AVE", "lift"], replications=199)
    assert_equals_json(r, program_json(["-u", "-B", "199", "--measures", "d_AVE,lift", "x.txt", "y.txt"], tmp_path))
    lift = r["lift"]
    assert abs(lift.estimate) < 1, "a fraction"
    assert r.to_frame().loc["lift", "estimate"] == lift.estimate
    text, html = repr(r), r._repr_html_()
    for shown in (text, html):
        assert "lift%" in shown and ("%.6g" % (100 * lift.estimate)) in shown
        assert ("%.6g" % (100 * lift.bca_upper)) in shown
        assert ("%.6g" % r["d_AVE"].estimate) in shown
    # the program's text report: the same percent, the same column order
    report = subprocess.run([PROGRAM, "--no-files", "-u", "-B", "199", "--measures", "d_AVE,lift", "x.txt", "y.txt"],
                            cwd=tmp_path, capture_output=True, text=True).stdout
    numbers = re.search(r"^lift% =\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)", report, re.M).groups()
    ours = [100 * getattr(lift, f) for f in ("estimate", "t_lower", "t_upper", "bca_lower", "bca_upper")]
    assert [float(v) for v in numbers] == pytest.approx(ours, rel=1e-4)
    head = [line for line in text.splitlines() if line.startswith("measure")][0].split()
    assert head == ["measure", "estimate", "t", "lower", "t", "upper", "BCa", "lower", "BCa", "upper"]


@pytest.mark.parametrize("paired,options,names", [
    (False, dict(quantiles=0.9, measures="d_Q90"), ["d_Q90"]),
    (False, dict(quantiles=[0.9, 0.1], measures=["d_Q10", "g"]), ["g", "d_Q10"]),
    (False, dict(quantiles=0.9), ["d_AVE", "d_MED", "d_STD", "d_MAD", "d_Q90"]),
    (True, dict(quantiles=0.5, measures="Q50_d"), ["Q50_d"]),
])
def test_the_measures_named_are_those_reported(paired, options, names):
    x, y = RNG.normal(0, 1, 14), RNG.normal(0.5, 1, 14)
    assert [m.name for m in diffboot.analyse(x, y, paired=paired, replications=99, **options).measures] == names


def test_the_namespace_is_the_packages_own(program):
    public = {n for n in vars(diffboot) if not n.startswith("_")}
    assert not public & {"math", "np", "numbers", "time", "re", "warnings", "inspect"}
    assert set(diffboot.__all__) <= set(vars(diffboot))
    for name in ("analyse", "analyse_frame", "analyse_groups"):
        doc = getattr(diffboot, name).__doc__
        for section in ("Parameters", "Returns", "Raises", "Examples"):
            assert "\n    %s\n    ---" % section in doc, (name, section)
    import warnings

    from diffboot import _frame, _groups

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for module in (diffboot, _frame, _groups):
            assert doctest.testmod(module).failed == 0, module.__name__
    version = subprocess.run([program, "--version"], capture_output=True, text=True).stdout
    assert diffboot.__version__ and diffboot.__version__ in version


def test_a_result_names_its_measures_rows_and_samples():
    a, b = pd.Series(RNG.normal(0, 1, 10), name="weight"), pd.Series(RNG.normal(1, 1, 12), name="weight")
    r = diffboot.analyse(a, b, replications=99)
    assert r.labels == ("x", "y")
    assert diffboot.analyse(a, b.rename("height"), replications=99).labels == ("weight", "height")
    assert diffboot.analyse(a, b, replications=99, labels=("before", "after")).labels == ("before", "after")
    with pytest.raises(KeyError, match="'hedges' is not a measure of this result; its measures are d_AVE, d_MED"):
        r["hedges"]
    frame = r.to_frame()
    assert list(frame.index) == ["d_AVE", "d_MED", "d_STD", "d_MAD"] == list(frame["measure"])
    assert frame.loc["d_MED", "estimate"] == r["d_MED"].estimate
    assert list(r.to_frame(index=False).index) == [0, 1, 2, 3]
