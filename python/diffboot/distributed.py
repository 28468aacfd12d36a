"""The Poisson bootstrap on Dask: the graph over the library's sums.

``analyse(x, y)`` takes dask arrays or dask Series, ``analyse_frame(df, ...)``
a dask DataFrame; both run on the current Dask client (or Dask's local
scheduler without one) and return the package's ``Result`` with
``method == "poisson"``. Every number comes from the library: each
partition's summary, then its weighted sums per replicate (keyed by the
hashed ``id`` or by the row's position), the sums added in partition order
in a fixed tree, and the results from the whole sums. The same seed gives
the same numbers on any number of workers and partitions.
"""

import numpy as np
import pandas as pd

from . import Error, Result, _core, _options

__all__ = ["analyse", "analyse_frame"]


def _floats(values, name):
    """A partition's values as a contiguous float64 array (NaN: missing)."""
    if isinstance(values, (pd.Series, pd.Index)):
        if values.dtype == object or not (pd.api.types.is_numeric_dtype(values.dtype)) \
                or pd.api.types.is_bool_dtype(values.dtype):
            raise TypeError("%s must hold real numbers, not %s" % (name, values.dtype))
        values = values.to_numpy(dtype=np.float64, na_value=np.nan)
    a = np.asarray(values)
    if a.ndim != 1:
        raise Error("%s has %d dimensions: the values must be one-dimensional" % (name, a.ndim))
    if a.dtype.kind not in "iuf":
        raise TypeError("%s must hold real numbers, not %s" % (name, a.dtype))
    return np.ascontiguousarray(a, dtype=np.float64)


def _zero_one(values, name):
    """A partition's 0/1 outcomes as float64 (truth values as 1 and 0, NA missing); any other value an Error."""
    if isinstance(values, (pd.Series, pd.Index)) and pd.api.types.is_bool_dtype(values.dtype):
        values = values.to_numpy(dtype=np.float64, na_value=np.nan)
    elif isinstance(values, np.ndarray) and values.dtype == bool:
        values = values.astype(np.float64)
    a = _floats(values, name)
    bad = ~(np.isnan(a) | (a == 0.0) | (a == 1.0))
    if bad.any():
        raise Error("%s holds %r, which is not 0 or 1 (proportions=True)" % (name, float(a[bad][0])))
    return a


def _outcomes(part, name, paired):
    """A part of 0/1 outcomes as the Poisson tasks take values: each sample's values checked and as float64."""
    if paired:
        (x, ids), (y, other) = part
        return (_zero_one(x, name[0]), ids), (_zero_one(y, name[1]), other)
    values, ids = part
    return _zero_one(values, name), ids


def _truth_values(*columns):
    """Whether a dask column or array holds truth values, which imply proportions."""
    return any(pd.api.types.is_bool_dtype(getattr(c, "dtype", None)) for c in columns)


_MISSING_IDS = ("", "NA", "NAN", "NULL")


def _texts(ids):
    """Ids as texts, from a copy: pandas' astype(str) can write into an object
    array it did not allocate (a partition as a worker receives it)."""
    return pd.Series(np.array(ids.to_numpy(dtype=object), dtype=object, copy=True)).astype(str)


def _id_missing(ids):
    """Where a partition's ids are missing: NA, NaN, or an empty or NA text (the tables' rule)."""
    ids = pd.Series(ids)
    missing = ids.isna().to_numpy()
    if ids.dtype == object or pd.api.types.is_string_dtype(ids.dtype):
        texts = _texts(ids).str.strip().str.upper()
        missing = missing | texts.isin(_MISSING_IDS).to_numpy()
    return missing


def _keys(ids):
    """Row keys from ids, by value: 7, 7.0 and "7" are one id, in every process and run."""
    if ids is None:
        return None
    ids = pd.Series(ids).reset_index(drop=True)
    if pd.api.types.is_bool_dtype(ids.dtype) or not pd.api.types.is_numeric_dtype(ids.dtype):
        texts = _texts(ids.astype(object).where(~_id_missing(ids), "")).str.strip()
        numbers = pd.to_numeric(texts, errors="coerce")
    else:
        texts = None
        numbers = pd.Series(ids.to_numpy(dtype=np.float64, na_value=np.nan))
    # A number's key is its double's hash (+0 for -0), a text's its hash as text.
    by_number = pd.util.hash_pandas_object(numbers.fillna(0.0) + 0.0, index=False).to_numpy()
    if texts is None:
        keys = by_number
    else:
        keys = np.where(numbers.notna().to_numpy(), by_number,
                        pd.util.hash_pandas_object(texts, index=False).to_numpy())
    return np.ascontiguousarray(keys, dtype=np.uint64)


