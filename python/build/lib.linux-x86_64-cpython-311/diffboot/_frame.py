"""Two samples from a pandas DataFrame by the rules of the program's --table.

Wide form: two columns (paired: the rows are the pairs, a row with a missing
cell left out whole). Long form: the rows of two groups of the column `by`,
their values in `value` (or the other of two columns); paired, the groups'
rows in order or, with `id`, the rows of one id (an id in one group only
pairs with nothing and is counted missing). Empty cells, NaN, NA and the
texts NA, NaN, null are missing; any other cell that is not a number is an
Error naming the column, the row and the cell.
"""

import math
import numbers

import numpy as np

_MISSING_TEXTS = {"", "na", "nan", "null"}


def _column(df, name, kind="column"):
    if name not in df.columns:
        from . import Error

        raise Error("the frame has no %s %r (its columns: %s)" % (kind, name, ", ".join(map(str, df.columns))))
    return df[name]


def _cell_value(column, row, cell):
    """A cell as a number, or NaN when missing."""
    if cell is None or cell is np.nan:
        return math.nan
    if isinstance(cell, numbers.Real) and not isinstance(cell, (bool, np.bool_)):
        return float(cell)
    try:
        import pandas as pd

        if cell is pd.NA or cell is pd.NaT:
            return math.nan
    except ImportError:
        pass
    if isinstance(cell, str):
        text = cell.strip()
        if text.lower() in _MISSING_TEXTS:
            return math.nan
        try:
            value = float(text)
            if math.isfinite(value) or text.lower().lstrip("+-") in ("inf", "infinity"):
                return value
        except ValueError:
            pass
    from . import Error

    raise Error("the column %r, row %r: %r is not a number" % (column, row, cell))


def _numbers(series):
    """A column's cells as float64, missing ones NaN."""
    if series.dtype.kind in "iuf":
        return series.to_numpy(dtype=np.float64)
    if series.dtype.kind == "b":
        from . import Error

        raise Error("the column %r holds truth values, not numbers" % (series.name,))
    try:
        return series.to_numpy(dtype=np.float64, na_value=np.nan)
    except (TypeError, ValueError):
        return np.array([_cell_value(series.name, row, cell) for row, cell in series.items()], dtype=np.float64)


def _key(cell):
    """A group's or an id's cell as the program compares it: its text without the blanks around it."""
    if isinstance(cell, float) and cell.is_integer():
        cell = int(cell)
    return str(cell).strip()


def _long_form(df, by, groups, value, id, paired):
    from . import Error

    if len(groups) != 2:
        raise Error("groups must name two groups of the column %r" % (by,))
    by_column = _column(df, by)
    if value is None:
        if len(df.columns) != 2:
            raise Error("the frame has %d columns: name the values with value=COLUMN" % len(df.columns))
        value = df.columns[1] if df.columns[0] == by else df.columns[0]
    values = _numbers(_column(df, value))
    keys = [_key(c) for c in by_column]
    ids = [_id(c) for c in _column(df, id)] if paired and id is not None else None
    rows = [[i for i, k in enumerate(keys) if k == _key(g)] for g in groups]
    if not paired:
        return values[rows[0]], values[rows[1]], (0, 0, 0)
    if ids is None:
        n = max(len(rows[0]), len(rows[1]))
        pick = lambda r, i: values[r[i]] if i < len(r) else math.nan
        absent = (n - len(rows[0]), n - len(rows[1]), 0)
        return (np.array([pick(rows[0], i) for i in range(n)]), np.array([pick(rows[1], i) for i in range(n)]),
                absent)
    # The pairs in the order the frame first names their ids; a row without
    # an id pairs with nothing.
    order, slots, without_id = {}, [], 0
    member = {i: k for k in (0, 1) for i in rows[k]}
    for i in sorted(member):
        k = member[i]
        if ids[i] is None:
            without_id += 1
            continue
        if ids[i] not in order:
            order[ids[i]] = len(slots)
            slots.append([None, None])
        slot = slots[order[ids[i]]]
        if slot[k] is not None:
            raise Error("the frame has the id %r twice in the group %r (rows %r and %r)"
                        % (ids[i], groups[k], df.index[slot[k]], df.index[i]))
        slot[k] = i
    take = lambda i: math.nan if i is None else values[i]
    absent = (sum(a is None for a, _ in slots), sum(b is None for _, b in slots), without_id)
    return np.array([take(a) for a, _ in slots]), np.array([take(b) for _, b in slots]), absent


def _id(cell):
    """An id's key, or None for an empty or NA cell (a row without an id)."""
    if cell is None or cell is pd_na() or (isinstance(cell, float) and math.isnan(cell)):
        return None
    key = _key(cell)
    return None if key in ("", "NA") else key


def pd_na():
    import pandas as pd

    return pd.NA


def analyse_frame(df, columns=None, by=None, groups=None, value=None, id=None, **options):
    """analyse() of two columns (columns=(a, b)) or two groups (by=, groups=(g1, g2)) of a DataFrame.

    The same rules and numbers as the program's --table; the labels are the
    columns or the groups. Other keyword arguments are analyse()'s.
    """
    from . import Error, analyse

    paired = options.get("paired", False)
    if (columns is None) == (by is None):
        raise Error("name either columns=(A, B) or by=COLUMN with groups=(G1, G2)")
    if columns is not None:
        if isinstance(columns, str) or len(columns) != 2:
            raise Error("columns must name two columns")
        x, y = (_numbers(_column(df, c)) for c in columns)
        labels = tuple(str(c) for c in columns)
    else:
        if groups is None or isinstance(groups, str):
            raise Error("groups must name two groups of the column %r" % (by,))
        groups = tuple(groups)
        x, y, absent = _long_form(df, by, groups, value, id, paired)
        labels = tuple(str(g) for g in groups)
        options["_absent"] = absent
    options.setdefault("labels", labels)
    return analyse(x, y, **options)
