"""Bootstrap confidence intervals for the effect in a two-sample experiment.

``analyse(x, y)`` compares two samples; ``analyse_frame(df, ...)`` two
columns or two groups of a pandas DataFrame. Both return a ``Result`` whose
numbers are those of the ``diffboot`` program's csv and json, bit for bit,
for the same values and options. Several groups (against a control, or each
against the one before it: ``analyse_frame(df, by=..., control=...)``,
``analyse_groups(samples, ...)``) give ``Comparisons``, a Result each.
"""

import math as _math
import numbers as _numbers
import re as _re
import time as _time
import warnings as _warnings

import numpy as _np

from . import _core
from ._frame import analyse_frame
from ._groups import Comparisons, analyse_groups

__all__ = ["analyse", "analyse_frame", "analyse_groups", "analyse_counts", "Result", "Comparisons", "MeasureResult", "Error",
           "DiffbootWarning", "FIELDS", "__version__"]

__version__ = _core.version


Error = _core.Error
Error.__module__ = "diffboot"
Error.__doc__ = "Input the analysis cannot take; the message is the program's."

MeasureResult = _core.MeasureResult


class DiffbootWarning(UserWarning):
    """A note on a result's numbers, as the program writes it on standard error."""


# The fields of a measure in the program's csv column order.
FIELDS = ("estimate", "se", "bias", "t_lower", "t_upper", "bca_lower", "bca_upper",
          "percentile_lower", "percentile_upper", "basic_lower", "basic_upper", "z0", "acceleration")


def _measure_repr(m):
    keys = ("name",) + FIELDS + ("p_permutation", "p_t", "p_holm")
    return "MeasureResult(%s)" % ", ".join("%s=%r" % (k, getattr(m, k)) for k in keys)


MeasureResult.__repr__ = _measure_repr


def _percent(name):
    """Whether the library prints the measure `name` in percent for people (lift)."""
    facts = _core.measure_facts(name)
    return facts is not None and facts.percent


