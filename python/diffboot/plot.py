"""The estimation figure of the program's --figure, drawn by matplotlib.

Above, every value of the two samples (a line per pair in a paired run) set
side by side where dots would hide each other, with each sample's mean ± SD
and median, and a legend of the marks; below, the measures in the data's
units on one axis of differences and each unitless measure (g in sd units,
delta from −1 to 1, lift in percent) on an axis of its own, a row each, with
its replicates' density, its estimate, its BCa interval (thick) and its
Student's t interval (thin), and their numbers beside the row.

Drawn into a figure of its own, or into the place of one axes of the user's
figure (``ax=``), shrunk until nothing it draws leaves that place.
"""

import numpy as np

# Okabe-Ito: blue and orange for the samples, reddish purple for BCa, bluish green for t.
SAMPLE_COLOURS = ("#0072B2", "#E69F00")
BCA_COLOUR, T_COLOUR = "#CC79A7", "#009E73"
MINUS = "\u2212"
# The unitless measures, each on an axis of its own: what the axis says, the
# factor its numbers are shown with, their suffix, the range always shown.
SCALES = {"g": ("g in sd units", 1.0, "", None),
          "delta": ("delta from %s1 to 1" % MINUS, 1.0, "", (-1.0, 1.0)),
          "lift": ("lift in percent", 100.0, "%", None)}
FONT_POINTS = 8.0  # on a 7 x 5 inch figure, in proportion on others (6 to 14)


def _words(name):
    """A measure's name in words, from the library's catalogue ("difference of means")."""
    from . import _core

    facts = _core.measure_facts(name)
    return facts.words if facts is not None else name


def figure_number(value, digits):
    """value at digits significant digits as %#g writes it, no bare trailing point, a true minus sign."""
    text = "%#.*g" % (digits, value)
    if text.endswith("."):
        text = text[:-1]
    text = text.replace(".e", "e")
    return text.replace("-", MINUS)


def interval_digits(lower, upper):
    return 4 if lower != upper and figure_number(lower, 3) == figure_number(upper, 3) else 3


def interval_text(estimate, lower, upper, suffix=""):
    """'−58.6 [−92.2, −22.7]' at three significant digits, four where three print the bounds alike."""
    d = interval_digits(lower, upper)
    return "%s%s [%s%s, %s%s]" % (figure_number(estimate, d), suffix, figure_number(lower, d), suffix,
                                  figure_number(upper, d), suffix)


def bounds_text(lower, upper, suffix=""):
    d = interval_digits(lower, upper)
    return "[%s%s, %s%s]" % (figure_number(lower, d), suffix, figure_number(upper, d), suffix)


def measure_numbers(m):
    """The two texts beside a measure's row: estimate and BCa bounds, then the t bounds (as the program's)."""
    if not np.isfinite(m.estimate):
        return "cannot be drawn: no finite estimate", ""
    _, k, suffix, _ = SCALES.get(m.name, (None, 1.0, "", None))
    if np.isfinite(m.bca_lower) and np.isfinite(m.bca_upper):
        bca = interval_text(k * m.estimate, k * m.bca_lower, k * m.bca_upper, suffix) + " BCa"
    else:
        bca = figure_number(k * m.estimate, 3) + suffix + ", BCa interval not defined"
    if np.isfinite(m.t_lower) and np.isfinite(m.t_upper):
        t = "t " + bounds_text(k * m.t_lower, k * m.t_upper, suffix)
    else:
        t = "t interval not defined"
    return bca, t


def _density(values, grid):
    """A Gaussian kernel density of values on grid (Silverman's bandwidth), highest 1."""
    values = values[np.isfinite(values)]
    if len(values) < 2 or np.std(values) == 0:
        return np.zeros_like(grid)
    sd = np.std(values, ddof=1)
    iqr = np.subtract(*np.quantile(values, [0.75, 0.25]))
    spread = min(sd, iqr / 1.34) if iqr > 0 else sd
    bandwidth = 0.9 * spread * len(values) ** -0.2
    sample = values if len(values) <= 4000 else np.quantile(values, np.linspace(0, 1, 4000))
    z = (grid[:, None] - sample[None, :]) / bandwidth
    d = np.exp(-0.5 * z * z).sum(axis=1)
    return d / d.max() if d.max() > 0 else d


