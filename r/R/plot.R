# The estimation figure: every value of the two samples (a line per pair in a
# paired run) with each sample's mean +/- SD and median; below, every measure
# a row, with its estimate, its BCa interval (thick) and its Student's t
# interval (thin), each unitless measure on an axis of its own, and its
# numbers beside its name. Drawn with ggplot2 when it is installed, else with base
# graphics.

# Okabe-Ito: blue and orange for the samples, reddish purple for BCa, bluish green for t.
sample_colours <- c("#0072B2", "#E69F00")
bca_colour <- "#CC79A7"
t_colour <- "#009E73"
# A true minus sign where the text can hold it; base graphics' devices write
# Latin-1, which has none.
minus_sign <- function(unicode) if (unicode && isTRUE(l10n_info()[["UTF-8"]])) "\u2212" else "-"
measure_words <- c(lift = "relative difference of means", AVE_d = "mean difference", MED_d = "median difference", d_AVE = "difference of means",
                   d_MED = "difference of medians", d_STD = "difference of SDs", d_MAD = "difference of MADs",
                   g = "Hedges' g", delta = "Cliff's delta")
in_data_units <- c("AVE_d", "MED_d", "d_AVE", "d_MED", "d_STD", "d_MAD")

# A number at `digits` significant digits as %#g writes it, without a bare
# trailing point, its minus signs written as `minus`.
figure_number <- function(value, digits, minus = "-") {
  text <- formatC(value, digits = digits, format = "g", flag = "#")
  text <- sub("\\.$", "", sub("\\.e", "e", trimws(text)))
  gsub("-", minus, text, fixed = TRUE)
}

# "-58.6 [-92.2, -22.7]" at three significant digits, four where three print the bounds alike.
interval_text <- function(estimate, lower, upper, minus = "-") {
  d <- ifelse(lower != upper & figure_number(lower, 3L) == figure_number(upper, 3L), 4L, 3L)
  sprintf("%s [%s, %s]", mapply(figure_number, estimate, d, minus), mapply(figure_number, lower, d, minus),
          mapply(figure_number, upper, d, minus))
}

# The unitless measures, each on an axis of its own: what the axis says,
# the factor its numbers are shown with and their suffix.
unitless_scales <- list(g = list(axis = "g in sd units", factor = 1, suffix = ""),
                        delta = list(axis = "delta from %s1 to 1", factor = 1, suffix = ""),
                        lift = list(axis = "lift in percent", factor = 100, suffix = "%"))

# The rows of the figure: the samples' values and summaries, the measures'
# bars (a unitless measure's in its own terms: lift in percent), each
# measure's panel and its axis's name.
figure_data <- function(r, minus = "-", unit = NULL) {
  x <- r$data$x
  y <- r$data$y
  if (r$experiment == "paired") {
    keep <- !is.na(x) & !is.na(y)
    x <- x[keep]
    y <- y[keep]
  } else {
    x <- x[!is.na(x)]
    y <- y[!is.na(y)]
  }
  samples <- sprintf("%s (n = %d)", r$labels, c(length(x), length(y)))
  m <- r$measures
  scale <- lapply(m$measure, function(name) unitless_scales[[name]])
  factor <- vapply(scale, function(s) if (is.null(s)) 1 else s$factor, numeric(1L))
  suffix <- vapply(scale, function(s) if (is.null(s)) "" else s$suffix, character(1L))
  for (column in c("estimate", "t_lower", "t_upper", "bca_lower", "bca_upper")) m[[column]] <- factor * m[[column]]
  names_of <- sprintf("%s %s %s", r$labels[1L], minus, r$labels[2L])
  differences <- sprintf("difference %s%s", names_of, if (is.null(unit)) "" else sprintf(" (%s)", unit))
  panel <- vapply(scale, function(s) if (is.null(s)) differences else
    paste0(names_of, ": ", sub("%s", minus, s$axis, fixed = TRUE)), character(1L))
  with_suffix <- function(v, d) paste0(mapply(figure_number, v, d, minus), suffix)
  d <- ifelse(m$bca_lower != m$bca_upper & figure_number(m$bca_lower, 3L) == figure_number(m$bca_upper, 3L), 4L, 3L)
  numbers <- ifelse(is.finite(m$estimate),
                    sprintf("%s [%s, %s] BCa", with_suffix(m$estimate, d), with_suffix(m$bca_lower, d),
                            with_suffix(m$bca_upper, d)),
                    "cannot be drawn: no finite estimate")
  rows <- sprintf("%s (%s)\n%s", ifelse(is.na(measure_words[m$measure]), m$measure, measure_words[m$measure]),
                  m$measure, numbers)
  drawn <- is.finite(m$estimate)
  list(x = x, y = y, samples = samples, rows = rows, measures = m, drawn = drawn, panel = panel,
       panels = unique(c(differences[differences %in% panel], panel)),
       value_axis = if (is.null(unit)) "value" else sprintf("value (%s)", unit),
       title = sprintf("%s (%s): %s%% intervals, B = %d", names_of, r$experiment, format(100 * r$conf.level), r$R))
}

