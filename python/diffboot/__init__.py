"""Bootstrap confidence intervals for the effect in a two-sample experiment.

``analyse(x, y)`` compares two samples; ``analyse_frame(df, ...)`` two
columns or two groups of a pandas DataFrame. Both return a ``Result`` whose
numbers are those of the ``diffboot`` program's csv and json, bit for bit,
for the same values and options.
"""

import math
import numbers
import time

import numpy as np

from . import _core
from ._frame import analyse_frame

__all__ = ["analyse", "analyse_frame", "Result", "MeasureResult", "Error"]


Error = _core.Error
Error.__module__ = "diffboot"
Error.__doc__ = "Input the analysis cannot take; the message is the program's."

MeasureResult = _core.MeasureResult

# The fields of a measure in the program's csv column order.
FIELDS = ("estimate", "se", "bias", "t_lower", "t_upper", "bca_lower", "bca_upper",
          "percentile_lower", "percentile_upper", "basic_lower", "basic_upper", "z0", "acceleration")


def _measure_repr(m):
    keys = ("name",) + FIELDS + ("p_permutation", "p_t")
    return "MeasureResult(%s)" % ", ".join("%s=%r" % (k, getattr(m, k)) for k in keys)


MeasureResult.__repr__ = _measure_repr


class Result:
    """The results of one analysis: the inputs' facts and one MeasureResult a measure."""

    def __init__(self, core, labels, level, method="bootstrap", samples=None, quantiles=(), counts=None):
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
        self.measures = list(core.measures)
        kept = [m for m in self.measures if m.replicates is not None]
        self.replicates = {m.name: m.replicates for m in kept} if kept else None
        self._samples = samples
        self._quantiles = list(quantiles)

    def __getitem__(self, name):
        for m in self.measures:
            if m.name == name:
                return m
        raise KeyError(name)

    def to_frame(self):
        """A pandas DataFrame, one row per measure, with the columns of the program's csv."""
        import pandas as pd

        rows = []
        for m in self.measures:
            row = {"measure": m.name}
            row.update({f: getattr(m, f) for f in FIELDS})
            row.update(alpha=self.alpha, level=self.level, B=self.replications, n_x=self.n_x, n_y=self.n_y,
                       experiment=self.experiment, seed=self.seed, missing_x=self.missing_x,
                       missing_y=self.missing_y)
            if self.pairs_dropped is not None:
                row.update(pairs_dropped=self.pairs_dropped)
            if self.permutations > 0:
                row.update(p_permutation=m.p_permutation, p_t=m.p_t, permutations=self.permutations)
            if self.method == "poisson":
                row.update(method=self.method)
            row.update(sample1=self.labels[0], sample2=self.labels[1])
            rows.append(row)
        return pd.DataFrame(rows)

    def plot(self, path=None, ax=None, size=(7, 5)):
        """The estimation figure of --figure in matplotlib; saved to path (.svg, .png, .pdf) when given."""
        from .plot import plot

        return plot(self, path=path, ax=ax, size=size)

    def _table(self):
        head = ("measure", "estimate", "t lower", "t upper", "BCa lower", "BCa upper")
        rows = [(m.name,) + tuple("%.6g" % getattr(m, f) for f in ("estimate", "t_lower", "t_upper", "bca_lower",
                                                                      "bca_upper")) for m in self.measures]
        return head, rows

    def _caption(self):
        x, y = self.labels
        method = ", Poisson bootstrap" if self.method == "poisson" else ""
        return ("%s experiment%s, %s - %s, %g%% intervals, B = %d, seed %d, n_x = %d, n_y = %d, missing %d, %d"
                % (self.experiment, method, x, y, 100 * self.level, self.replications, self.seed, self.n_x, self.n_y,
                   self.missing_x, self.missing_y))

    def __repr__(self):
        head, rows = self._table()
        widths = [max(len(r[k]) for r in [head] + rows) for k in range(len(head))]
        lines = [self._caption()]
        for r in [head] + rows:
            lines.append("  ".join(c.ljust(w) if k == 0 else c.rjust(w) for k, (c, w) in enumerate(zip(r, widths))))
        return "\n".join(lines)

    def _repr_html_(self):
        import html

        head, rows = self._table()
        cells = lambda r, tag: "".join("<%s>%s</%s>" % (tag, html.escape(c), tag) for c in r)
        body = "".join("<tr>%s</tr>" % cells(r, "td") for r in rows)
        return ("<table><caption>%s</caption><thead><tr>%s</tr></thead><tbody>%s</tbody></table>"
                % (html.escape(self._caption()), cells(head, "th"), body))


