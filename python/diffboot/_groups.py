"""Several groups in one run: each against a control, or each against the one
before it. The library decides the comparisons, checks the groups and adjusts
the p-values (Holm); this module hands it the groups and makes a Result of
each comparison, kept in a Comparisons sequence."""

import collections.abc
import numbers

import numpy as np

from . import _core


class Comparisons(collections.abc.Sequence):
    """The comparisons of several groups, in order: a Result each.

    ``results[0]`` or ``results["horsebean - casein"]`` is one comparison's
    Result (its ``comparison`` is its name; ``stopped`` says why it stopped,
    when its samples were too few, and it then has no measures).

    Attributes
    ----------
    design : str
        ``"control"`` (each group against the first) or ``"sequential"``
        (each against the one before it).
    groups : tuple of str
        The groups in the order compared, the control first.
    names : list of str
        The comparisons' names, ``"horsebean - casein"`` (x - y).
    stopped : dict
        The comparisons that stopped, by name, and why.
    data : pandas.DataFrame or None
        Of a frame: its columns ``by``, ``value`` and ``id`` (when given),
        as analysed.
    by, value, id : str or None
        Of a frame: the names of those columns.
    samples : dict of numpy arrays or None
        Of analyse_groups(): each group's values (float64, NaN missing) by name.
    options : diffboot._core.Options
        The options every comparison ran with; ``level`` the intervals' level.
    """

    def __init__(self, results, design, groups, options, level, data=None, by=None, value=None, id=None,
                 samples=None, columns=None):
        self._results = list(results)
        self.design = design
        self.groups = tuple(groups)
        self.options = options
        self.level = level
        self.data, self.by, self.value, self.id = data, by, value, id
        self.samples = samples
        self._columns = columns  # of a frame: the cells as the library took them (by, value, id)

    @property
    def names(self):
        return [r.comparison for r in self._results]

    @property
    def stopped(self):
        return {r.comparison: r.stopped for r in self._results if r.stopped is not None}

    def __len__(self):
        return len(self._results)

    def __getitem__(self, key):
        """The Result of a comparison by position, or by name ("horsebean - casein")."""
        if isinstance(key, str):
            for r in self._results:
                if r.comparison == key:
                    return r
            raise KeyError("%r is not a comparison of these results; they are %s" % (key, ", ".join(self.names)))
        if isinstance(key, slice):
            return self._results[key]
        return self._results[key]

    def to_frame(self, index=True):
        """The comparisons as one pandas DataFrame, a row per comparison and measure.

        Parameters
        ----------
        index : bool, default True
            Index the rows by (comparison, measure); False: a RangeIndex.

        Returns
        -------
        pandas.DataFrame
            A first column ``comparison``, then the columns of each
            Result.to_frame() (with ``p_holm`` when permutations were asked
            for): the program's csv for --control and --sequential. A
            comparison that stopped has no rows.
        """
        import pandas as pd

        frames = [r.to_frame(index=False) for r in self._results if r.stopped is None]
        if not frames:
            return pd.DataFrame(columns=["comparison", "measure"])
        frame = pd.concat(frames, ignore_index=True)
        if index:
            frame.index = pd.MultiIndex.from_arrays([frame["comparison"], frame["measure"]],
                                                    names=["comparison", "measure"])
        return frame

    def plot(self, path=None, ax=None, size=(7, 5), unit=None, value_name="value"):
        """The figure of --control and --sequential in matplotlib; saved to path (.svg, .png, .pdf) when given.

        Every group's values above; below, each comparison's first measure
        under its group, on one axis. See diffboot.plot.plot_groups.

        Returns
        -------
        matplotlib.figure.Figure
        """
        from .plot import plot_groups

        return plot_groups(self, path=path, ax=ax, size=size, unit=unit, value_name=value_name)

    def _head(self):
        against = ("against the control %s" % self.groups[0] if self.design == "control"
                   else "each against the one before it")
        return "%d comparisons of %d groups, %s" % (len(self), len(self.groups), against)

    def __repr__(self):
        blocks = [self._head()]
        for r in self._results:
            blocks.append("\n== %s ==\n%r" % (r.comparison, r))
        return "\n".join(blocks)

    def _repr_html_(self):
        import html

        return "<p>%s</p>%s" % (html.escape(self._head()), "".join(r._repr_html_() for r in self._results))


def check_design(control, sequential):
    """The library's Design of control= and sequential=; an Error when both are given."""
    from . import Error

    if not isinstance(sequential, (bool, np.bool_)):
        raise TypeError("sequential must be True or False")
    if control is not None and sequential:
        raise Error("control= and sequential=True are two designs: give one")
    return _core.Design.control if control is not None else _core.Design.sequential


