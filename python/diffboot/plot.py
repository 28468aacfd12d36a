"""The estimation figure of the program's --figure, drawn by matplotlib.

Above, every value of the two samples (a line per pair in a paired run) with
each sample's mean ± SD and median; below, every measure on one axis, a row
each, with its replicates' density, its estimate, its BCa interval (thick)
and its Student's t interval (thin), and their numbers beside the row.
"""

import numpy as np

# Okabe-Ito: blue and orange for the samples, reddish purple for BCa, bluish green for t.
SAMPLE_COLOURS = ("#0072B2", "#E69F00")
BCA_COLOUR, T_COLOUR = "#CC79A7", "#009E73"
MINUS = "\u2212"
WORDS = {"AVE_d": "mean difference", "MED_d": "median difference", "d_AVE": "difference of means",
         "d_MED": "difference of medians", "d_STD": "difference of SDs", "d_MAD": "difference of MADs",
         "g": "Hedges' g", "delta": "Cliff's delta"}
IN_DATA_UNITS = {"AVE_d", "MED_d", "d_AVE", "d_MED", "d_STD", "d_MAD"}


def figure_number(value, digits):
    """value at digits significant digits as %#g writes it, no bare trailing point, a true minus sign."""
    text = "%#.*g" % (digits, value)
    if text.endswith("."):
        text = text[:-1]
    text = text.replace(".e", "e")
    return text.replace("-", MINUS)


def interval_digits(lower, upper):
    return 4 if lower != upper and figure_number(lower, 3) == figure_number(upper, 3) else 3


def interval_text(estimate, lower, upper):
    """'−58.6 [−92.2, −22.7]' at three significant digits, four where three print the bounds alike."""
    d = interval_digits(lower, upper)
    return "%s [%s, %s]" % (figure_number(estimate, d), figure_number(lower, d), figure_number(upper, d))


def _density(values, grid):
    """A Gaussian kernel density of values on grid (Silverman's bandwidth)."""
    values = values[np.isfinite(values)]
    sd = np.std(values)
    if len(values) < 2 or sd == 0:
        return np.zeros_like(grid)
    bandwidth = 1.06 * sd * len(values) ** -0.2
    sample = values if len(values) <= 4000 else np.quantile(values, np.linspace(0, 1, 4000))
    z = (grid[:, None] - sample[None, :]) / bandwidth
    return np.exp(-0.5 * z * z).sum(axis=1)


def _samples_panel(ax, result, x, y):
    paired = result.experiment == "paired"
    for k, (values, colour) in enumerate(zip((x, y), SAMPLE_COLOURS)):
        offsets = np.linspace(-0.15, 0.15, len(values)) if len(values) > 1 else np.zeros(1)
        jitter = np.zeros(len(values)) if paired else offsets[np.argsort(np.argsort(values))] * 0.5
        ax.plot(k + jitter, values, "o", ms=3, color=colour, alpha=0.8, gid="value")
        mean, sd, median = np.mean(values), np.std(values, ddof=1), np.median(values)
        ax.plot([k + 0.3] * 2, [mean - sd, mean + sd], color="black", lw=1)
        ax.plot([k + 0.25, k + 0.35], [mean, mean], color="white", lw=2)
        ax.plot([k - 0.25, k - 0.2], [median] * 2, color="black", lw=1.5)
    if paired:
        for a, b in zip(x, y):
            ax.plot([0, 1], [a, b], color="grey", lw=0.5, alpha=0.5, gid="pairs")
    ax.set_xticks([0, 1], ["%s\nn = %d" % (result.labels[0], len(x)), "%s\nn = %d" % (result.labels[1], len(y))])
    ax.set_xlim(-0.6, 1.6)


def _in_data_units(name):
    """Whether a measure is a difference in the data's units: the fixed ones and the quantiles (d_Q90, Q90_d)."""
    return name in IN_DATA_UNITS or name.startswith("d_Q") or (name.startswith("Q") and name.endswith("_d"))