class Result:
    """The results of one analysis: the inputs' facts and one MeasureResult a measure.

    Attributes
    ----------
    experiment : str
        ``"paired"`` or ``"unpaired"``.
    level, alpha : float
        The intervals' level and the probability beyond each bound.
    replications : int
        B, the number of bootstrap replicates.
    seed : int
        The seed the run used (the fixed seed when none was given).
    n_x, n_y, missing_x, missing_y : int
        The values analysed and the missing values left out, per sample.
    labels : tuple of str
        The samples' names in printouts and figures.
    measures : list of MeasureResult
        One a measure, in report order; the numbers are the program's json
        (lift as a fraction, as data carry it; printouts show it in percent).
    replicates : dict of numpy arrays, or None
        With ``replicates=True``, each measure's B replicates in
        replication order.
    comparison : str or None
        Of several groups: the comparison's name, ``"horsebean - casein"``;
        its measures then carry ``p_holm`` (with permutations), the
        permutation p-value adjusted across the comparisons by Holm's method.
    stopped : str or None
        Of several groups: why the comparison stopped (its samples too few
        for the experiment); it then has no measures.
    cluster : str or None
        With clusters: the column that named them (analyse_frame's
        ``cluster=``), else None.
    clusters_x, clusters_y, no_cluster_x, no_cluster_y : int or None
        With clusters: each sample's clusters, and its values left out for
        want of a key; None without clusters.
    """

    def __init__(self, core, labels, level, method="bootstrap", samples=None, quantiles=(), counts=None,
                 comparison=None, stopped=None, stacklevel=3, cluster=None):
        options = core.options
        self.method = method
        self.experiment = options.experiment.name
        self.alpha = options.alpha
        self.level = level
        self.replications = options.replications
        self.seed = _core.fixed_seed if options.seed is None else options.seed
        self.permutations = options.permutations
        self.labels = tuple(labels)
        self.n_x, self.n_y = core.n_x, core.n_y
        source = core if counts is None else counts
        self.missing_x, self.missing_y = source.missing_x, source.missing_y
        self.pairs_dropped = source.pairs_dropped if self.experiment == "paired" else None
        self.proportions = options.proportions
        # The name the program's csv gives p_t: p_z or p_mcnemar for proportions.
        self.test = _core.test_name(options.experiment, options.proportions)
        clustered = bool(options.clusters[0] or options.clusters[1])
        self.cluster = cluster if clustered else None
        for name in ("clusters_x", "clusters_y", "no_cluster_x", "no_cluster_y"):
            setattr(self, name, getattr(core, name) if clustered else None)
        self.measures = list(core.measures)
        kept = [m for m in self.measures if m.replicates is not None]
        self.replicates = {m.name: m.replicates for m in kept} if kept else None
        self._samples = samples
        self._core = core
        self._quantiles = list(quantiles)
        self.comparison = comparison
        self.stopped = stopped
        said = "" if comparison is None else comparison + ": "  # the program's messages begin with their comparison
        if stopped is not None:
            _warnings.warn(said + stopped, DiffbootWarning, stacklevel=stacklevel)
        for m in self.measures:  # what the program says on standard error
            for note in m.notes:
                _warnings.warn(said + note, DiffbootWarning, stacklevel=stacklevel)

    def __getitem__(self, name):
        """The MeasureResult of the measure `name`; KeyError naming the result's measures."""
        for m in self.measures:
            if m.name == name:
                return m
        raise KeyError("%r is not a measure of this result; its measures are %s"
                       % (name, ", ".join(m.name for m in self.measures)))

    def to_frame(self, index=True):
        """The results as a pandas DataFrame, one row per measure.

        Parameters
        ----------
        index : bool, default True
            Index the rows by the measures' names; False: a RangeIndex. The
            ``measure`` column is there either way.

        Returns
        -------
        pandas.DataFrame
            The columns of the program's csv, in its order (lift as a
            fraction, as the csv gives it).

        Examples
        --------
        >>> r = analyse([5.1, 4.8, 6.0, 5.5], [4.2, 4.9, 4.4, 4.0])
        >>> r.to_frame().loc["d_AVE", "bca_lower"]  # doctest: +SKIP
        """
        import pandas as pd

        rows = []
        for m in self.measures:
            row = {} if self.comparison is None else {"comparison": self.comparison}
            row["measure"] = m.name
            row.update({f: getattr(m, f) for f in FIELDS})
            row.update(alpha=self.alpha, level=self.level, B=self.replications, n_x=self.n_x, n_y=self.n_y,
                       experiment=self.experiment, seed=self.seed, missing_x=self.missing_x,
                       missing_y=self.missing_y)
            if self.pairs_dropped is not None:
                row.update(pairs_dropped=self.pairs_dropped)
            if self.permutations > 0:
                row.update({"p_permutation": m.p_permutation, self.test: m.p_t, "permutations": self.permutations})
                if self.comparison is not None:
                    row.update(p_holm=m.p_holm)
            if self.method == "poisson":
                row.update(method=self.method)
            if self.clusters_x is not None:
                row.update(cluster=self.cluster, clusters_x=self.clusters_x, clusters_y=self.clusters_y,
                           no_cluster_x=self.no_cluster_x, no_cluster_y=self.no_cluster_y)
            row.update(sample1=self.labels[0], sample2=self.labels[1])
            rows.append(row)
        frame = pd.DataFrame(rows)
        if not rows:  # a comparison that stopped
            frame = pd.DataFrame(columns=([] if self.comparison is None else ["comparison"]) + ["measure"])
        if index:
            frame.index = pd.Index([m.name for m in self.measures])
        return frame

    def plot(self, path=None, ax=None, size=(7, 5), unit=None, log=False, value_name="value"):
        """The estimation figure of --figure in matplotlib; saved to path (.svg, .png, .pdf) when given.

        unit names the values' unit on the axes (as --unit), log draws the
        data axis on a log scale (as --log); see diffboot.plot.plot.
        """
        from .plot import plot

        return plot(self, path=path, ax=ax, size=size, unit=unit, log=log, value_name=value_name)

    def _table(self):
        """The printed table: the program's text report's columns and words, lift in percent."""
        head = ("measure", "estimate", "t lower", "t upper", "BCa lower", "BCa upper")
        rows = []
        for m in self.measures:
            scale, label = (100.0, m.name + "%") if _percent(m.name) else (1.0, m.name)
            rows.append((label,) + tuple("%.6g" % (scale * getattr(m, f)) for f in ("estimate", "t_lower", "t_upper",
                                                                                    "bca_lower", "bca_upper")))
        return head, rows

    def _caption(self):
        """The lines above the table, as R's print() gives them."""
        x, y = self.labels
        method = "Poisson bootstrap" if self.method == "poisson" else "Bootstrap"
        counts = "n = %d, %d; missing %d, %d" % (self.n_x, self.n_y, self.missing_x, self.missing_y)
        if self.pairs_dropped is not None:
            counts += "; pairs left out %d" % self.pairs_dropped
        if self.clusters_x is not None:
            counts += "; clusters %d, %d" % (self.clusters_x, self.clusters_y)
        lines = ["%s intervals, %s experiment: %s - %s" % (method, self.experiment, x, y),
                 "%g%% intervals, B = %d, seed %d" % (100 * self.level, self.replications, self.seed), counts]
        return lines + (["stopped: " + self.stopped] if self.stopped is not None else [])

    def __repr__(self):
        if self.stopped is not None:
            return "\n".join(self._caption())
        head, rows = self._table()
        widths = [max(len(r[k]) for r in [head] + rows) for k in range(len(head))]
        lines = list(self._caption())
        for r in [head] + rows:
            lines.append("  ".join(c.ljust(w) if k == 0 else c.rjust(w) for k, (c, w) in enumerate(zip(r, widths))))
        return "\n".join(lines)

    def _repr_html_(self):
        import html

        head, rows = self._table()
        cells = lambda r, tag: "".join("<%s>%s</%s>" % (tag, html.escape(c), tag) for c in r)
        body = "".join("<tr>%s</tr>" % cells(r, "td") for r in rows)
        return ("<table><caption>%s</caption><thead><tr>%s</tr></thead><tbody>%s</tbody></table>"
                % ("<br>".join(html.escape(c) for c in self._caption()), cells(head, "th"), body))