def swarm_offsets(positions, diameter, per_side):
    """Sideways offsets (in units of diameter) setting points of one column side by side where they would meet:
    each to the nearest free slot (0, +1, −1, +2, ...), the lowest-ending slot when all are taken."""
    positions = np.asarray(positions, dtype=float)
    slots = 2 * max(per_side, 0) + 1
    last = np.full(slots, -np.inf)
    shifts = np.array([(k + 1) // 2 if k % 2 == 1 else -(k // 2) for k in range(slots)], dtype=float)
    offsets = np.zeros(len(positions))
    for i in np.argsort(positions, kind="stable"):
        free = np.nonzero(positions[i] - last >= diameter)[0]
        slot = free[0] if len(free) else int(np.argmin(last))
        last[slot] = positions[i]
        offsets[i] = shifts[slot] * diameter
    return offsets


def _panels(result):
    """The effect panels: the measures in the data's units, then one per unitless scale, in the results' order."""
    panels = []
    for m in result.measures:
        key = m.name if m.name in SCALES else None
        for p in panels:
            if p[0] == key:
                p[1].append(m)
                break
        else:
            panels.append((key, [m]))
    panels.sort(key=lambda p: p[0] is not None)
    return panels


def _value_axis_name(value_name, unit, log):
    extra = ", ".join(t for t in (unit, "log scale" if log else None) if t)
    return "%s (%s)" % (value_name, extra) if extra else value_name


def _samples_panel(ax, result, x, y, unit, log, value_name, points):
    paired = result.experiment == "paired"
    ax.set_xlim(0.45, 2.55)
    if log:
        ax.set_yscale("log")
    values = np.concatenate([x, y])
    low, high = np.min(values), np.max(values)
    for v in (x, y):
        if len(v) > 1:
            m, s = np.mean(v), np.std(v, ddof=1)
            low, high = min(low, m - s if not log or m - s > 0 else low), max(high, m + s)
    if log:
        span = np.log10(high) - np.log10(low) or 1.0
        ax.set_ylim(10 ** (np.log10(low) - 0.05 * span), 10 ** (np.log10(high) + 0.35 * span))
    else:
        span = (high - low) or max(abs(low), 1.0)
        ax.set_ylim(low - 0.05 * span, high + 0.35 * span)  # the top kept free for the legend
    if paired:
        for a, b in zip(x, y):
            ax.plot([1, 2], [a, b], color="0.6", lw=0.6, gid="pairs", zorder=1)
    marker = 4.2 * points / 8.0
    height_inches = ax.get_position().height * ax.figure.get_figheight()
    bottom, top = ax.get_ylim()
    scale = (lambda v: np.log10(v)) if log else (lambda v: v)
    for k, (v, colour, side) in enumerate(zip((x, y), SAMPLE_COLOURS, (-1, 1))):
        column = k + 1
        if paired or len(v) == 0:
            offsets = np.zeros(len(v))
        else:
            at = (scale(v) - scale(bottom)) / (scale(top) - scale(bottom)) * height_inches
            d = marker / 72.0
            per_unit = ax.get_position().width * ax.figure.get_figwidth() / 2.1
            offsets = swarm_offsets(at, d, int(0.2 * per_unit / d)) / per_unit
        ax.scatter(column + offsets, v, s=marker ** 2, color=colour, linewidths=0, gid="value", zorder=2)
        if len(v) > 0:
            mean, sd, median = np.mean(v), (np.std(v, ddof=1) if len(v) > 1 else 0.0), np.median(v)
            at = column + side * 0.34
            ax.plot([at, at], [mean - sd if not log or mean - sd > 0 else bottom, mean + sd], color="black", lw=1.5,
                    gid="mean_sd", zorder=3)
            ax.plot([at], [mean], "o", color="black", ms=marker, gid="mean", zorder=3)
            ax.plot([at - 0.09, at + 0.09], [median, median], color="black", lw=1.5, gid="median", zorder=3)
    ax.set_xticks([1, 2], ["%s (n = %d)" % (result.labels[0], len(x)), "%s (n = %d)" % (result.labels[1], len(y))])
    ax.tick_params(axis="x", length=0)
    ax.set_ylabel(_value_axis_name(value_name, unit, log), fontsize=points)
    for side in ("top", "right"):
        ax.spines[side].set_visible(False)
    from matplotlib.lines import Line2D
    from matplotlib.patches import Patch

    handles = [Line2D([], [], color="black", lw=1.5, marker="o", ms=marker, label="mean \u00b1 SD"),
               Line2D([], [], color="black", lw=1.5, label="median"),
               Patch(color=BCA_COLOUR, label="BCa"), Line2D([], [], color=T_COLOUR, lw=1.5, label="t")]
    ax.legend(handles=handles, loc="upper left", ncol=4, frameon=False, handlelength=1.6, columnspacing=1.2,
              borderaxespad=0.2, fontsize=points)


def _effect_panel(ax, result, scale, rows, replicates, unit, words, points):
    axis, k, _, bounded = SCALES[scale] if scale is not None else (None, 1.0, "", None)
    n = len(rows)
    ax.set_ylim(0.5, n + 0.9)
    ax.set_yticks([n - i for i in range(n)], ["%s (%s)" % (_words(m.name), m.name) if words else m.name
                                              for m in rows])
    ax.tick_params(axis="y", length=0)
    for side in ("top", "right", "left"):
        ax.spines[side].set_visible(False)
    low, high = np.inf, -np.inf
    for i, m in enumerate(rows):
        row = n - i
        bca, t = measure_numbers(m)
        ax.text(1.02, row + 0.14, bca, transform=ax.get_yaxis_transform(), va="center", fontsize=points, gid="numbers")
        if t:
            ax.text(1.02, row - 0.24, t, transform=ax.get_yaxis_transform(), va="center", color=T_COLOUR, fontsize=points,
                    gid="numbers")
        if not np.isfinite(m.estimate):
            continue
        r = replicates.get(m.name) if replicates else None
        if r is not None:
            r = k * np.asarray(r, dtype=float)
            r = r[np.isfinite(r)]
        if r is not None and len(r) > 1 and np.ptp(r) > 0:
            lo, hi = np.quantile(r, [0.005, 0.995])
            low, high = min(low, lo), max(high, hi)
            grid = np.linspace(np.min(r), np.max(r), 200)
            ax.fill_between(grid, row, row + 0.61 * _density(r, grid), color="0.55", alpha=0.35, lw=0,
                            gid="density")
        for v in (m.estimate, m.t_lower, m.t_upper, m.bca_lower, m.bca_upper):
            if np.isfinite(v):
                low, high = min(low, k * v), max(high, k * v)
        if np.isfinite(m.t_lower) and np.isfinite(m.t_upper):
            ax.plot([k * m.t_lower, k * m.t_upper], [row - 0.16] * 2, color=T_COLOUR, lw=1.5,
                    solid_capstyle="butt", gid="interval_t")
        if np.isfinite(m.bca_lower) and np.isfinite(m.bca_upper):
            ax.plot([k * m.bca_lower, k * m.bca_upper], [row, row], color=BCA_COLOUR, lw=4.5 * points / 8.0,
                    solid_capstyle="butt", gid="interval_bca")
        ax.plot([k * m.estimate], [row], "o", color="black", ms=4.2 * points / 8.0, gid="estimate", zorder=4)
    if bounded:
        low, high = min(low, bounded[0]), max(high, bounded[1])
    if not np.isfinite(low):
        low, high = -1.0, 1.0
    if not (low <= 0 <= high) and abs(low if low > 0 else high) <= 0.5 * (high - low):
        low, high = min(low, 0.0), max(high, 0.0)
    pad = 0.06 * ((high - low) or max(abs(low), 1.0))
    ax.set_xlim(low - pad, high + pad)
    if low - pad <= 0 <= high + pad:
        ax.axvline(0.0, color="0.5", ls="--", lw=0.8)
    ax.grid(axis="x", color="0.92")
    ax.set_axisbelow(True)
    x, y = result.labels
    if axis is not None:
        ax.set_xlabel("%s %s %s: %s" % (x, MINUS, y, axis), fontsize=points)
    else:
        ax.set_xlabel("difference %s %s %s%s" % (x, MINUS, y, " (%s)" % unit if unit else ""), fontsize=points)


def plot(result, path=None, ax=None, size=(7, 5), unit=None, log=False, value_name="value"):
    """The figure of result in the program's design; into path (.svg, .png, .pdf) when given.

    Parameters
    ----------
    result : diffboot.Result
    path : str or path-like, optional
        Where to save the figure (its format by the extension).
    ax : matplotlib Axes, optional
        Draw in this axes' place of its figure (the axes itself is hidden),
        shrunk so that nothing leaves it; else into a figure of its own.
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
    """
    import matplotlib

    from . import Error

    if path is not None and str(path).rsplit(".", 1)[-1].lower() not in ("svg", "png", "pdf"):
        raise Error("the figure %r is not .svg, .png or .pdf" % (str(path),))
    if result._samples is None:
        raise Error("this result of the Poisson bootstrap on Dask keeps no values to draw: plot a result of "
                    "diffboot.analyse(x, y, method='poisson') on values that fit in memory, or a sample of them")
    # Labels are drawn as written: a $ is a dollar, not math.
    with matplotlib.rc_context({"text.parse_math": False, "svg.fonttype": "none"}):
        figure = _draw(result, ax, size, unit, log, value_name)
        if path is not None:
            figure.savefig(path)
    return figure


def _samples_of(result):
    x, y = (np.asarray(v, dtype=float) for v in result._samples)
    if result.experiment == "paired":  # a pair with a missing half is left out whole, as the analysis leaves it
        kept = ~(np.isnan(x) | np.isnan(y))
        return x[kept], y[kept]
    return x[~np.isnan(x)], y[~np.isnan(y)]


def _replicates_of(result):
    if result.replicates is not None:
        return result.replicates
    from . import analyse  # the same run again, keeping them: the same numbers

    x, y = result._samples
    return analyse(x, y, paired=result.experiment == "paired", level=result.level,
                   replications=result.replications, seed=result.seed,
                   measures=[m.name for m in result.measures], replicates=True,
                   quantiles=getattr(result, "_quantiles", None) or None, method=result.method).replicates


def _draw(result, ax, size, unit, log, value_name):
    x, y = _samples_of(result)
    if log and (np.any(x <= 0) or np.any(y <= 0)):
        from . import Error

        raise Error("log=True draws positive values only")
    replicates = _replicates_of(result)
    panels = _panels(result)
    if ax is None:
        from matplotlib.figure import Figure

        figure = Figure(figsize=size)
        place = figure.transFigure.inverted().transform_bbox(figure.bbox)
        width, height = size
    else:
        figure = ax.figure
        place = ax.get_position()
        ax.set_axis_off()
        width, height = place.width * figure.get_figwidth(), place.height * figure.get_figheight()
    # The text 8 points on 7 x 5 inches, in proportion from 6 to 14 points, smaller (to 4) where the panels
    # would keep less than half the height. From the top: the title, the samples (8 lines at least), each effect
    # panel (a row of 2.5 lines each), each with its tick labels and axis name below it; in points.
    weights = [8.0] + [2.5 * (len(rows) + 0.4) for _, rows in panels]
    points = float(np.clip(FONT_POINTS * min(width / 7.0, height / 5.0), 6.0, 14.0))

    def fixed(pts):
        # Tick marks and pads are in proportion to the text (set on each axes below).
        title, labels, names = 1.9 * pts, 2.4 * pts, 1.5 + 3.9 * pts
        return title, labels, names

    while points > 3.5 and sum(fixed(points)[:2]) + fixed(points)[2] * len(panels) > 0.5 * height * 72.0:
        points = max(3.5, points - 0.5)
    title, labels, names = (v / 72.0 / height for v in fixed(points))
    line = 1.3 * points / 72.0 / height
    gaps = [labels] + [names] * len(panels)
    free = 1.0 - title - sum(gaps[:-1]) - names
    unit_height = max(free, 0.2) / (sum(weights) + 1e-12)
    axes = []
    top = 1.0 - title
    for k, w in enumerate(weights):
        h = max(w * unit_height, 0.02)
        axes.append([top - h, h])
        top -= h + gaps[k]
    words = width >= 6.0
    made = []
    for k, (bottom, h) in enumerate(axes):
        made.append(figure.add_axes([place.x0, place.y0 + bottom * place.height, place.width, h * place.height],
                                    label="diffboot %d" % k))
        # Sizes set on the axes, not from rcParams: its ticks are made again whenever it is drawn.
        made[-1].tick_params(labelsize=points, length=0.45 * points, pad=0.4 * points)
        made[-1].xaxis.labelpad = made[-1].yaxis.labelpad = 0.5 * points
    _samples_panel(made[0], result, x, y, unit, log, value_name, points)
    for a, (scale, rows) in zip(made[1:], panels):
        _effect_panel(a, result, scale, rows, replicates, unit, words, points)
    heading = "%s %s %s (%s): %g%% intervals, B = %d" % (result.labels[0], MINUS, result.labels[1],
                                                       result.experiment, 100 * result.level, result.replications)
    # The title within the place, not the figure's own (which it would overwrite).
    title = figure.text(place.x0 + 0.5 * place.width, place.y1 - 0.3 * line * place.height, heading,
                        ha="center", va="top", fontsize=points * 1.1, gid="title")
    _fit(figure, made, title, place)
    return figure


def _fit(figure, made, title, place):
    """Moves the panels' left and right edges inwards until their labels, numbers and legend stay within place
    (figure coordinates): the samples' panel on its own, the effect panels all alike, so that they align; the
    title smaller where it is wider than the place."""
    if hasattr(figure.canvas, "get_renderer"):
        renderer = figure.canvas.get_renderer()
    else:  # a Figure made without pyplot draws with Agg, which measures the text as every backend lays it out
        from matplotlib.backends.backend_agg import FigureCanvasAgg

        renderer = FigureCanvasAgg(figure).get_renderer()
    to_figure = figure.transFigure.inverted()
    wide = to_figure.transform_bbox(title.get_window_extent(renderer)).width
    if wide > 0.98 * place.width:
        title.set_fontsize(max(3.0, title.get_fontsize() * 0.98 * place.width / wide))
    for group in (made[:1], made[1:]):
        for _ in range(6):
            boxes = [to_figure.transform_bbox(a.get_tightbbox(renderer)) for a in group]
            spill_left = max([place.x0 - b.x0 for b in boxes], default=0.0)
            spill_right = max([b.x1 - place.x1 for b in boxes], default=0.0)
            if spill_left <= 1e-4 and spill_right <= 1e-4:
                break
            for a in group:
                p = a.get_position()
                x0 = p.x0 + max(spill_left, 0) + 0.005 * place.width
                x1 = p.x1 - max(spill_right, 0) - 0.005 * place.width
                if x1 - x0 < 0.15 * place.width:
                    x0, x1 = p.x0, p.x0 + 0.15 * place.width
                a.set_position([x0, p.y0, x1 - x0, p.height])