def _key_frame(part, name, paired):
    """A partition's row keys that name a row (missing ids left out), for the check of duplicates."""
    ids = part[0][1] if paired else part[1]
    keys = _keys(ids)
    return pd.DataFrame({"key": keys[~_id_missing(ids)]})


# The tasks: each takes a partition (a pandas object or a numpy array) and
# what it needs of the run; a "part" is (values, ids or None) of one sample.

def _part_values(part, name, paired):
    """The values and ids of one sample in a partition: paired, x - y. A
    row whose id is missing is left out and counted, as a missing value."""
    if paired:
        (x, ids), (y, _) = part
        x, y = _floats(x, name[0]), _floats(y, name[1])
        if len(x) != len(y):
            raise Error("a paired experiment needs partitions of equal size, but one holds %d and %d values"
                        % (len(x), len(y)))
        values = np.where(np.isnan(x) | np.isnan(y), np.nan, x - y)
    else:
        values, ids = part
        values = _floats(values, name)
    if ids is not None:
        values = np.where(_id_missing(ids), np.nan, values)
    return values, ids


def _counts(part, name, paired):
    """(missing x, missing y, pairs left out) of a paired partition, as the program counts them."""
    if not paired:
        return 0, 0, 0
    (x, ids), (y, _) = part
    x, y = _floats(x, name[0]), _floats(y, name[1])
    dropped = np.isnan(x) | np.isnan(y)
    if ids is not None:
        dropped = dropped | _id_missing(ids)
    return int(np.isnan(x).sum()), int(np.isnan(y).sum()), int(dropped.sum())


def _summary(part, name, paired, sample):
    values, _ = _part_values(part, name, paired)
    return _core.poisson_summary(values, sample + 1), _counts(part, name, paired)


def _sums(part, name, paired, sample, first_position, frame, seed, replications):
    values, ids = _part_values(part, name, paired)
    return _core.poisson_sums(values, _keys(ids), first_position, frame, seed, replications, sample)


def _halves(part, name):
    """The differences and second halves of the pairs of a partition."""
    d, ids = _part_values(part, name, True)
    return d, _floats(part[1][0], name[1]), ids


def _second_summary(part, name):
    d, y, _ = _halves(part, name)
    return _core.poisson_second_summary(d, y)


def _second_sums(part, name, first_position, frames, seed, replications):
    d, y, ids = _halves(part, name)
    return _core.poisson_second_sums(d, y, _keys(ids), first_position, frames[0], frames[1], seed, replications)


def _merge(a, b):
    return a.merged(b)


def _tree(items, merge):
    """items added pairwise, neighbours first, in a tree fixed by their number."""
    import dask

    while len(items) > 1:
        items = [dask.delayed(merge)(items[k], items[k + 1]) if k + 1 < len(items) else items[k]
                 for k in range(0, len(items), 2)]
    return items[0]


def _compute(*objects, retries):
    import dask

    try:
        from distributed import default_client

        default_client()
    except (ImportError, ValueError):
        return dask.compute(*objects)
    return dask.compute(*objects, retries=retries)


def _run(samples, names, paired, level, replications, seed, measures, replicates, labels, retries, ids=False,
         absent=None, proportions=False):
    """The two passes over samples (one delayed part a partition, per sample).

    absent(k): called when sample k has no rows at all (a group the frame
    does not hold), to raise the library's message for it. proportions:
    the values are 0/1 outcomes, checked in each part.
    """
    import dask

    if proportions is True:
        samples = [[dask.delayed(_outcomes)(p, names[k], paired) for p in parts] for k, parts in enumerate(samples)]
        if measures is None or measures == "all":  # the library's default, named: a paired lift needs its halves
            measures = ["PROP_d" if paired else "d_PROP", "lift"]
    options, interval = _options(paired, level, replications, seed, measures, 0, replicates, None, None, "poisson",
                                 "grid", proportions)
    replications, seed, measures = options.replications, options.seed, options.measures
    # A paired lift weighs the pairs' second halves by their differences' counts.
    halves = paired and "lift" in measures
    summaries = [[dask.delayed(_summary)(p, names[k], paired, k) for p in parts] for k, parts in enumerate(samples)]
    if halves:
        summaries.append([dask.delayed(_second_summary)(p, names[0]) for p in samples[0]])
    duplicates = [_duplicates(parts, names[k], paired) for k, parts in enumerate(samples)] if ids else []
    computed = _compute(*[s for parts in summaries for s in parts], *duplicates, retries=retries)
    for k, twice in enumerate(computed[len(computed) - len(duplicates):]):
        if twice:
            raise Error("the ids of %s name a row twice: an id names one row (pairs), or a cluster of rows "
                        "that the Poisson bootstrap here does not draw as one" % (labels[k],))
    whole, frames, offsets, counts, at = [], [], [], [], 0
    for k, parts in enumerate(summaries):
        mine = computed[at:at + len(parts)]
        at += len(parts)
        if k < len(samples):
            counts.append(np.sum([c for _, c in mine], axis=0))
            mine = [s for s, _ in mine]
        total = mine[0]
        for s in mine[1:]:
            total = total.merged(s)
        whole.append(total)
        frames.append(total.frame())
        offsets.append(np.concatenate([[0], np.cumsum([s.n for s in mine])[:-1]]).astype(np.uint64))
    for k, total in enumerate(whole[:len(samples)]):
        if total.n == 0 and total.missing == 0 and absent is not None:
            absent(k)
        if total.n == 0:
            raise Error("sample %d has no values" % (k + 1))
    sums = []
    for k, parts in enumerate(samples):
        partial = [dask.delayed(_sums)(p, names[k], paired, k, int(offsets[k][i]), frames[k], seed, replications)
                   for i, p in enumerate(parts)]
        sums.append(_tree(partial, _merge))
    if halves:  # keyed as the differences: the same offsets
        partial = [dask.delayed(_second_sums)(p, names[0], int(offsets[0][i]), frames, seed, replications)
                   for i, p in enumerate(samples[0])]
        sums.append(_tree(partial, _merge))
    sums = _compute(*sums, retries=retries)
    second = sums[1] if len(sums) > 1 else None
    result = Result(_core.poisson_results(sums[0], second, options), labels, interval, method="poisson")
    if paired:  # missing cells of each column and the pairs they leave out, as --poisson counts them
        result.missing_x, result.missing_y, result.pairs_dropped = (int(c) for c in counts[0])
    return result