#' The estimation figure of a diffboot() result
#'
#' Every value of the two samples (a line per pair in a paired experiment)
#' with each sample's mean \eqn{\pm}{+/-} SD and median, and a legend of the
#' marks; below, the measures in the data's units on one axis and each
#' unitless measure (g in sd units, delta from -1 to 1, lift in percent) on
#' an axis of its own, a row each, with its estimate, its BCa interval
#' (thick) and its Student's t interval (thin), and its estimate and BCa
#' interval written beside its name. Each panel's name, under it, is its
#' axis's title.
#'
#' @param x a result of \code{\link{diffboot}}.
#' @param y unused.
#' @param unit the values' unit on the axes' titles (\code{"g"} gives
#'   \code{"value (g)"}), or \code{NULL}.
#' @param ... passed to \code{plot} when drawn with base graphics.
#'
#' @return With ggplot2 installed, a ggplot object (print it to draw it, or
#'   save it with \code{ggplot2::ggsave}); without, the figure is drawn with
#'   base graphics and \code{NULL} returned invisibly.
#'
#' @examples
#' r <- diffboot(weight ~ feed, data = chickwts, groups = c("horsebean", "linseed"), R = 999)
#' plot(r)
#' @method plot diffboot
#' @export
plot.diffboot <- function(x, y, unit = NULL, ...) {
  if (requireNamespace("ggplot2", quietly = TRUE)) {
    figure_ggplot(figure_data(x, minus_sign(TRUE), unit), x$experiment == "paired")
  } else {
    figure_base(figure_data(x, minus_sign(FALSE), unit), x$experiment == "paired", ...)
  }
}

# The columns of the figure's data frames that ggplot2's aesthetics name.
utils::globalVariables(c("value", "offset", "colour", "sd", "median", "estimate", "panel", "t_lower", "t_upper",
                         "bca_lower", "bca_upper", "first", "second"))