def _truth_values(v):
    """Whether v holds truth values: a numpy or pandas bool column, pandas' boolean (NA missing), or bools."""
    dtype = getattr(v, "dtype", None)
    if dtype is not None and dtype != object:
        return dtype == bool or str(dtype) == "boolean"
    if isinstance(v, (str, bytes, dict, set)) or isinstance(v, _numbers.Number):
        return False
    cells = [c for c in (v.tolist() if hasattr(v, "tolist") else list(v)) if not _missing_cell(c)]
    return bool(cells) and all(isinstance(c, (bool, _np.bool_)) for c in cells)


def _values(v, name, outcomes=False):
    """v as a one-dimensional float64 array (NaN and masked values missing): the same memory for a contiguous float64 array.

    outcomes: truth values are taken, as 1 and 0.
    """
    import pandas as pd

    if isinstance(v, (pd.Series, pd.Index)) or hasattr(v, "to_numpy") and not isinstance(v, _np.ndarray):
        if v.dtype == object or str(v.dtype) == "boolean" or v.dtype == bool:
            return _values(_np.asarray(v, dtype=object), name, outcomes)
        if not pd.api.types.is_numeric_dtype(v.dtype) or pd.api.types.is_complex_dtype(v.dtype):
            raise TypeError("%s must hold real numbers, not %s" % (name, v.dtype))
        v = v.to_numpy(dtype=_np.float64, na_value=_np.nan)
    if isinstance(v, (str, bytes, dict, set)) or isinstance(v, _numbers.Number):
        raise TypeError("%s must be one-dimensional values (a list, an array, a Series), not %s"
                        % (name, type(v).__name__))
    if isinstance(v, _np.ma.MaskedArray):
        if v.dtype.kind not in "iuf":
            raise TypeError("%s must hold real numbers, not %s" % (name, v.dtype))
        v = v.astype(_np.float64).filled(_np.nan)
    a = _np.asarray(v) if not isinstance(v, _np.ndarray) else v
    if a.ndim != 1:
        raise Error("%s has %d dimensions: the values must be one-dimensional" % (name, a.ndim))
    if a.dtype == object:
        out = _np.empty(a.shape[0], dtype=_np.float64)
        for i, cell in enumerate(a):
            if _missing_cell(cell):
                out[i] = _math.nan
            elif isinstance(cell, _numbers.Real) and (outcomes or not isinstance(cell, (bool, _np.bool_))):
                out[i] = float(cell)
            else:
                raise TypeError("%s[%d] is %r, not a real number" % (name, i, cell))
        return out
    if a.dtype.kind == "b" and outcomes:
        return a.astype(_np.float64)
    if a.dtype.kind not in "iuf":
        raise TypeError("%s must hold real numbers, not %s" % (name, a.dtype))
    if a.dtype != _np.float64 or not a.dtype.isnative:
        a = a.astype(_np.float64)
    return _np.ascontiguousarray(a)


