# The figure as ggplot2 builds and draws it: a mark per value, a point and
# two bars per measure (g, delta and lift too, each on its own axis, lift
# in percent), a legend, and the axes' titles with the unit.

skip_if_not_installed("ggplot2")

# The layers of a built figure that draw with `colour`, by geom.
layers_of <- function(built, g, geom, colour = NULL) {
  kept <- Filter(function(k) inherits(g$layers[[k]]$geom, geom) &&
                   (is.null(colour) || all(built$data[[k]]$colour %in% colour)), seq_along(g$layers))
  do.call(rbind, lapply(kept, function(k) built$data[[k]][, intersect(c("x", "xend", "y", "PANEL"), names(built$data[[k]]))]))
}

test_that("every value, measure and interval is drawn, with the legend and the axes' titles", {
  r <- diffboot(weight ~ feed, data = chickwts, groups = c("horsebean", "linseed"), measures = "all", R = 499)
  g <- plot(r, unit = "g")
  expect_s3_class(g, "ggplot")
  built <- ggplot2::ggplot_build(g)
  n <- nrow(r$measures)
  values <- layers_of(built, g, "GeomPoint", c("#0072B2", "#E69F00"))
  expect_equal(nrow(values), sum(!is.na(r$data$x)) + sum(!is.na(r$data$y)))
  # Columns: the mark, its layer's geom and colour, how many.
  marks <- list(list("estimate", "GeomPoint", "black", n + 4L),  # and each sample's mean and median
                list("BCa", "GeomSegment", "#CC79A7", n), list("t", "GeomSegment", "#009E73", n))
  for (m in marks) expect_equal(nrow(layers_of(built, g, m[[2L]], m[[3L]])), m[[4L]], label = m[[1L]])
  # Lift's BCa bar in percent, on a panel other than g's and delta's.
  bca <- layers_of(built, g, "GeomSegment", "#CC79A7")
  lift <- r$measures[r$measures$measure == "lift", ]
  expect_true(any(abs(bca$x - 100 * lift$bca_lower) < 1e-9))
  expect_equal(length(unique(bca$PANEL)), 4L)  # the differences, g, delta, lift
  panels <- levels(built$layout$layout$panel)
  minus <- "\u2212"
  for (title in c("value (g)", paste0("difference horsebean ", minus, " linseed (g)"),
                  paste0("horsebean ", minus, " linseed: g in sd units"),
                  paste0("horsebean ", minus, " linseed: delta from ", minus, "1 to 1"),
                  paste0("horsebean ", minus, " linseed: lift in percent"))) {
    expect_true(title %in% panels, label = title)
  }
  grob <- suppressWarnings(ggplot2::ggplotGrob(g))  # a device without the minus sign says so
  expect_true("guide-box-top" %in% grob$layout$name || "guide-box" %in% grob$layout$name)
  legend <- unlist(lapply(grob$grobs[grepl("guide-box", grob$layout$name)], function(x) {
    texts <- character(0)
    walk <- function(node) {
      if (inherits(node, "text")) texts <<- c(texts, node$label)
      for (child in c(node$grobs, node$children)) walk(child)
    }
    walk(x)
    texts
  }))
  for (entry in c("mean \u00b1 SD", "median", "BCa", "t")) expect_true(entry %in% legend, label = entry)
  # It draws: an svg of it is written whole.
  path <- tempfile(fileext = ".svg")
  grDevices::svg(path, width = 7, height = 5)
  suppressWarnings(print(g))
  grDevices::dev.off()
  expect_true(any(grepl("</svg>", readLines(path, warn = FALSE), fixed = TRUE)))
})

test_that("a paired figure draws a line per pair and its numbers as the result's", {
  r <- diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", measures = c("AVE_d", "MED_d", "g"), R = 499)
  g <- plot(r)
  built <- ggplot2::ggplot_build(g)
  pairs <- layers_of(built, g, "GeomSegment", "grey60")
  expect_equal(nrow(pairs), 10L)
  rows <- diffboot:::figure_data(r, "\u2212")$rows
  m <- r$measures[r$measures$measure == "g", ]
  expect_true(any(grepl(diffboot:::interval_text(m$estimate, m$bca_lower, m$bca_upper, "\u2212"), rows, fixed = TRUE)))
  expect_equal(nrow(layers_of(built, g, "GeomSegment", "#CC79A7")), 3L)
})