def _duplicates(parts, name, paired):
    """Whether a key names two rows of a sample: a hash-partitioned count of the keys."""
    import dask
    import dask.dataframe as dd

    keys = dd.from_delayed([dask.delayed(_key_frame)(p, name, paired) for p in parts],
                           meta=pd.DataFrame({"key": np.array([], dtype=np.uint64)}), verify_meta=False)
    return (keys["key"].value_counts(split_out=max(1, len(parts) // 8)) > 1).any()


def _partitions(v, name):
    """The delayed partitions of a dask Series or one-dimensional dask array."""
    import dask.array as da
    import dask.dataframe as dd

    if isinstance(v, dd.Series):
        return list(v.to_delayed())
    if isinstance(v, da.Array):
        if v.ndim != 1:
            raise Error("%s has %d dimensions: the values must be one-dimensional" % (name, v.ndim))
        return list(v.to_delayed().ravel())
    raise TypeError("%s must be a dask Series or a one-dimensional dask array, not %s" % (name, type(v).__name__))


def _without_ids(part):
    return part, None


def _with_ids(parts):
    import dask

    return [dask.delayed(_without_ids)(p) for p in parts]


def analyse(x, y, paired=False, level=0.95, replications=1999, seed=None, measures=None, replicates=False,
            labels=None, retries=2, proportions=False):
    """The Poisson bootstrap of the effect of y to x (differences x - y).

    Parameters
    ----------
    x, y : dask Series or one-dimensional dask arrays
        Rows keyed by their position among the sample's values (paired:
        partitioned alike, pairs by position). NaN is missing, left out and
        counted.
    paired, level, replications, seed, measures, replicates, labels
        As diffboot.analyse(); measures d_AVE, d_STD, g, lift (paired:
        AVE_d, g, lift).
    retries : int, default 2
        How often a failed partition is tried again on a distributed client.
    proportions : bool, default False
        The values are 0/1 outcomes (truth values imply it; any other value
        is an Error): d_PROP (paired PROP_d), the Poisson d_AVE of the 0/1
        values, and lift, their Poisson lift. Cohen's h is refused here:
        the Poisson bootstrap has no h; of 0/1 values the counts are all
        there is, and ``diffboot.analyse_counts`` of each sample's
        (successes, trials), two sums Dask computes, gives h.

    Returns
    -------
    Result
        The numbers of ``analyse(..., method="poisson")`` and the program's
        --poisson for the same values.

    Raises
    ------
    Error
        Input the analysis cannot take, with the library's message.
    TypeError
        x or y not a dask Series or array.

    Examples
    --------
    >>> import dask.array as da, numpy as np  # doctest: +SKIP
    >>> x = da.from_array(np.random.default_rng(1).normal(10, 2, 10**6), chunks=10**5)  # doctest: +SKIP
    >>> y = da.from_array(np.random.default_rng(2).normal(10.1, 2, 10**6), chunks=10**5)  # doctest: +SKIP
    >>> analyse(x, y, measures=["d_AVE", "lift"])  # doctest: +SKIP
    """
    if not isinstance(paired, (bool, np.bool_)):
        raise TypeError("paired must be True or False")
    proportions = True if _truth_values(x, y) else proportions
    px, py = _partitions(x, "x"), _partitions(y, "y")
    import dask.dataframe as dd

    # A dask Series is named by its column; a dask array's name is its key.
    labels = labels or tuple(str(v.name) if isinstance(v, dd.Series) and v.name is not None else default
                             for v, default in ((x, "x"), (y, "y")))
    if paired:
        if len(px) != len(py):
            raise Error("a paired experiment needs x and y in as many partitions, not %d and %d" % (len(px), len(py)))
        samples = [[pair for pair in zip(_with_ids(px), _with_ids(py))]]
        return _run(samples, [("x", "y")], True, level, replications, seed, measures, replicates, labels, retries,
                    proportions=proportions)
    return _run([_with_ids(px), _with_ids(py)], ["x", "y"], False, level, replications, seed, measures, replicates,
                labels, retries, proportions=proportions)


def _column(df, name):
    if name not in df.columns:
        raise Error("the frame has no column %r" % (name,))
    return df[name]


def _group(part, by, group, value, id):
    rows = part[part[by] == group]
    return rows[value], (rows[id] if id is not None else None)


def _pair(part, a, b, id, which):
    return part[a if which == 0 else b], (part[id] if id is not None else None)


def _absent_group(df, by, groups):
    """Raises the library's message for a group the column `by` does not hold: it lists the groups it holds."""
    from ._frame import _cells, _key

    seen = pd.Series(df[by].dropna().drop_duplicates().compute().tolist(), name=by)
    if seen.empty:
        return
    zeros = np.zeros(len(seen))
    _core.frame_groups(str(by), *_cells(seen, False), "value", zeros, None, "", None, None,
                       (_key(groups[0]), _key(groups[1])), False)


def analyse_frame(df, columns=None, by=None, groups=None, value=None, id=None, paired=False, level=0.95,
                  replications=1999, seed=None, measures=None, replicates=False, retries=2, proportions=False):
    """The Poisson bootstrap of two columns or two groups of a dask DataFrame.

    Parameters
    ----------
    df : dask.dataframe.DataFrame
    columns : tuple of two column names, optional
        Wide: the effect A - B; paired=True pairs the two columns of each row.
    by, groups, value : optional
        Long: the rows of groups G1 and G2 of the column ``by``, their values
        in ``value``.
    id : column name, optional
        Keys each row by its hashed id, so that neither the row order nor the
        partitioning changes its counts; without it rows are keyed by
        position.
    paired, level, replications, seed, measures, replicates, retries, proportions
        As analyse(); a bool or boolean column of the values implies
        proportions.

    Returns
    -------
    Result
        Labelled by the columns or the groups.

    Raises
    ------
    Error
        A frame or options the analysis cannot take; a group the frame does
        not hold is named as the library names it, with the groups it holds.

    Examples
    --------
    >>> import dask.dataframe as dd  # doctest: +SKIP
    >>> analyse_frame(dd.read_parquet("ab.parquet"), by="arm", groups=("B", "A"), value="revenue")  # doctest: +SKIP
    """
    import dask

    if (columns is None) == (by is None):
        raise Error("give either columns=(A, B) or by=COLUMN with groups=(G1, G2)")
    parts = list(df.to_delayed())
    if id is not None:
        _column(df, id)
    if columns is not None:
        a, b = columns
        _column(df, a), _column(df, b)
        proportions = True if _truth_values(df[a], df[b]) else proportions
        if paired:
            samples = [[(dask.delayed(_pair)(p, a, b, id, 0), dask.delayed(_pair)(p, a, b, id, 1)) for p in parts]]
            return _run(samples, [(a, b)], True, level, replications, seed, measures, replicates, (a, b), retries,
                        ids=id is not None, proportions=proportions)
        samples = [[dask.delayed(_pair)(p, a, b, id, k) for p in parts] for k in (0, 1)]
        return _run(samples, [a, b], False, level, replications, seed, measures, replicates, (a, b), retries,
                    ids=id is not None, proportions=proportions)
    if paired:
        raise Error("a long frame (by=) is unpaired here: pair the groups as two columns of one row")
    if groups is None or len(groups) != 2:
        raise Error("by=%r needs groups=(G1, G2)" % (by,))
    _column(df, by)
    if value is None:
        others = [c for c in df.columns if c not in (by, id)]
        if len(others) != 1:
            raise Error("by=%r needs value=COLUMN: the frame has %d other columns" % (by, len(others)))
        value = others[0]
    _column(df, value)
    proportions = True if _truth_values(df[value]) else proportions
    samples = [[dask.delayed(_group)(p, by, g, value, id) for p in parts] for g in groups]
    return _run(samples, [value, value], False, level, replications, seed, measures, replicates,
                tuple(str(g) for g in groups), retries, ids=id is not None,
                absent=lambda k: _absent_group(df, by, groups), proportions=proportions)