def _values(v, name):
    """v as a one-dimensional float64 array (NaN and masked values missing): the same memory for a contiguous float64 array."""
    import pandas as pd

    if isinstance(v, (pd.Series, pd.Index)) or hasattr(v, "to_numpy") and not isinstance(v, np.ndarray):
        if v.dtype == object or str(v.dtype) == "boolean" or v.dtype == bool:
            return _values(np.asarray(v, dtype=object), name)
        if not pd.api.types.is_numeric_dtype(v.dtype) or pd.api.types.is_complex_dtype(v.dtype):
            raise TypeError("%s must hold real numbers, not %s" % (name, v.dtype))
        v = v.to_numpy(dtype=np.float64, na_value=np.nan)
    if isinstance(v, (str, bytes, dict, set)) or isinstance(v, numbers.Number):
        raise TypeError("%s must be one-dimensional values (a list, an array, a Series), not %s"
                        % (name, type(v).__name__))
    if isinstance(v, np.ma.MaskedArray):
        if v.dtype.kind not in "iuf":
            raise TypeError("%s must hold real numbers, not %s" % (name, v.dtype))
        v = v.astype(np.float64).filled(np.nan)
    a = np.asarray(v) if not isinstance(v, np.ndarray) else v
    if a.ndim != 1:
        raise Error("%s has %d dimensions: the values must be one-dimensional" % (name, a.ndim))
    if a.dtype == object:
        out = np.empty(a.shape[0], dtype=np.float64)
        for i, cell in enumerate(a):
            if _missing_cell(cell):
                out[i] = math.nan
            elif isinstance(cell, numbers.Real) and not isinstance(cell, (bool, np.bool_)):
                out[i] = float(cell)
            else:
                raise TypeError("%s[%d] is %r, not a real number" % (name, i, cell))
        return out
    if a.dtype.kind not in "iuf":
        raise TypeError("%s must hold real numbers, not %s" % (name, a.dtype))
    if a.dtype != np.float64 or not a.dtype.isnative:
        a = a.astype(np.float64)
    return np.ascontiguousarray(a)


def _missing_cell(cell):
    """Whether an object cell is missing: None, NaN, pandas' NA or NaT."""
    import pandas as pd

    return cell is None or cell is pd.NA or cell is pd.NaT or (isinstance(cell, float) and math.isnan(cell))


def _whole(v, name, low, high):
    """v as a whole number from low to high, in the library's words when it is not."""
    if isinstance(v, (bool, np.bool_)) or not isinstance(v, numbers.Integral):
        raise TypeError("%s must be a whole number, not %s" % (name, type(v).__name__))
    return _core.whole_number(float(v), name, low, high)


def _level(level):
    """(alpha, level) of a level as --level takes it: 0.99, 99 or '99.9%'."""
    if isinstance(level, (bool, np.bool_)):
        raise TypeError("level must be a number such as 0.95, not bool")
    if isinstance(level, str):
        parsed = _core.level_from_text(level)
    elif isinstance(level, numbers.Real):
        parsed = _core.level_from_number(float(level))
    else:
        raise TypeError("level must be a number such as 0.95 or '95%%', not %r" % (level,))
    return parsed.alpha, parsed.level