def _missing_cell(cell):
    """Whether an object cell is missing: None, NaN, pandas' NA or NaT."""
    import pandas as pd

    return cell is None or cell is pd.NA or cell is pd.NaT or (isinstance(cell, float) and _math.isnan(cell))


def _cluster_keys(clusters):
    """The two samples' cluster keys as the library takes them: texts (a number's shortest text, 7.0 as "7"),
    a missing key (None, NaN, pandas' NA) the empty text, which the library leaves out and counts."""
    from ._frame import _key

    if isinstance(clusters, (str, bytes)) or len(clusters) != 2:
        raise TypeError("clusters must be two sequences of keys, (clusters of x, clusters of y)")
    keys = []
    for sample, given in zip("xy", clusters):
        if isinstance(given, (str, bytes)) or not hasattr(given, "__len__"):
            raise TypeError("the clusters of %s must be a sequence of keys, one a value, not %s"
                            % (sample, type(given).__name__))
        cells = given.tolist() if hasattr(given, "tolist") else list(given)
        keys.append(["" if _missing_cell(c) else c if isinstance(c, str) else _key(c) for c in cells])
    return tuple(keys)


def _whole(v, name, low, high):
    """v as a whole number from low to high, in the library's words when it is not."""
    if isinstance(v, (bool, _np.bool_)) or not isinstance(v, _numbers.Integral):
        raise TypeError("%s must be a whole number, not %s" % (name, type(v).__name__))
    return _core.whole_number(float(v), name, low, high)


def _level(level):
    """(alpha, level) of a level as --level takes it: 0.99, 99 or '99.9%'."""
    if isinstance(level, (bool, _np.bool_)):
        raise TypeError("level must be a number such as 0.95, not bool")
    if isinstance(level, str):
        parsed = _core.level_from_text(level)
    elif isinstance(level, _numbers.Real):
        parsed = _core.level_from_number(float(level))
    else:
        raise TypeError("level must be a number such as 0.95 or '95%%', not %r" % (level,))
    return parsed.alpha, parsed.level


def _experiment(paired):
    if not isinstance(paired, (bool, _np.bool_)):
        raise TypeError("paired must be True or False")
    return _core.Experiment.paired if paired else _core.Experiment.unpaired


def _measures(measures, paired, poisson=False):
    if measures is None:
        return []
    if isinstance(measures, str):
        if measures != "all":
            return [measures]
        method = _core.Method.poisson if poisson else _core.Method.bootstrap
        return _core.measure_names(_experiment(paired), method)
    names = list(measures)
    if not all(isinstance(n, str) for n in names):
        raise TypeError("measures must be names such as 'd_AVE' or 'all'")
    return names


def _quantiles(quantiles):
    if quantiles is None:
        return []
    values = [quantiles] if isinstance(quantiles, (int, float, _np.number)) else list(quantiles)
    if not all(isinstance(p, (int, float, _np.number)) and not isinstance(p, (bool, _np.bool_)) for p in values):
        raise TypeError("quantiles must be probabilities such as 0.9 or [0.1, 0.9]")
    return [float(p) for p in values]


def _seed(seed):
    """The seed as the library takes it; a numpy generator is refused, saying why."""
    if isinstance(seed, (_np.random.Generator, _np.random.RandomState, _np.random.BitGenerator,
                         _np.random.SeedSequence)):
        raise TypeError("seed must be a whole number from 1 to %d, not a %s: the run draws from the program's own "
                        "generator, seeded by an integer, so that the same seed gives the same numbers in every "
                        "door (the program's -s, R's seed =); seed=None is the program's fixed seed"
                        % (_core.largest_seed, type(seed).__name__))
    return _core.fixed_seed if seed is None else _whole(seed, "seed", 1, _core.largest_seed)


def _acceleration(acceleration):
    if not isinstance(acceleration, str):
        raise TypeError("acceleration must be 'grid' or 'samples', not %r" % (acceleration,))
    return _core.Acceleration.samples if _core.acceleration_from_text(acceleration) == _core.Acceleration.samples \
        else _core.Acceleration.grid