def _measures_panel(ax, result, replicates):
    rows = result.measures
    ax.set_yticks(range(len(rows)), ["%s (%s)" % (WORDS.get(m.name, m.name), m.name) for m in rows])
    ax.invert_yaxis()
    for row, m in enumerate(rows):
        text = interval_text(m.estimate, m.bca_lower, m.bca_upper) + " BCa"
        ax.annotate(text, xy=(1.01, row), xycoords=("axes fraction", "data"), va="center", fontsize=8, gid="numbers")
        if not _in_data_units(m.name) or not np.isfinite(m.estimate):
            continue
        r = replicates.get(m.name)
        if r is not None and len(r) > 1 and np.ptp(r) > 0:
            grid = np.linspace(np.min(r), np.max(r), 200)
            d = _density(np.asarray(r), grid)
            ax.fill_between(grid, row, row - 0.4 * d / d.max(), color="grey", alpha=0.35, lw=0)
        ax.plot([m.t_lower, m.t_upper], [row, row], color=T_COLOUR, lw=1.2, solid_capstyle="butt")
        ax.plot([m.bca_lower, m.bca_upper], [row, row], color=BCA_COLOUR, lw=4, solid_capstyle="butt")
        ax.plot([m.estimate], [row], "o", color="black", ms=4, gid="estimate")
    ax.axvline(0.0, color="grey", ls="--", lw=0.8)
    ax.set_ylim(len(rows) - 0.4, -0.6)


def plot(result, path=None, ax=None, size=(7, 5)):
    """The figure of result; into path (.svg, .png, .pdf) when given. Returns the matplotlib Figure."""
    import matplotlib

    if path is not None and str(path).rsplit(".", 1)[-1].lower() not in ("svg", "png", "pdf"):
        from . import Error

        raise Error("the figure %r is not .svg, .png or .pdf" % (str(path),))
    if result._samples is None:
        from . import Error

        raise Error("this result of the Poisson bootstrap on Dask keeps no values to draw: plot a result of "
                    "diffboot.analyse(x, y, method='poisson') on values that fit in memory, or a sample of them")
    # Labels are drawn as written: a $ is a dollar, not math.
    with matplotlib.rc_context({"text.parse_math": False}):
        figure = _draw(result, ax, size)
    with matplotlib.rc_context({"font.size": 8, "svg.fonttype": "none"}):
        if ax is None:
            figure.subplots_adjust(left=0.3, right=0.72, hspace=0.35)
        if path is not None:
            figure.savefig(path)
    return figure


def _draw(result, ax, size):
    if ax is None:
        from matplotlib.figure import Figure

        figure = Figure(figsize=size)
        top, bottom = figure.subplots(2, 1, gridspec_kw={"height_ratios": (1, 1)})
    else:
        figure = ax.figure
        top, bottom = ax.inset_axes([0, 0.55, 1, 0.45]), ax.inset_axes([0, 0, 1, 0.45])
        ax.set_axis_off()
    x, y = result._samples
    replicates = result.replicates
    if replicates is None:  # the same run again, keeping them: the same numbers
        from . import analyse

        again = analyse(x, y, paired=result.experiment == "paired", level=result.level,
                        replications=result.replications, seed=result.seed,
                        measures=[m.name for m in result.measures], replicates=True,
                        quantiles=getattr(result, "_quantiles", None) or None, method=result.method)
        replicates = again.replicates
    x, y = (np.asarray(v) for v in (x, y))
    if result.experiment == "paired":  # a pair with a missing half is left out whole, as the analysis leaves it
        kept = ~(np.isnan(x) | np.isnan(y))
        x, y = x[kept], y[kept]
    else:
        x, y = x[~np.isnan(x)], y[~np.isnan(y)]
    _samples_panel(top, result, x, y)
    _measures_panel(bottom, result, replicates)
    figure.suptitle("%s %s %s (%s): %g%% intervals, B = %d" % (result.labels[0], MINUS, result.labels[1],
                                                               result.experiment, 100 * result.level,
                                                               result.replications), fontsize=9)
    return figure
