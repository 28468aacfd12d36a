# The estimation figure, painted: the library lays it out (panels, axes and
# ticks, every mark, text and legend entry in place, exactly as the
# program's --figure), and this file turns that layout into shapes on a page
# measured in inches, drawn by ggplot2 when it is installed, else by base
# graphics.

#' The estimation figure of a diffboot() result
#'
#' The program's figure: above, every value of the two samples (a line per
#' pair in a paired experiment) with each sample's mean \eqn{\pm}{+/-} SD
#' and median, and a legend of the marks; below, the measures in the data's
#' units on one axis of differences and each unitless measure (g in sd
#' units, delta from -1 to 1, lift in percent) on an axis of its own, a row
#' each, with its replicates' density, its estimate, its BCa interval
#' (thick) and its Student's t interval (thin), and their numbers beside the
#' row.
#'
#' @param x a result of \code{\link{diffboot}}.
#' @param y unused.
#' @param unit the values' unit on the axes' titles (\code{"g"} gives
#'   \code{"value (g)"}), or \code{NULL}.
#' @param log whether the data axis is logarithmic (every value positive).
#' @param width,height the figure's size in inches (1 to 40 each): its text
#'   is laid out for it, so save it at that size (as \code{ggsave} does with
#'   the same \code{width} and \code{height}).
#' @param value_name what the values are, on the data axis.
#' @param ... unused.
#'
#' @return With ggplot2 installed, a ggplot object (print it to draw it, or
#'   save it with \code{ggplot2::ggsave}); without, the figure is drawn with
#'   base graphics and \code{NULL} returned invisibly.
#'
#' @examples
#' r <- diffboot(weight ~ feed, data = chickwts, groups = c("horsebean", "linseed"), R = 999)
#' plot(r, unit = "g")
#' @method plot diffboot
#' @export
plot.diffboot <- function(x, y, unit = NULL, log = FALSE, width = 7, height = 5, value_name = "value", ...) {
  layout <- figure_layout(x, unit = unit, log = log, width = width, height = height, value_name = value_name)
  shapes <- figure_shapes(layout)
  if (requireNamespace("ggplot2", quietly = TRUE)) paint_ggplot(shapes, layout) else paint_base(shapes, layout)
}

#' The figure of several groups
#'
#' Every group's values above, the control (or first group) leftmost, each
#' with its mean \eqn{\pm}{+/-} SD and median; below, each comparison's
#' first measure under its group, with its replicates' density, its BCa and
#' t intervals and their numbers, on one axis.
#'
#' @param x a result of \code{\link{diffboot}} with \code{control} or
#'   \code{sequential}.
#' @inheritParams plot.diffboot
#' @return As \code{\link{plot.diffboot}}.
#' @examples
#' r <- diffboot(weight ~ feed, data = chickwts, control = "casein",
#'               groups = c("horsebean", "linseed", "soybean"), R = 999)
#' plot(r, unit = "g")
#' @method plot diffboot_comparisons
#' @export
plot.diffboot_comparisons <- function(x, y, unit = NULL, width = 7, height = 5, value_name = NULL, ...) {
  comparisons <- lapply(x$comparisons, function(r) {
    list(x = r$groups_compared[1L], y = r$groups_compared[2L], values_x = as.numeric(r$data$x),
         values_y = as.numeric(r$data$y), stopped = !is.null(r$stopped))
  })
  if (is.null(value_name)) value_name <- if (is.null(x$columns)) "value" else x$columns[["value"]]
  figure <- list(size = c(as.numeric(width), as.numeric(height)), value_name = as.character(value_name),
                 unit = if (is.null(unit)) "" else as.character(unit))
  layout <- .groups_figure_layout(as.character(x$groups), unname(comparisons), identical(x$design, "sequential"),
                                  x$settings, figure)
  if (!is.null(layout$error)) fail(layout$error)
  shapes <- figure_shapes(layout)
  if (requireNamespace("ggplot2", quietly = TRUE)) paint_ggplot(shapes, layout) else paint_base(shapes, layout)
}