def _experiment(paired):
    if not isinstance(paired, (bool, np.bool_)):
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
    values = [quantiles] if isinstance(quantiles, (int, float, np.number)) else list(quantiles)
    if not all(isinstance(p, (int, float, np.number)) and not isinstance(p, (bool, np.bool_)) for p in values):
        raise TypeError("quantiles must be probabilities such as 0.9 or [0.1, 0.9]")
    return [float(p) for p in values]


def _options(paired, level, replications, seed, measures, permutations, replicates, threads, quantiles, method):
    """The library's Options of analyse()'s arguments, and the interval level."""
    if method not in ("bootstrap", "poisson"):
        raise Error("method %r is neither 'bootstrap' nor 'poisson'" % (method,))
    o = _core.Options()
    o.experiment = _experiment(paired)
    o.alpha, interval = _level(level)
    o.replications = _whole(replications, "replications", *_core.replications_range)
    o.seed = _core.fixed_seed if seed is None else _whole(seed, "seed", 1, _core.largest_seed)
    o.permutations = 0 if permutations == 0 else _whole(permutations, "permutations", *_core.permutations_range)
    o.threads = 0 if threads is None else _whole(threads, "threads", 1, 2**32 - 1)
    o.quantiles = _quantiles(quantiles)
    names = _measures(measures, paired, poisson=method == "poisson")
    o.measures = ["all"] if o.quantiles and measures == "all" else names  # the library's all names the quantiles too
    o.keep_replicates = bool(replicates)
    o.missing = _core.Missing.skip
    return o, interval


def _label(v, default):
    name = getattr(v, "name", None)
    return str(name) if name is not None and not isinstance(v, np.ndarray) else default


class _Bar:
    """A tqdm bar shown once a run has taken a second."""

    def __init__(self):
        self.bar = None
        self.start = time.monotonic()

    def __call__(self, fraction):
        if self.bar is None:
            if time.monotonic() - self.start < 1.0:
                return
            from tqdm.auto import tqdm

            self.bar = tqdm(total=1000, desc="diffboot", unit="‰", leave=False)
        self.bar.update(int(fraction * 1000) - self.bar.n)

    def close(self):
        if self.bar is not None:
            self.bar.close()


def analyse(x, y, paired=False, level=0.95, replications=1999, seed=None, measures=None, permutations=0,
            replicates=False, threads=None, progress=False, labels=None, method="bootstrap", quantiles=None):
    """Bootstrap intervals of the effect of y to x (differences x - y).

    x, y: one-dimensional real values (list, tuple, numpy array, masked
    array, pandas Series); NaN, masked values and pandas' NA are missing,
    left out and counted (paired: the pair). level: 0.5 to 0.999 (or 50 to
    99.9, '99%'). seed None: the program's fixed seed. measures: names, or
    'all'. permutations > 0 adds the p-values. replicates: keep each
    measure's replicates. threads None: every core. progress: a bar for runs
    longer than a second. method "poisson": the Poisson bootstrap of
    diffboot.distributed on one machine (rows keyed by position; measures
    d_AVE, d_STD, g, lift; paired AVE_d, g, lift; no p-values). quantiles:
    probabilities strictly between 0 and 1 (at most 9), each adding a
    quantile measure (d_Q90, or paired Q90_d, for 0.9) that measures may
    name. Raises Error on input the analysis cannot take, TypeError on
    values of a wrong type.
    """
    options, interval = _options(paired, level, replications, seed, measures, permutations, replicates, threads,
                                 quantiles, method)
    if labels is None:
        labels = (_label(x, "x"), _label(y, "y"))
    xs, ys = _values(x, "x"), _values(y, "y")
    run = _core.poisson_analyse if method == "poisson" else _core.analyse
    core = _watched(lambda bar: run(xs, ys, options, bar), progress)
    return Result(core, labels, interval, method=method, samples=(xs, ys), quantiles=options.quantiles)


def _watched(run, progress):
    """run(bar) with a progress bar when asked for, closed however the run ends."""
    bar = _Bar() if progress else None
    try:
        return run(bar)
    finally:
        if bar is not None:
            bar.close()
