"""The estimation figure of the program's --figure, painted by matplotlib.

The library lays the figure out (diffboot's figure layout: panels, axes and
ticks, every mark, text and legend entry in place) exactly as the program's
gnuplot figure; this module only paints it. Above, every value of the two
samples (a line per pair in a paired run) with each sample's mean ± SD and
median, and a legend of the marks; below, the measures in the data's units
on one axis of differences and each unitless measure (g in sd units, delta
from −1 to 1, lift in percent) on an axis of its own, a row each, with its
replicates' density, its estimate, its BCa interval (thick) and its
Student's t interval (thin), and their numbers beside the row.

Drawn into a figure of its own, or into the place of one axes of the user's
figure (``ax=``), laid out for that place's size so that nothing it draws
leaves it.
"""

import numpy as np

MINUS = "\u2212"

__all__ = ["plot", "plot_groups", "layout"]


def layout(result, size=(7, 5), unit=None, log=False, value_name="value"):
    """The figure of result as the library lays it out (a diffboot._core.FigureLayout).

    Parameters
    ----------
    result : diffboot.Result
    size : (float, float)
        The figure's inches (1 to 40 each).
    unit, log, value_name
        As for :func:`plot`.

    Returns
    -------
    diffboot._core.FigureLayout
        Panels (their places in inches, axes, ticks, marks and texts), the
        legend and the title; what every door's painter draws.

    Raises
    ------
    diffboot.Error
        A result of the Poisson bootstrap on Dask (it keeps no values), a log
        axis with a value that is not positive, a size out of range.
    """
    from . import Error, _core

    if result._samples is None:
        raise Error("this result keeps no values to draw (a result of counts, or of the Poisson bootstrap on Dask): "
                    "plot a result of diffboot.analyse(x, y, ...) on the values, or a sample of them")
    options = _core.FigureOptions()
    if getattr(result, "cluster", None):
        options.cluster_name = str(result.cluster)
    options.width, options.height = (float(v) for v in size)
    options.label_x, options.label_y = (str(v) for v in result.labels)
    options.value_name = str(value_name)
    options.unit = "" if unit is None else str(unit)
    options.log_scale = bool(log)
    x, y = (np.asarray(v, dtype=float) for v in result._samples)
    return _core.figure_layout(x, y, _core_with_replicates(result), options)


def _core_with_replicates(result):
    """The library's results of this run with its replicates: the run again with its own options, keeping them,
    where they were not kept (the same numbers)."""
    from . import _core

    if result.replicates is not None:
        return result._core
    kept = result._core.options
    options = _core.Options()
    for field in ("experiment", "alpha", "replications", "seed", "threads", "missing", "acceleration", "quantiles",
                  "proportions", "clusters"):
        setattr(options, field, getattr(kept, field))
    options.measures = [m.name for m in result.measures]
    options.keep_replicates = True
    x, y = (np.asarray(v, dtype=float) for v in result._samples)
    run = _core.poisson_analyse if result.method == "poisson" else _core.analyse
    return run(x, y, options, None)


def plot(result, path=None, ax=None, size=(7, 5), unit=None, log=False, value_name="value"):
    """The figure of result in the program's design; into path (.svg, .png, .pdf) when given.

    Parameters
    ----------
    result : diffboot.Result
    path : str or path-like, optional
        Where to save the figure (its format by the extension).
    ax : matplotlib Axes, optional
        Draw in this axes' place of its figure (the axes itself is hidden),
        laid out for that place; else into a figure of its own.
    size : (float, float)
        The figure's inches when it is its own (the text 8 points at 7 x 5).
    unit : str, optional
        The values' unit on the axes ("g" gives "value (g)").
    log : bool
        The data axis on a log scale (every value positive).
    value_name : str
        What the values are, on the data axis.

    Returns
    -------
    matplotlib.figure.Figure

    Raises
    ------
    diffboot.Error
        A path that is not .svg, .png or .pdf; see also :func:`layout`.

    Examples
    --------
    >>> import diffboot
    >>> r = diffboot.analyse([5.1, 4.9, 6.2, 5.8, 6.0], [4.1, 4.5, 5.0, 4.2, 4.8], replications=199)
    >>> figure = r.plot(unit="g")
    >>> len(figure.axes)
    2
    """
    import matplotlib

    from . import Error

    if path is not None and str(path).rsplit(".", 1)[-1].lower() not in ("svg", "png", "pdf"):
        raise Error("the figure %r is not .svg, .png or .pdf" % (str(path),))
    figure, place, inches = _place(ax, size)
    model = layout(result, size=inches, unit=unit, log=log, value_name=value_name)
    # Labels are drawn as written: a $ is a dollar, not math.
    with matplotlib.rc_context({"text.parse_math": False, "svg.fonttype": "none", "font.family": "sans-serif"}):
        _Painter(figure, model, place).paint()
        if path is not None:
            figure.savefig(path)
    return figure


