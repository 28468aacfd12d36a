"""Two samples from a pandas DataFrame, by the library's rules for tables.

This module only hands the frame's columns to the library: numeric columns
as float64 (NaN, NA and masked cells missing), other columns as texts with a
mask of their missing cells. The library pairs, matches groups, reads texts
as numbers and counts what it leaves out, as the program does for --table.
"""

import math
import numbers

import numpy as np

from . import _core


def _column(df, name, kind="column"):
    from . import Error

    matches = int(np.count_nonzero(np.asarray(df.columns == name)))
    if matches == 0:
        raise Error("the frame has no %s %r (its columns: %s)" % (kind, name, ", ".join(map(str, df.columns))))
    if matches > 1:
        raise Error("the frame has %d columns named %r: name columns that are unique" % (matches, name))
    return df[name]


def _text(cell, column, row, values, outcomes=False):
    """An object cell as the library reads it: a number's exact text, or the cell's text (True of outcomes as
    "True", which the library reads as 1)."""
    if isinstance(cell, (bool, np.bool_)):
        if values and not outcomes:
            raise TypeError("the column %r, row %r: %r is a truth value, not a number" % (column, row, cell))
        return str(cell)
    if isinstance(cell, numbers.Integral):
        return str(int(cell))
    if isinstance(cell, numbers.Real):
        return repr(float(cell))
    if isinstance(cell, str):
        return cell
    if values:
        raise TypeError("the column %r, row %r: %r is not a number" % (column, row, cell))
    return str(cell)


def _cells(series, values, outcomes=False):
    """(cells, mask) of a column: float64 or a list of texts, and its missing cells (or None).

    values: the column holds a sample's values (not groups or ids), whose
    cells must be numbers or texts of numbers; outcomes: 0/1 values, truth
    values among them (a bool column as 1 and 0, pandas' NA missing).
    """
    import pandas as pd

    from . import _missing_cell

    dtype = series.dtype
    if pd.api.types.is_bool_dtype(dtype):
        if values and outcomes:
            return series.to_numpy(dtype=np.float64, na_value=np.nan), None
        if values:
            from . import Error

            raise Error("the column %r holds truth values, not numbers" % (series.name,))
    elif pd.api.types.is_numeric_dtype(dtype) and not pd.api.types.is_complex_dtype(dtype):
        return series.to_numpy(dtype=np.float64, na_value=np.nan), None
    elif values and (pd.api.types.is_datetime64_any_dtype(dtype) or pd.api.types.is_timedelta64_dtype(dtype)
                     or pd.api.types.is_complex_dtype(dtype)):
        raise TypeError("the column %r holds %s, not numbers" % (series.name, dtype))
    cells = series.astype(object).tolist()
    mask = np.fromiter((_missing_cell(c) for c in cells), dtype=np.uint8, count=len(cells))
    texts = ["" if m else _text(c, series.name, row, values, outcomes) for c, m, row in zip(cells, mask, series.index)]
    return texts, mask


def _key(group):
    """A group as the library matches it: its text, or a number's exact text."""
    if isinstance(group, (bool, np.bool_)) or not isinstance(group, numbers.Real):
        return str(group)
    if isinstance(group, numbers.Integral):
        return str(int(group))
    if not math.isfinite(group):
        return str(group)
    text = repr(float(group))  # the shortest that reads back as the same number; 2.0 as "2"
    return text[:-2] if text.endswith(".0") else text