def _options(paired, level, replications, seed, measures, permutations, replicates, threads, quantiles, method,
             acceleration="grid", proportions=False):
    """The library's Options of analyse()'s arguments, and the interval level."""
    if method not in ("bootstrap", "poisson"):
        raise Error("method %r is neither 'bootstrap' nor 'poisson'" % (method,))
    o = _core.Options()
    o.experiment = _experiment(paired)
    o.alpha, interval = _level(level)
    o.replications = _whole(replications, "replications", *_core.replications_range)
    o.seed = _seed(seed)
    o.acceleration = _acceleration(acceleration)
    o.permutations = 0 if permutations == 0 else _whole(permutations, "permutations", *_core.permutations_range)
    o.threads = 0 if threads is None else _whole(threads, "threads", 1, 2**32 - 1)
    o.quantiles = _quantiles(quantiles)
    if not isinstance(proportions, (bool, _np.bool_)):
        raise TypeError("proportions must be True or False")
    o.proportions = bool(proportions)
    names = _measures(measures, paired, poisson=method == "poisson")
    # The library's all names the quantiles too, and of proportions their own measures.
    o.measures = ["all"] if (o.quantiles or o.proportions) and measures == "all" else names
    o.keep_replicates = bool(replicates)
    o.missing = _core.Missing.skip
    return o, interval


def _label(v, default):
    name = getattr(v, "name", None)
    return str(name) if name is not None and not isinstance(v, _np.ndarray) else default


def _labels(x, y):
    """The samples' names: their Series' names, or "x" and "y" where these are missing or alike."""
    labels = (_label(x, "x"), _label(y, "y"))
    return ("x", "y") if labels[0] == labels[1] else labels


def _aliases(options, level, replications):
    """level and replications, or scipy's names for them (confidence_level, n_resamples), not both."""
    confidence_level = options.pop("confidence_level", None)
    n_resamples = options.pop("n_resamples", None)
    if confidence_level is not None:
        if level is not None:
            raise TypeError("give level or its alias confidence_level, not both")
        level = confidence_level
    if n_resamples is not None:
        if replications is not None:
            raise TypeError("give replications or its alias n_resamples, not both")
        replications = n_resamples
    return (_core.default_level if level is None else level,
            _core.default_replications if replications is None else replications)


_POSITION = _re.compile(r"^(sample [12] holds .+), at position (\d+)(.*)$")


def _zero_based(error):
    """The library's message with a 1-based position as Python's 0-based index."""
    found = _POSITION.match(str(error))
    return Error("%s, at index %d%s" % (found.group(1), int(found.group(2)) - 1, found.group(3))) if found else error


class _Bar:
    """A tqdm bar shown once a run has taken a second."""

    def __init__(self):
        self.bar = None
        self.start = _time.monotonic()

    def __call__(self, fraction):
        if self.bar is None:
            if _time.monotonic() - self.start < 1.0:
                return
            from tqdm.auto import tqdm

            self.bar = tqdm(total=1000, desc="diffboot", unit="‰", leave=False)
        self.bar.update(int(fraction * 1000) - self.bar.n)

    def close(self):
        if self.bar is not None:
            self.bar.close()