# The figure of result `r` as the library lays it out.
figure_layout <- function(r, unit = NULL, log = FALSE, width = 7, height = 5, value_name = "value") {
  if (is.null(r$data)) fail("this result keeps no values to draw")
  settings <- r$settings
  figure <- list(size = c(as.numeric(width), as.numeric(height)), labels = as.character(r$labels),
                 value_name = as.character(value_name), unit = if (is.null(unit)) "" else as.character(unit),
                 log = isTRUE(log))
  layout <- .figure_layout(as.numeric(r$data$x), as.numeric(r$data$y), settings, figure)
  if (!is.null(layout$error)) fail(layout$error)
  layout
}

# Where `v` lies on `axis` drawn from `from` to `to` inches.
on_axis <- function(axis, v, from, to) {
  t <- if (axis$log) (log10(v) - log10(axis$low)) / (log10(axis$high) - log10(axis$low)) else
    (v - axis$low) / (axis$high - axis$low)
  from + t * (to - from)
}

# The layout as shapes on the page, in inches from its lower left corner:
# discs (their diameters in points), paths and areas (a group each), and
# texts (their sizes in points); every shape named by its role.
figure_shapes <- function(l) {
  points <- list(); paths <- list(); areas <- list(); texts <- list()
  group <- 0L
  path <- function(x, y, colour, width, role, dashed = FALSE) {
    group <<- group + 1L
    paths[[length(paths) + 1L]] <<- data.frame(x = x, y = y, group = group, colour = colour, width = width,
                                               dashed = dashed, role = role, stringsAsFactors = FALSE)
  }
  text <- function(x, y, label, hjust = 0, vjust = 0.5, angle = 0, colour = "#000000", role = "text", size = l$font) {
    if (length(label) == 0L) return()
    texts[[length(texts) + 1L]] <<- data.frame(x = x, y = y, label = label, hjust = hjust, vjust = vjust, angle = angle,
                                               colour = colour, size = size, role = role, stringsAsFactors = FALSE)
  }
  line <- l$line; ch <- l$ch; scale <- l$font / 8
  tick <- 0.4 * l$font / 72
  for (p in l$panels) {
    b <- p$box  # left, right, bottom, top
    px <- function(v) on_axis(p$x, v, b[1L], b[2L])
    py <- function(v, second = FALSE) if (second) on_axis(p$y2, v, b[3L], b[4L]) else on_axis(p$y, v, b[3L], b[4L])
    # The axes: the samples' on the left (and the differences' on the right), the effects' along the bottom.
    path(c(b[1L], b[2L]), c(b[3L], b[3L]), "#000000", 1 * scale, "axis")
    if (p$samples || p$upright) {
      path(c(b[1L], b[1L]), c(b[3L], b[4L]), "#000000", 1 * scale, "axis")
      if (p$upright) {
        for (at in py(p$y$ticks$at)) path(c(b[1L], b[2L]), c(at, at), "#ebebeb", 0.5 * scale, "grid")
        if (p$zero_line) path(c(b[1L], b[2L]), c(py(0), py(0)), "#808080", 0.8 * scale, "zero", dashed = TRUE)
      }
      at <- py(p$y$ticks$at)
      for (k in seq_along(at)) path(c(b[1L] - tick, b[1L]), c(at[k], at[k]), "#000000", 1 * scale, "tick")
      text(b[1L] - tick - 0.5 * ch, at, p$y$ticks$label, hjust = 1, role = "tick_label")
      text(b[1L] - 9 * ch - 0.6 * line, (b[3L] + b[4L]) / 2, p$y$title, hjust = 0.5, angle = 90, role = "axis_title")
      text(px(p$categories$at), b[3L] - 0.8 * line, p$categories$label, hjust = 0.5, role = "category")
      if (!is.null(p$y2)) {
        path(c(b[2L], b[2L]), c(b[3L], b[4L]), "#000000", 1 * scale, "axis")
        at2 <- py(p$y2$ticks$at, TRUE)
        text(b[2L] + tick + 0.5 * ch, at2, p$y2$ticks$label, hjust = 0, role = "tick_label")
        text(b[2L] + 9 * ch + 0.6 * line, (b[3L] + b[4L]) / 2, p$y2$title, hjust = 0.5, angle = 90, role = "axis_title")
      }
    } else {
      at <- px(p$x$ticks$at)
      for (k in seq_along(at)) {
        path(c(at[k], at[k]), c(b[3L], b[4L]), "#ebebeb", 0.5 * scale, "grid")
        path(c(at[k], at[k]), c(b[3L] - tick, b[3L]), "#000000", 1 * scale, "tick")
      }
      text(at, b[3L] - tick - 0.7 * line, p$x$ticks$label, hjust = 0.5, role = "tick_label")
      text((b[1L] + b[2L]) / 2, b[3L] - 2.2 * line, p$x$title, hjust = 0.5, role = "axis_title")
      text(b[1L] - 1.5 * ch, py(p$categories$at), p$categories$label, hjust = 1, role = "category")
      if (p$zero_line) path(c(px(0), px(0)), c(b[3L], b[4L]), "#808080", 0.8 * scale, "zero", dashed = TRUE)
    }
    for (m in p$marks) {
      x <- px(m$x)
      y <- py(m$y, m$second_axis)
      if (m$kind == "discs") {
        points[[length(points) + 1L]] <- data.frame(x = x, y = y, size = m$diameter, colour = m$colour, role = m$role,
                                                    stringsAsFactors = FALSE)
      } else if (m$kind == "lines") {
        starts <- c(0, m$breaks)
        ends <- c(m$breaks, length(x))
        for (k in seq_along(starts)) {
          keep <- (starts[k] + 1):ends[k]
          path(x[keep], y[keep], m$colour, m$width * scale, m$role)
        }
      } else {
        group <- group + 1L
        areas[[length(areas) + 1L]] <- data.frame(x = x, y = y, group = group, colour = m$colour,
                                                  opacity = m$opacity, role = m$role, stringsAsFactors = FALSE)
      }
    }
    if (length(p$texts$text) > 0L) {
      text(p$texts$x, py(p$texts$y), p$texts$text, colour = p$texts$colour, role = "numbers")
    }
  }
  # The legend: a sample of each mark and its name.
  colour_of <- function(role) {
    for (p in l$panels) for (m in p$marks) if (m$role == role) return(m$colour)
    "#000000"
  }
  for (k in seq_len(nrow(l$legend))) {
    e <- l$legend[k, ]
    middle <- (e$left + e$right) / 2
    switch(e$kind,
           mean_sd = {
             path(c(middle, middle), e$y + c(-0.4, 0.4) * line, "#000000", 1.5 * scale, "legend")
             points[[length(points) + 1L]] <- data.frame(x = middle, y = e$y, size = 0.3 * line * 72, colour = "#000000",
                                                         role = "legend", stringsAsFactors = FALSE)
           },
           median = path(c(e$left, e$right), c(e$y, e$y), "#000000", 1.5 * scale, "legend"),
           bca = path(c(e$left, e$right), c(e$y, e$y), colour_of("bca"), l$bca_thickness, "legend"),
           t = path(c(e$left, e$right), c(e$y, e$y), colour_of("t"), 1.5 * scale, "legend"))
    text(e$text_x, e$y, e$text, role = "legend")
  }
  text(l$width / 2, l$height - 1.0 * line, l$title, hjust = 0.5, role = "title")
  bind <- function(parts) if (length(parts) == 0L) NULL else do.call(rbind, parts)
  list(points = bind(points), paths = bind(paths), areas = bind(areas), texts = bind(texts))
}