def group_names(control, groups, present):
    """The groups in the order compared: the control and `groups`, or those `present()` gives (the control left out)."""
    if isinstance(groups, (str, numbers.Number)):
        groups = [groups]
    if groups is None:
        groups = [g for g in present() if control is None or g != control]
    return ([control] if control is not None else []) + list(groups)


def refuse_two_sample_options(labels, progress, method, what):
    """Options of a run of two samples that the comparisons of several groups do not take."""
    from . import Error

    if labels is not None:
        raise Error("labels= names the two samples of one run; the comparisons of %s are named by their groups" % what)
    if progress:
        raise Error("progress= shows a run of two samples; the comparisons of %s are not watched" % what)
    if method != "bootstrap":
        raise Error("method=%r is for a run of two samples; the comparisons of %s are bootstrapped" % (method, what))


def results_of(comparisons, names, samples_of, level, quantiles, stacklevel):
    """A Result of each of the library's comparisons, its samples those `samples_of(c)` gives; its warnings
    said `stacklevel` frames up, at the user's call."""
    from . import Result

    out = []
    for c in comparisons:
        samples, counts = samples_of(c)
        out.append(Result(c.results, (str(names[c.x]), str(names[c.y])), level, samples=samples,
                          quantiles=quantiles, counts=counts, comparison=c.name, stopped=c.stopped or None,
                          stacklevel=stacklevel + 1))
        out[-1]._groups = (c.x, c.y)  # the groups compared, by place: the figure's columns
    return out


def analyse_groups(samples, control=None, groups=None, sequential=False, **options):
    """analyse() of several samples: each against a control, or each against the one before it.

    Each comparison is the run of its two samples alone with the same
    options and seed: the same numbers, bit for bit, as the program's
    --control and --sequential and as analyse() of the two.

    Parameters
    ----------
    samples : mapping of name to values
        A dict of one-dimensional values (lists, arrays, Series), or a
        DataFrame's columns (the wide form). NaN is missing (paired: the
        pair of that comparison left out).
    control : str, optional
        The control: each group is compared with it (x = the group, y =
        the control).
    groups : sequence of str, optional
        The groups compared with the control, or the sequence in order;
        by default every other sample, in the mapping's order.
    sequential : bool, default False
        Each group against the one before it (a dose series, a time
        course): G1 - G0, G2 - G1, ...
    **options
        analyse()'s keyword arguments (paired, level, replications, seed,
        measures, permutations, ...). With permutations, each measure's
        p-values are adjusted across the comparisons by Holm's method
        (``p_holm``); the intervals are each comparison's own.

    Returns
    -------
    Comparisons
        A Result a comparison, in order.

    Raises
    ------
    Error
        A sample that is not there (the message lists those that are), a
        group named twice, one group only, the control among the others,
        control= with sequential=True.

    Examples
    --------
    >>> import diffboot
    >>> doses = {"0": [4.2, 4.9, 4.4, 4.0], "1": [5.1, 4.8, 6.0, 5.5], "2": [6.3, 5.9, 7.1, 6.6]}
    >>> r = diffboot.analyse_groups(doses, sequential=True, replications=199)
    >>> r.names
    ['1 - 0', '2 - 1']
    """
    from . import Error, _aliases, _frame, _options, _values

    design = check_design(control, sequential)
    paired = options.pop("paired", False)
    refuse_two_sample_options(options.pop("labels", None), options.pop("progress", False),
                              options.get("method", "bootstrap"), "several samples")
    known = _frame._analyse_defaults(options, "analyse_groups")
    known["level"], known["replications"] = _aliases(options, known["level"], known["replications"])
    o, interval = _options(paired, **known)
    if not isinstance(samples, collections.abc.Mapping) and not hasattr(samples, "columns"):
        raise TypeError("samples must be a mapping of names to values (a dict, a DataFrame), not %s"
                        % type(samples).__name__)
    present = [str(k) for k in samples.keys()]
    names = [str(n) for n in group_names(control, groups, lambda: present)]
    by_name = {str(k): k for k in samples.keys()}
    unknown = [n for n in names if n not in by_name]
    if unknown:
        raise Error("the samples have no group \"%s\" (their groups: %s)" % (unknown[0], ", ".join(present)))
    values = {n: _values(samples[by_name[n]], n) for n in names}
    comparisons = _core.analyse_groups([(n, values[n]) for n in names], design, o)
    results = results_of(comparisons, names, lambda c: ((values[names[c.x]], values[names[c.y]]), None),
                         interval, o.quantiles, stacklevel=3)
    return Comparisons(results, design.name, names, o, interval, samples=values)