def plot_groups(comparisons, path=None, ax=None, size=(7, 5), unit=None, value_name="value"):
    """The figure of several groups (diffboot.Comparisons) in the program's design; into path when given.

    Parameters
    ----------
    comparisons : diffboot.Comparisons
    path, ax, size, unit, value_name
        As for :func:`plot`.

    Returns
    -------
    matplotlib.figure.Figure

    Raises
    ------
    diffboot.Error
        A path that is not .svg, .png or .pdf, a size out of range.
    """
    import matplotlib

    from . import Error, _core

    if path is not None and str(path).rsplit(".", 1)[-1].lower() not in ("svg", "png", "pdf"):
        raise Error("the figure %r is not .svg, .png or .pdf" % (str(path),))
    figure, place, inches = _place(ax, size)
    options = _core.FigureOptions()
    options.width, options.height = (float(v) for v in inches)
    if value_name == "value" and getattr(comparisons, "value", None):
        value_name = comparisons.value
    options.value_name = str(value_name)
    options.unit = "" if unit is None else str(unit)
    items = []
    for r in comparisons:
        x, y = (np.asarray(v, dtype=float) for v in (r._samples or ((), ())))
        items.append((r._groups[0], r._groups[1], x, y, None if r.stopped is not None else _core_with_replicates(r)))
    design = getattr(_core.Design, comparisons.design)
    model = _core.groups_figure_layout([str(g) for g in comparisons.groups], items, design, options)
    with matplotlib.rc_context({"text.parse_math": False, "svg.fonttype": "none", "font.family": "sans-serif"}):
        _Painter(figure, model, place).paint()
        if path is not None:
            figure.savefig(path)
    return figure


def _place(ax, size):
    """The figure to draw in, the place in it (figure fractions) and that place's inches."""
    if ax is None:
        from matplotlib.figure import Figure

        return Figure(figsize=size), (0.0, 0.0, 1.0, 1.0), size
    p = ax.get_position()
    ax.set_axis_off()
    return ax.figure, (p.x0, p.y0, p.width, p.height), (p.width * ax.figure.get_figwidth(),
                                                        p.height * ax.figure.get_figheight())