# The panels from the top: the samples, the measures in the data's units,
# each unitless measure; each panel's name under it, where its axis's title
# goes, and a legend of the marks.
figure_ggplot <- function(f, paired) {
  panels <- c(f$value_axis, f$panels)
  sample_of <- factor(rep(f$samples, c(length(f$x), length(f$y))), levels = rev(f$samples))
  # Unpaired values spread by rank within their row, paired ones on the row.
  spread <- function(v) if (paired || length(v) < 2L) rep(0, length(v)) else (rank(v, ties.method = "first") - 1) / (length(v) - 1) * 0.3 - 0.15
  values <- data.frame(panel = factor(panels[1L], panels), value = c(f$x, f$y), row = sample_of,
                       offset = c(spread(f$x), spread(f$y)), colour = rep(f$samples, c(length(f$x), length(f$y))))
  summaries <- data.frame(panel = factor(panels[1L], panels), row = factor(f$samples, levels = rev(f$samples)),
                          mean = c(mean(f$x), mean(f$y)), sd = c(stats::sd(f$x), stats::sd(f$y)),
                          median = c(stats::median(f$x), stats::median(f$y)))
  m <- f$measures[f$drawn, , drop = FALSE]
  levels_of_rows <- rev(f$rows)
  bars <- data.frame(panel = factor(f$panel[f$drawn], panels), row = factor(f$rows[f$drawn], levels = levels_of_rows),
                     estimate = m$estimate, t_lower = m$t_lower, t_upper = m$t_upper, bca_lower = m$bca_lower,
                     bca_upper = m$bca_upper)
  t_bars <- bars[is.finite(bars$t_lower) & is.finite(bars$t_upper), , drop = FALSE]
  bca_bars <- bars[is.finite(bars$bca_lower) & is.finite(bars$bca_upper), , drop = FALSE]
  # Every measure keeps its row, numbers and all; zero on each effect axis.
  every_row <- rbind(
    data.frame(panel = factor(panels[1L], panels), row = factor(f$samples, levels = rev(f$samples)),
               value = summaries$mean),
    data.frame(panel = factor(f$panel, panels), row = factor(f$rows, levels = levels_of_rows), value = 0))
  # The legend: the samples' colours, then the marks.
  marks <- c("mean \u00b1 SD", "median", "BCa", "t")
  colours <- stats::setNames(c(sample_colours, "black", "black", bca_colour, t_colour), c(f$samples, marks))
  y_at <- function(row, offset = 0) as.numeric(row) + offset
  g <- ggplot2::ggplot() +
    ggplot2::geom_blank(ggplot2::aes(x = value, y = row), data = every_row) +
    ggplot2::geom_vline(ggplot2::aes(xintercept = 0), data = every_row[every_row$panel != panels[1L], ],
                        colour = "grey50", linetype = "dashed") +
    ggplot2::geom_point(ggplot2::aes(x = value, y = y_at(row, offset), colour = colour), data = values, size = 1.2) +
    ggplot2::geom_segment(ggplot2::aes(x = mean - sd, xend = mean + sd, y = y_at(row, 0.3), yend = y_at(row, 0.3),
                                       colour = marks[1L]), data = summaries) +
    ggplot2::geom_point(ggplot2::aes(x = mean, y = y_at(row, 0.3), colour = marks[1L]), data = summaries, size = 1.6) +
    ggplot2::geom_point(ggplot2::aes(x = median, y = y_at(row, -0.3), colour = marks[2L]), data = summaries,
                        shape = 124, size = 4) +
    # Nudged, not placed by the rows' numbers: each panel numbers its own rows.
    ggplot2::geom_segment(ggplot2::aes(x = t_lower, xend = t_upper, y = row, yend = row, colour = marks[4L]),
                          data = t_bars, linewidth = 0.6, position = ggplot2::position_nudge(y = -0.16)) +
    ggplot2::geom_segment(ggplot2::aes(x = bca_lower, xend = bca_upper, y = row, yend = row, colour = marks[3L]),
                          data = bca_bars, linewidth = 2.2) +
    ggplot2::geom_point(ggplot2::aes(x = estimate, y = row), data = bars, size = 1.6) +
    # Each panel its own axis, its name under it where the axis's title goes.
    ggplot2::facet_wrap(ggplot2::vars(panel), ncol = 1L, scales = "free", strip.position = "bottom") +
    ggplot2::scale_colour_manual(values = colours, breaks = names(colours), name = NULL) +
    ggplot2::labs(title = f$title, x = NULL, y = NULL) +
    ggplot2::theme_minimal(base_size = 8) +
    ggplot2::theme(strip.placement = "outside", legend.position = "top", legend.justification = "left",
                   plot.title = ggplot2::element_text(hjust = 0.5))
  if (paired && length(f$x) > 0L) {
    pairs <- data.frame(panel = factor(panels[1L], panels), first = f$x, second = f$y)
    rows_of <- as.numeric(factor(f$samples, levels = rev(f$samples)))
    g <- g + ggplot2::geom_segment(ggplot2::aes(x = first, xend = second, y = rows_of[1L], yend = rows_of[2L]), data = pairs,
                                   colour = "grey60", linewidth = 0.2, alpha = 0.5)
  }
  g
}

figure_base <- function(f, paired, ...) {
  old <- graphics::par(mfrow = c(2L, 1L), mar = c(3, 14, 2, 1), cex = 0.8)
  on.exit(graphics::par(old))
  range_of <- range(c(f$x, f$y), finite = TRUE)
  graphics::plot(range_of, c(0.5, 2.5), type = "n", yaxt = "n", xlab = "", ylab = "", main = f$title, ...)
  graphics::axis(2, at = 2:1, labels = f$samples, las = 1)
  if (paired) graphics::segments(f$x, 2, f$y, 1, col = "grey70")
  for (k in 1:2) {
    v <- if (k == 1L) f$x else f$y
    row <- 3 - k
    graphics::points(v, rep(row, length(v)), pch = 16, cex = 0.6, col = sample_colours[k])
    graphics::segments(mean(v) - stats::sd(v), row + 0.3, mean(v) + stats::sd(v), row + 0.3)
    graphics::points(mean(v), row + 0.3, pch = 21, bg = "white")
    graphics::points(stats::median(v), row - 0.3, pch = 124)
  }
  m <- f$measures
  n <- nrow(m)
  drawn <- f$drawn
  limits <- range(c(0, m$t_lower[drawn], m$t_upper[drawn], m$bca_lower[drawn], m$bca_upper[drawn]), finite = TRUE)
  graphics::plot(limits, c(0.5, n + 0.5), type = "n", yaxt = "n", xlab = "", ylab = "")
  graphics::axis(2, at = n:1, labels = f$rows, las = 1, cex.axis = 0.8)
  graphics::abline(v = 0, lty = 2, col = "grey50")
  at <- (n:1)[drawn]
  graphics::segments(m$t_lower[drawn], at, m$t_upper[drawn], at, col = t_colour, lwd = 1.5)
  graphics::segments(m$bca_lower[drawn], at, m$bca_upper[drawn], at, col = bca_colour, lwd = 5, lend = 1)
  graphics::points(m$estimate[drawn], at, pch = 16)
  invisible(NULL)
}