# The columns of the shapes' data frames that ggplot2's aesthetics name.
utils::globalVariables(c("x", "y", "group", "colour", "width", "opacity", "size", "label", "hjust", "vjust", "angle",
                         "lw", "lt", "sz"))

# One ggplot on a page of the layout's inches: composed with other plots as any ggplot is.
paint_ggplot <- function(s, l) {
  pt <- ggplot2::.pt
  g <- ggplot2::ggplot() +
    ggplot2::coord_fixed(ratio = 1, xlim = c(0, l$width), ylim = c(0, l$height), expand = FALSE, clip = "off") +
    ggplot2::theme_void() +
    ggplot2::scale_colour_identity() + ggplot2::scale_fill_identity() + ggplot2::scale_alpha_identity() +
    ggplot2::scale_linewidth_identity() + ggplot2::scale_size_identity() + ggplot2::scale_linetype_identity()
  paths <- function(d) {
    if (is.null(d) || nrow(d) == 0L) return(NULL)
    d$lw <- d$width / pt / 0.75
    d$lt <- ifelse(d$dashed, "dashed", "solid")
    ggplot2::geom_path(ggplot2::aes(x = x, y = y, group = group, colour = colour, linewidth = lw, linetype = lt),
                       data = d, lineend = "butt")
  }
  # Grid, zero and pair lines under the shapes; the rest over them.
  under <- if (is.null(s$paths)) logical(0) else s$paths$role %in% c("grid", "zero", "pairs")
  g <- g + paths(s$paths[under, , drop = FALSE])
  if (!is.null(s$areas)) {
    g <- g + ggplot2::geom_polygon(ggplot2::aes(x = x, y = y, group = group, fill = colour, alpha = opacity),
                                   data = s$areas, colour = NA)
  }
  g <- g + paths(s$paths[!under, , drop = FALSE])
  if (!is.null(s$points)) {
    s$points$sz <- s$points$size / pt / 0.75  # a disc of shape 16 is three quarters of its size across
    g <- g + ggplot2::geom_point(ggplot2::aes(x = x, y = y, colour = colour, size = sz), data = s$points,
                                 shape = 16, stroke = 0)
  }
  if (!is.null(s$texts)) {
    s$texts$sz <- s$texts$size / pt
    g <- g + ggplot2::geom_text(ggplot2::aes(x = x, y = y, label = label, hjust = hjust, vjust = vjust, angle = angle,
                                             colour = colour, size = sz), data = s$texts)
  }
  g
}