class _Painter:
    """Paints a figure layout into a place of a matplotlib figure (x0, y0, width, height in figure fractions)."""

    def __init__(self, figure, model, place):
        self.figure, self.m = figure, model
        self.x0, self.y0, self.w, self.h = place
        self.points = model.font

    def fx(self, inches):
        return self.x0 + inches / self.m.width * self.w

    def fy(self, inches):
        return self.y0 + inches / self.m.height * self.h

    def width(self, mark):
        return mark.width * self.points / 8.0

    def paint(self):
        for k, panel in enumerate(self.m.panels):
            self.panel(k, panel)
        self.figure.text(self.fx(self.m.width / 2), self.fy(self.m.height - 0.6 * self.m.line), self.m.title,
                         ha="center", va="center", fontsize=self.points, gid="title")

    def panel(self, k, p):
        ax = self.figure.add_axes([self.fx(p.left), self.fy(p.bottom), self.fx(p.right) - self.fx(p.left),
                                   self.fy(p.top) - self.fy(p.bottom)], label="diffboot %d" % k)
        ax.set_facecolor("none")
        ax.tick_params(labelsize=self.points, length=0.4 * self.points, pad=0.3 * self.points)
        ax.xaxis.labelpad = ax.yaxis.labelpad = 0.3 * self.points
        for side in ("top", "right"):
            ax.spines[side].set_visible(False)
        columns = p.samples or p.upright  # categories under x; else the rows' names on y
        self.axis(ax, "x", p.x, p.categories if columns else None)
        self.axis(ax, "y", p.y, None if columns else p.categories)
        if not p.samples:
            if not p.upright:
                ax.spines["left"].set_visible(False)
            ax.grid(axis="y" if p.upright else "x", color="0.92")
            ax.set_axisbelow(True)
        second = None
        if p.y2 is not None:
            second = ax.twinx()
            second.set_facecolor("none")
            second.tick_params(labelsize=self.points, length=0.4 * self.points, pad=0.3 * self.points)
            self.axis(second, "y", p.y2, None)
            second.spines["top"].set_visible(False)
        if p.zero_line:
            across = ax.axhline if p.upright else ax.axvline
            across(0.0, color="0.5", ls="--", lw=0.8 * self.points / 8.0, zorder=1)
        for mark in p.marks:
            self.mark(second if mark.second_axis and second is not None else ax, mark)
        from matplotlib.transforms import blended_transform_factory

        to_page = blended_transform_factory(self.figure.transFigure, ax.transData)
        for t in p.texts:
            ax.text(self.fx(t.x), t.y, t.text, transform=to_page, va="center", ha="left", color=t.colour,
                    fontsize=self.points, gid="numbers", clip_on=False)
        if p.samples:
            self.legend(ax)

    def axis(self, ax, which, axis, categories):
        set_lim, set_scale, set_ticks, set_label = (
            (ax.set_xlim, ax.set_xscale, ax.set_xticks, ax.set_xlabel) if which == "x"
            else (ax.set_ylim, ax.set_yscale, ax.set_yticks, ax.set_ylabel))
        if axis.log_scale:
            set_scale("log")
        set_lim(axis.low, axis.high)
        ticks = categories if categories is not None else axis.ticks
        set_ticks([t.at for t in ticks], [t.label for t in ticks])
        if categories is not None:
            ax.tick_params(axis=which, length=0)
        if which == "x" and axis.log_scale is False and categories is None:
            ax.minorticks_off()
        set_label(axis.title, fontsize=self.points)

    def mark(self, ax, mark):
        x, y = np.asarray(mark.x), np.asarray(mark.y)
        if mark.kind.name == "discs":
            d = np.asarray(mark.diameter)
            ax.scatter(x, y, s=d[0] ** 2 if len(d) and np.all(d == d[0]) else d ** 2, color=mark.colour, linewidths=0, gid=mark.role,
                       zorder=3, clip_on=False)
        elif mark.kind.name == "lines":
            cuts = [0] + list(mark.breaks) + [len(x)]
            for a, b in zip(cuts[:-1], cuts[1:]):
                ax.plot(x[a:b], y[a:b], color=mark.colour, lw=self.width(mark), gid=mark.role, zorder=2,
                        solid_capstyle="butt", clip_on=False)
        else:
            ax.fill(x, y, color=mark.colour, alpha=mark.opacity, lw=0, gid=mark.role, zorder=2)

    def legend(self, ax):
        from matplotlib.lines import Line2D

        colours = {"bca": "#CC79A7", "t": "#009E73"}
        for p in self.m.panels[1:]:
            for mark in p.marks:
                if mark.role in colours:
                    colours[mark.role] = mark.colour
        for e in self.m.legend:
            xs, y = [self.fx(e.left), self.fx(e.right)], [self.fy(e.y)] * 2
            if e.kind == "mean_sd":  # upright, as the samples' mean ± SD lines stand
                middle = 0.5 * (xs[0] + xs[1])
                xs, y = [middle] * 3, [self.fy(e.y - 0.4 * self.m.line), y[0], self.fy(e.y + 0.4 * self.m.line)]
            style = {"mean_sd": dict(color="black", lw=1.5 * self.points / 8.0, marker="o",
                                     ms=self.m.line * 72 * 0.3, markevery=[1]),
                     "median": dict(color="black", lw=1.5 * self.points / 8.0),
                     "bca": dict(color=colours["bca"], lw=self.m.bca_thickness, solid_capstyle="butt"),
                     "t": dict(color=colours["t"], lw=1.5 * self.points / 8.0)}[e.kind]
            self.figure.add_artist(Line2D(xs, y, transform=self.figure.transFigure, gid="legend", **style))
            self.figure.text(self.fx(e.text_x), self.fy(e.y), e.text, va="center", ha="left", fontsize=self.points,
                             gid="legend")