def analyse_frame(df, columns=None, by=None, groups=None, value=None, id=None, control=None, sequential=False,
                  cluster=None, **options):
    """analyse() of two columns or two groups of a pandas DataFrame, or of several groups.

    The same rules and numbers as the program's --table: the library pairs
    the rows, matches the groups, reads texts as numbers and counts what it
    leaves out. With ``control=`` or ``sequential=True``, several groups of
    ``by`` are compared, each comparison the run of its two groups alone
    (the program's --control and --sequential).

    Parameters
    ----------
    df : pandas.DataFrame
    columns : tuple of two column names, optional
        The wide form: the values of two columns (paired: each row a pair).
    by : column name, optional
        The long form: the column of the groups.
    groups : tuple of groups, optional
        With ``by``: the two groups compared, the first as x. With
        ``control`` or ``sequential``: the groups compared with the control,
        or the sequence in order; by default every group of ``by`` (a
        categorical's categories in order, else sorted), the control left
        out.
    value : column name, optional
        With ``by``: the column of the values; by default the other column
        of a two-column frame.
    id : column name, optional
        With ``by`` and ``paired=True``: the column whose values pair the
        rows (several groups: each comparison pairs the ids present in both
        of its groups).
    control : group, optional
        With ``by``: the control; each group is compared with it (x = the
        group, y = the control).
    sequential : bool, default False
        With ``by``: each group against the one before it (G1 - G0,
        G2 - G1, ...). With permutations, each measure's p-values are
        adjusted across the comparisons by Holm's method (``p_holm``).
    cluster : column name, optional
        With ``by`` (unpaired, two groups): the column naming each row's
        cluster (a user); the cluster bootstrap draws users, not rows, as
        the program's --cluster. A row whose cluster is missing is left
        out and counted (``no_cluster_x``, ``no_cluster_y``).
    **options
        analyse()'s keyword arguments (paired, level, replications, seed,
        measures, ..., and scipy's names confidence_level, n_resamples).

    Returns
    -------
    Result or Comparisons
        A Result labelled by the columns or the groups unless ``labels=``
        is given; of several groups, Comparisons: a Result a comparison.

    Raises
    ------
    Error
        A frame or options the analysis cannot take, with the program's
        message (a group the column does not hold lists its groups; a
        group named twice, one group only, the control among the others,
        control= with sequential=True).
    TypeError
        Cells or options of a wrong type.

    Examples
    --------
    >>> import pandas as pd, diffboot
    >>> df = pd.DataFrame({"arm": ["a"] * 4 + ["b"] * 4, "v": [5.1, 4.8, 6.0, 5.5, 4.2, 4.9, 4.4, 4.0]})
    >>> diffboot.analyse_frame(df, by="arm", groups=("a", "b"), value="v").labels
    ('a', 'b')
    >>> chicks = pd.DataFrame({"feed": ["casein"] * 4 + ["soybean"] * 4 + ["linseed"] * 4,
    ...                        "weight": [368, 390, 379, 260, 243, 230, 248, 327, 309, 229, 181, 141]})
    >>> diffboot.analyse_frame(chicks, by="feed", value="weight", control="casein", replications=199).names
    ['linseed - casein', 'soybean - casein']
    """
    from . import Error, Result, _aliases, _options, _watched
    from ._groups import check_design

    several = control is not None or sequential is not False
    design = check_design(control, sequential) if several else None
    paired = options.pop("paired", False)
    labels = options.pop("labels", None)
    progress = options.pop("progress", False)
    method = options.get("method", "bootstrap")
    known = _analyse_defaults(options)
    if _truth_column(df, columns, by, value):
        known["proportions"] = True  # truth values are outcomes
    known["level"], known["replications"] = _aliases(options, known["level"], known["replications"])
    o, interval = _options(paired, **known)
    if cluster is not None and (by is None or columns is not None):
        raise Error("cluster= groups the rows of a long frame: it goes with by=COLUMN")
    if cluster is not None and several:
        raise Error("cluster= is for a run of two groups, not for the comparisons of control= or sequential=")
    if several:
        if by is None or columns is not None:
            raise Error("control= and sequential= compare groups of a column: name it with by=COLUMN")
        return _several_groups(df, by, value, id, control, groups, design, paired, o, interval,
                               (labels, progress, method))
    if (columns is None) == (by is None):
        raise Error("name either columns=(A, B) or by=COLUMN with groups=(G1, G2)")
    if columns is not None:
        if isinstance(columns, str) or len(columns) != 2:
            raise Error("columns must name two columns")
        cells = [(str(c),) + _cells(_column(df, c), True, o.proportions) for c in columns]
        samples = _core.frame_columns(*cells[0], *cells[1], bool(paired), o.proportions)
    else:
        if groups is None or isinstance(groups, str) or len(groups) != 2:
            raise Error("groups must name two groups of the column %r" % (by,))
        value = _value_column(df, by, value)
        by_cells = _cells(_column(df, by), False)
        value_cells = _cells(_column(df, value), True, o.proportions)
        id_cells = _cells(_column(df, id), False) if id is not None else (None, None)
        keys = (_key(groups[0]), _key(groups[1]))
        if cluster is not None:  # the library numbers the keys, counts the missing ones and refuses what it must
            cluster_cells = _cells(_column(df, cluster), False)
            o.clusters = _core.frame_clusters(str(by), *by_cells, str(value), *value_cells, str(cluster),
                                              *cluster_cells, keys, bool(paired))
            if method == "poisson":
                raise Error("cluster= is not part of the Poisson bootstrap (method='poisson')")
        samples = _core.frame_groups(str(by), *by_cells, str(value), *value_cells, str(id), *id_cells, keys,
                                     bool(paired), o.proportions)
    if labels is None:
        labels = tuple(str(c) for c in columns) if columns is not None else tuple(str(g) for g in groups)
    if method == "poisson":
        run = lambda bar: _core.poisson_analyse(samples.x, samples.y, o, bar)
    else:
        run = lambda bar: _core.analyse_samples(samples, o, bar)
    core = _watched(run, progress)
    return Result(core, labels, interval, method=method, samples=(samples.x, samples.y), quantiles=o.quantiles,
                  counts=samples, cluster=None if cluster is None else str(cluster))