def analyse(x, y, paired=False, level=None, replications=None, seed=None, measures=None, permutations=0,
            replicates=False, threads=None, progress=False, labels=None, method="bootstrap", quantiles=None,
            acceleration="grid", proportions=False, clusters=None, **aliases):
    """Bootstrap confidence intervals of the effect of y to x (differences x - y).

    Parameters
    ----------
    x, y : array_like
        One-dimensional real values (list, tuple, numpy array, masked
        array, pandas Series). NaN, masked values and pandas' NA are
        missing: left out and counted (paired: the pair).
    paired : bool, default False
        A paired experiment (x[i] with y[i]); else unpaired.
    level : float or str, default 0.95
        The intervals' level, 0.5 to 0.999, or in percent (95, '99.9%').
        scipy's name ``confidence_level`` is taken too.
    replications : int, default 1999
        B, the bootstrap replications, 99 to 1000000. scipy's name
        ``n_resamples`` is taken too.
    seed : int or None, default None
        A whole number from 1 to 2147483647 seeding the program's
        generator. None is *not* a fresh random seed: it is the program's
        fixed seed, so that a run gives the same numbers every time (and
        the same as the program and R). A numpy Generator is refused.
    measures : str or list of str, optional
        Names such as 'd_AVE', 'g', 'delta', 'lift', 'd_Q90', or 'all';
        None: the experiment's own (unpaired d_AVE, d_MED, d_STD, d_MAD;
        paired AVE_d, MED_d) and the quantile measures asked for.
    permutations : int, default 0
        0, or 99 to 1000000 permutations for the permutation and t-test
        p-values.
    replicates : bool, default False
        Keep each measure's replicates in ``Result.replicates``.
    threads : int, optional
        The threads the run uses; None: every core. The numbers do not
        depend on it.
    progress : bool, default False
        Show a tqdm bar for runs longer than a second.
    labels : tuple of str, optional
        The samples' names in printouts and figures; by default the
        Series' names, or "x" and "y" where they have none or the same.
    method : {'bootstrap', 'poisson'}, default 'bootstrap'
        'poisson': the Poisson bootstrap of diffboot.distributed on one
        machine (measures d_AVE, d_STD, g, lift; paired AVE_d, g, lift).
    quantiles : float or list of float, optional
        Probabilities strictly between 0 and 1 (at most 9), each adding a
        quantile measure (d_Q90, paired Q90_d, for 0.9) that ``measures``
        may name.
    acceleration : {'grid', 'samples'}, default 'grid'
        The BCa acceleration of the unpaired differences, as the program's
        --acceleration.
    proportions : bool, default False
        The values are 0/1 outcomes (a success 1, a failure 0), as the
        program's --proportions: the measures are d_PROP, lift and h
        (paired PROP_d, lift, h), and with permutations the z-test's
        (paired McNemar's) p-value stands in for the t-test's, named
        ``p_z`` (``p_mcnemar``) in ``to_frame()``. Truth values (a bool
        array or Series, pandas' boolean with NA missing) imply it.
    clusters : pair of sequences, optional
        Unpaired: the cluster (a user, an order) of each value of x and of
        y, ``(cx, cy)``; the cluster bootstrap draws each sample's clusters
        and measures the values of those drawn, as the program's
        --cluster. Keys are compared as text (7 and 7.0 are one); a missing
        key (None, NaN) leaves its value out, counted in ``no_cluster_x``.

    Returns
    -------
    Result
        The inputs' facts and one MeasureResult a measure: the numbers of
        the program's json for the same values and options, bit for bit.
        Lift is a fraction there; printouts show it in percent.

    Raises
    ------
    Error
        Input the analysis cannot take, with the program's message
        (positions of values given as 0-based indices).
    TypeError
        Values or options of a wrong type.

    Examples
    --------
    >>> import diffboot
    >>> r = diffboot.analyse([5.1, 4.8, 6.0, 5.5, 5.9], [4.2, 4.9, 4.4, 4.0, 4.6], measures=["d_AVE", "g"])
    >>> round(r["d_AVE"].estimate, 2)
    1.04
    >>> diffboot.analyse(x=[1, 2, 3, 4], y=[2, 3, 4, 6], n_resamples=999, confidence_level=0.9).replications
    999
    """
    unknown = set(aliases) - {"n_resamples", "confidence_level"}
    if unknown:
        raise TypeError("analyse() got unexpected keyword arguments: %s" % ", ".join(sorted(unknown)))
    level, replications = _aliases(dict(aliases), level, replications)
    proportions = True if _truth_values(x) or _truth_values(y) else proportions  # truth values are outcomes
    options, interval = _options(paired, level, replications, seed, measures, permutations, replicates, threads,
                                 quantiles, method, acceleration, proportions)
    if labels is None:
        labels = _labels(x, y)
    xs, ys = _values(x, "x", options.proportions), _values(y, "y", options.proportions)
    if clusters is not None:
        if method == "poisson":
            raise Error("clusters are not part of the Poisson bootstrap (method='poisson')")
        options.clusters = _cluster_keys(clusters)
    run = _core.poisson_analyse if method == "poisson" else _core.analyse
    try:
        core = _watched(lambda bar: run(xs, ys, options, bar), progress)
    except Error as e:
        raise _zero_based(e) from None
    return Result(core, labels, interval, method=method, samples=(xs, ys), quantiles=options.quantiles)


