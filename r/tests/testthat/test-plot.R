# The figure as the library lays it out and ggplot2 paints it: a mark per
# value, a point and two bars per measure (g, delta and lift too, each on
# its own axis), a legend, the axes' titles with the unit, and its svg.

skip_if_not_installed("ggplot2")

# The rows of the painted layers of `role`.
shapes_of <- function(g, role) {
  columns <- c("x", "y", "group", "label")
  do.call(rbind, lapply(g$layers, function(layer) {
    d <- layer$data[layer$data$role == role, , drop = FALSE]
    for (column in setdiff(columns, names(d))) d[[column]] <- rep(NA, nrow(d))
    d[, columns, drop = FALSE]
  }))
}

test_that("every value, measure and interval is painted, with the legend and the axes' titles", {
  r <- diffboot(weight ~ feed, data = chickwts, groups = c("horsebean", "linseed"), measures = "all", R = 499)
  g <- plot(r, unit = "g")
  expect_s3_class(g, "ggplot")
  n <- nrow(r$measures)
  expect_equal(nrow(shapes_of(g, "values")), sum(!is.na(r$data$x)) + sum(!is.na(r$data$y)))
  expect_equal(nrow(shapes_of(g, "estimate")), n)
  expect_equal(length(unique(shapes_of(g, "bca")$group)), n)
  expect_equal(length(unique(shapes_of(g, "t")$group)), n)
  texts <- shapes_of(g, "axis_title")$label
  minus <- "\u2212"
  for (title in c("value (g)", paste0("difference horsebean ", minus, " linseed (g)"),
                  paste0("horsebean ", minus, " linseed: g in sd units"),
                  paste0("horsebean ", minus, " linseed: delta from ", minus, "1 to 1"),
                  paste0("horsebean ", minus, " linseed: lift in percent"))) {
    expect_true(title %in% texts, label = title)
  }
  expect_setequal(shapes_of(g, "legend")$label[!is.na(shapes_of(g, "legend")$label)],
                  c("mean \u00b1 SD", "median", "BCa", "t"))
  # Lift's numbers in percent, as the library writes them.
  expect_true(any(grepl("%] BCa", shapes_of(g, "numbers")$label, fixed = TRUE)))
  # It draws: an svg of it is written whole, with a circle per value at least.
  path <- tempfile(fileext = ".svg")
  grDevices::svg(path, width = 7, height = 5)
  suppressWarnings(print(g))
  grDevices::dev.off()
  svg <- readLines(path, warn = FALSE)
  expect_true(any(grepl("</svg>", svg, fixed = TRUE)))
})

test_that("a paired figure draws a line per pair, and the figure's bad input stops", {
  r <- diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", measures = c("AVE_d", "MED_d", "g"), R = 499)
  g <- plot(r, log = FALSE)
  expect_equal(length(unique(shapes_of(g, "pairs")$group)), 10L)
  expect_error(plot(r, log = TRUE), "--log draws positive values only", class = "diffboot_error")
  expect_error(plot(r, width = 0.5), "1 to 40 inches", class = "diffboot_error")
})

test_that("several groups draw every value and a column per comparison", {
  r <- diffboot(weight ~ feed, data = chickwts, control = "casein", groups = c("horsebean", "linseed"), R = 199)
  g <- plot(r, unit = "g")
  kept <- chickwts$feed %in% c("casein", "horsebean", "linseed")
  expect_equal(nrow(shapes_of(g, "values")), sum(kept))
  expect_equal(nrow(shapes_of(g, "estimate")), 2L)
  expect_true(all(c("horsebean \u2212 casein", "linseed \u2212 casein") %in% shapes_of(g, "category")$label))
  expect_true("weight (g)" %in% shapes_of(g, "axis_title")$label)
})