def _truth_column(df, columns, by, value):
    """Whether a column of the values (those of columns=, or value=, or the other of two) holds truth values,
    which imply proportions."""
    from . import _truth_values

    if columns is not None and not isinstance(columns, str):
        names = list(columns)
    elif value is not None:
        names = [value]
    else:
        names = [c for c in df.columns if by is not None and c != by][:1] if len(df.columns) == 2 else []
    return any(int(np.count_nonzero(np.asarray(df.columns == n))) == 1 and _truth_values(df[n]) for n in names)


def _value_column(df, by, value):
    """The column of the values: value, or the other column of a two-column frame."""
    from . import Error

    if value is None:
        if len(df.columns) != 2:
            raise Error("the frame has %d columns: name the values with value=COLUMN" % len(df.columns))
        value = df.columns[1] if df.columns[0] == by else df.columns[0]
    return value


def _present_groups(series):
    """The groups a column holds: a categorical's categories present, in order; else sorted (as found when they
    do not sort)."""
    import pandas as pd

    if isinstance(series.dtype, pd.CategoricalDtype):
        found = set(series.dropna().unique())
        return [g for g in series.cat.categories if g in found]
    found = list(pd.unique(series.dropna()))
    try:
        return sorted(found)
    except TypeError:
        return found


def _several_groups(df, by, value, id, control, groups, design, paired, o, interval, two_sample_options):
    """Comparisons of several groups of `by` by the library's rule, each comparison's samples kept for its figure."""
    from ._groups import Comparisons, group_names, refuse_two_sample_options, results_of

    refuse_two_sample_options(*two_sample_options, "several groups")
    value = _value_column(df, by, value)
    by_series = _column(df, by)
    names = group_names(control, groups, lambda: _present_groups(by_series))
    keys = [_key(g) for g in names]
    cells = [(str(by),) + _cells(by_series, False), (str(value),) + _cells(_column(df, value), True, o.proportions),
             (str(id),) + (_cells(_column(df, id), False) if id is not None else (None, None))]
    args = [a for c in cells for a in c]
    comparisons = _core.frame_analyse_groups(*args, keys, design, o)

    def samples_of(c):
        s = _core.frame_groups(*args, (keys[c.x], keys[c.y]), bool(paired), o.proportions)
        return (s.x, s.y), None

    results = results_of(comparisons, keys, samples_of, interval, o.quantiles, stacklevel=4)
    data = df[[c for c in (by, value, id) if c is not None]]
    return Comparisons(results, design.name, keys, o, interval, data=data, by=by, value=value,
                       id=id, columns=cells)


def _analyse_defaults(options, caller="analyse_frame"):
    """analyse()'s keyword arguments but paired, labels and progress, with its defaults (scipy's names left in
    `options` for _aliases)."""
    import inspect

    from . import analyse

    known = {name: p.default for name, p in inspect.signature(analyse).parameters.items()
             if p.default is not inspect.Parameter.empty and name not in ("paired", "labels", "progress", "clusters")}
    unknown = set(options) - set(known) - {"n_resamples", "confidence_level"}
    if unknown:
        raise TypeError("%s() got unexpected keyword arguments: %s" % (caller, ", ".join(sorted(unknown))))
    known.update((k, v) for k, v in options.items() if k in known)
    return known