# The same shapes with base graphics, on the current device.
paint_base <- function(s, l) {
  old <- graphics::par(mar = c(0, 0, 0, 0), xpd = NA)
  on.exit(graphics::par(old))
  graphics::plot.new()
  graphics::plot.window(c(0, l$width), c(0, l$height), xaxs = "i", yaxs = "i", asp = 1)
  alpha <- function(colour, opacity) grDevices::adjustcolor(colour, alpha.f = opacity)
  for (a in split(s$areas, s$areas$group)) graphics::polygon(a$x, a$y, col = alpha(a$colour[1L], a$opacity[1L]), border = NA)
  for (p in split(s$paths, s$paths$group)) {
    graphics::lines(p$x, p$y, col = p$colour[1L], lwd = p$width[1L] / 0.75, lty = if (p$dashed[1L]) 2 else 1, lend = 1)
  }
  if (!is.null(s$points)) graphics::points(s$points$x, s$points$y, pch = 16, col = s$points$colour, cex = s$points$size / 9)
  for (k in seq_len(nrow(s$texts))) {
    t <- s$texts[k, ]
    graphics::text(t$x, t$y, t$label, adj = c(t$hjust, t$vjust), srt = t$angle, col = t$colour, cex = t$size / 12)
  }
  invisible(NULL)
}
