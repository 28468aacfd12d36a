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


def _text(cell, column, row, values):
    """An object cell as the library reads it: a number's exact text, or the cell's text."""
    if isinstance(cell, (bool, np.bool_)):
        if values:
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


def _cells(series, values):
    """(cells, mask) of a column: float64 or a list of texts, and its missing cells (or None).

    values: the column holds a sample's values (not groups or ids), whose
    cells must be numbers or texts of numbers.
    """
    import pandas as pd

    from . import _missing_cell

    dtype = series.dtype
    if pd.api.types.is_bool_dtype(dtype):
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
    texts = ["" if m else _text(c, series.name, row, values) for c, m, row in zip(cells, mask, series.index)]
    return texts, mask


def _key(group):
    """A group as the library matches it: its text, or a number's exact text."""
    if isinstance(group, (bool, np.bool_)) or not isinstance(group, numbers.Real):
        return str(group)
    if isinstance(group, numbers.Integral):
        return str(int(group))
    return repr(float(group)) if math.isfinite(group) else str(group)


def analyse_frame(df, columns=None, by=None, groups=None, value=None, id=None, **options):
    """analyse() of two columns or two groups of a pandas DataFrame.

    The same rules and numbers as the program's --table: the library pairs
    the rows, matches the groups, reads texts as numbers and counts what it
    leaves out.

    Parameters
    ----------
    df : pandas.DataFrame
    columns : tuple of two column names, optional
        The wide form: the values of two columns (paired: each row a pair).
    by : column name, optional
        The long form: the column of the groups.
    groups : tuple of two groups, optional
        With ``by``: the groups compared, the first as x.
    value : column name, optional
        With ``by``: the column of the values; by default the other column
        of a two-column frame.
    id : column name, optional
        With ``by`` and ``paired=True``: the column whose values pair the
        rows.
    **options
        analyse()'s keyword arguments (paired, level, replications, seed,
        measures, ..., and scipy's names confidence_level, n_resamples).

    Returns
    -------
    Result
        Labelled by the columns or the groups unless ``labels=`` is given.

    Raises
    ------
    Error
        A frame or options the analysis cannot take, with the program's
        message (a group the column does not hold lists its groups).
    TypeError
        Cells or options of a wrong type.

    Examples
    --------
    >>> import pandas as pd, diffboot
    >>> df = pd.DataFrame({"arm": ["a"] * 4 + ["b"] * 4, "v": [5.1, 4.8, 6.0, 5.5, 4.2, 4.9, 4.4, 4.0]})
    >>> diffboot.analyse_frame(df, by="arm", groups=("a", "b"), value="v").labels
    ('a', 'b')
    """
    from . import Error, Result, _aliases, _options, _watched

    paired = options.pop("paired", False)
    labels = options.pop("labels", None)
    progress = options.pop("progress", False)
    method = options.get("method", "bootstrap")
    known = _analyse_defaults(options)
    known["level"], known["replications"] = _aliases(options, known["level"], known["replications"])
    o, interval = _options(paired, **known)
    if (columns is None) == (by is None):
        raise Error("name either columns=(A, B) or by=COLUMN with groups=(G1, G2)")
    if columns is not None:
        if isinstance(columns, str) or len(columns) != 2:
            raise Error("columns must name two columns")
        cells = [(str(c),) + _cells(_column(df, c), True) for c in columns]
        samples = _core.frame_columns(*cells[0], *cells[1], bool(paired))
    else:
        if groups is None or isinstance(groups, str) or len(groups) != 2:
            raise Error("groups must name two groups of the column %r" % (by,))
        if value is None:
            if len(df.columns) != 2:
                raise Error("the frame has %d columns: name the values with value=COLUMN" % len(df.columns))
            value = df.columns[1] if df.columns[0] == by else df.columns[0]
        by_cells = _cells(_column(df, by), False)
        value_cells = _cells(_column(df, value), True)
        id_cells = _cells(_column(df, id), False) if id is not None else (None, None)
        samples = _core.frame_groups(str(by), *by_cells, str(value), *value_cells, str(id), *id_cells,
                                     (_key(groups[0]), _key(groups[1])), bool(paired))
    if labels is None:
        labels = tuple(str(c) for c in columns) if columns is not None else tuple(str(g) for g in groups)
    if method == "poisson":
        run = lambda bar: _core.poisson_analyse(samples.x, samples.y, o, bar)
    else:
        run = lambda bar: _core.analyse_samples(samples, o, bar)
    core = _watched(run, progress)
    return Result(core, labels, interval, method=method, samples=(samples.x, samples.y), quantiles=o.quantiles,
                  counts=samples)


def _analyse_defaults(options):
    """analyse()'s keyword arguments but paired, labels and progress, with its defaults (scipy's names left in
    `options` for _aliases)."""
    import inspect

    from . import analyse

    known = {name: p.default for name, p in inspect.signature(analyse).parameters.items()
             if p.default is not inspect.Parameter.empty and name not in ("paired", "labels", "progress")}
    unknown = set(options) - set(known) - {"n_resamples", "confidence_level"}
    if unknown:
        raise TypeError("analyse_frame() got unexpected keyword arguments: %s" % ", ".join(sorted(unknown)))
    known.update((k, v) for k, v in options.items() if k in known)
    return known