def _watched(run, progress):
    """run(bar) with a progress bar when asked for, closed however the run ends."""
    bar = _Bar() if progress else None
    try:
        return run(bar)
    finally:
        if bar is not None:
            bar.close()


def _count(v, name):
    """A count as the library takes it (it says whether it is a whole number in range)."""
    if isinstance(v, (bool, _np.bool_)) or not isinstance(v, _numbers.Real):
        raise TypeError("%s must be a number, not %s" % (name, type(v).__name__))
    return float(v)


_TABLE = ("both", "x_only", "y_only", "neither")


def analyse_counts(x, y=None, level=None, replications=None, seed=None, measures=None, permutations=0,
                   replicates=False, threads=None, labels=None, **aliases):
    """Bootstrap confidence intervals of proportions given by their counts, as the program's --counts.

    ``analyse_counts((412, 10000), (455, 10000))`` compares two samples of
    0/1 outcomes, each (successes, trials): unpaired. ``analyse_counts((40,
    12, 25, 123))`` (or a dict with the keys both, x_only, y_only, neither)
    is a paired experiment's 2 x 2 table: the pairs whose two outcomes are
    1, whose first alone is, whose second alone is, and whose two are 0.
    The form decides the experiment.

    A replicate draws each count (Binomial(n, k/n); paired, a multinomial
    draw of the table's four cells), which is the distribution of the ones
    in a resample of the rows: the numbers agree with ``analyse(...,
    proportions=True)`` of the 0/1 values written out within Monte Carlo
    error (other draws), at a cost that does not grow with the trials.

    Parameters
    ----------
    x : tuple of two numbers, or the paired table
        (successes, trials) of sample 1; or the paired table (4 numbers or
        a dict) with y left out. Whole numbers up to 2**53; the library
        refuses others, negative ones, successes above the trials and no
        trials, naming the sample.
    y : tuple of two numbers, optional
        (successes, trials) of sample 2.
    level, replications, seed, measures, permutations, replicates, threads, labels
        As for analyse(); measures among d_PROP, lift, h (paired PROP_d,
        lift, h). With permutations, only the z-test's (paired McNemar's)
        p-value is given, ``p_z`` (``p_mcnemar``) in ``to_frame()``: the
        permutation p-value needs the rows.

    Returns
    -------
    Result
        The numbers of the program's json for ``diffboot --counts`` with
        the same counts and options, bit for bit.

    Examples
    --------
    >>> import diffboot
    >>> r = diffboot.analyse_counts((412, 10000), (455, 10000))
    >>> [m.name for m in r.measures]
    ['d_PROP', 'lift', 'h']
    >>> diffboot.analyse_counts(dict(both=40, x_only=12, y_only=25, neither=123)).experiment
    'paired'
    """
    unknown = set(aliases) - {"n_resamples", "confidence_level"}
    if unknown:
        raise TypeError("analyse_counts() got unexpected keyword arguments: %s" % ", ".join(sorted(unknown)))
    level, replications = _aliases(dict(aliases), level, replications)
    paired = y is None
    if paired:
        if isinstance(x, dict):
            if set(x) != set(_TABLE):
                raise TypeError("the paired table is a dict with the keys %s" % ", ".join(_TABLE))
            x = tuple(x[k] for k in _TABLE)
        if isinstance(x, (str, bytes)) or not hasattr(x, "__len__") or len(x) != 4:
            raise TypeError("analyse_counts() takes two samples (successes, trials), or one paired table "
                            "(both, x_only, y_only, neither)")
        table = _core.PairedTable(*(_count(v, "the table's " + k) for v, k in zip(x, _TABLE)))
    else:
        for v, name in ((x, "x"), (y, "y")):
            if isinstance(v, (str, bytes, dict)) or not hasattr(v, "__len__") or len(v) != 2:
                raise TypeError("%s must be (successes, trials)" % name)
    options, interval = _options(paired, level, replications, seed, measures, permutations, replicates, threads,
                                 None, "bootstrap", proportions=True)
    if paired:
        core = _core.analyse_table(table, options)
    else:
        core = _core.analyse_counts(_core.Counts(_count(x[0], "x's successes"), _count(x[1], "x's trials")),
                                    _core.Counts(_count(y[0], "y's successes"), _count(y[1], "y's trials")), options)
    return Result(core, ("x", "y") if labels is None else labels, interval)
