# The formula's long, wide and id forms give the samples the vector form is
# given, and missing values are left out and counted.

same_numbers <- function(a, b) {
  expect_identical(a$measures, b$measures)
  expect_identical(c(a$n, a$missing), c(b$n, b$missing))
}

test_that("the long form takes the rows of the two groups", {
  r <- diffboot(weight ~ feed, data = chickwts, groups = c("horsebean", "linseed"), R = 199)
  same_numbers(r, diffboot(chickwts$weight[chickwts$feed == "horsebean"],
                           chickwts$weight[chickwts$feed == "linseed"], R = 199))
  expect_identical(r$labels, c("horsebean", "linseed"))
  two <- droplevels(chickwts[chickwts$feed %in% c("casein", "soybean"), ])
  expect_identical(diffboot(weight ~ feed, data = two, R = 199)$labels, c("casein", "soybean"))
})

test_that("pairs come by id in the order the data first name them, by row order without id", {
  by_order <- sleep[order(sleep$group, sleep$ID), ]
  expected <- diffboot(by_order$extra[1:10], by_order$extra[11:20], paired = TRUE, R = 199)
  shuffled <- sleep[c(20, 3, 11, 1, 5:10, 2, 12:19, 4), ]
  by_id <- diffboot(extra ~ group, data = shuffled, paired = TRUE, id = "ID", R = 199)
  first_named <- unique(as.character(shuffled$ID[]))
  same_numbers(by_id, diffboot(by_order$extra[as.integer(first_named)], by_order$extra[10 + as.integer(first_named)],
                               paired = TRUE, R = 199))
  expect_message(by_rows <- diffboot(extra ~ group, data = by_order, paired = TRUE, R = 199), "in the order they come")
  same_numbers(by_rows, expected)
  wide <- reshape(sleep, direction = "wide", idvar = "ID", timevar = "group")
  same_numbers(diffboot(Pair(extra.1, extra.2) ~ 1, data = wide, paired = TRUE, R = 199), expected)
})

test_that("missing values are left out and counted, a pair whole", {
  x <- c(1.2, NA, 3.3, 4.1, NaN, 6.0, 7.7, 2.9)
  y <- c(2.0, 2.9, NA, 5.2, 6.1, 6.6, 9.1, 3.0)
  rows <- list(
    list(paired = FALSE, n = c(6, 7), missing = c(2, 1)),
    list(paired = TRUE, n = c(5, 5), missing = c(2, 1), dropped = 3)
  )
  for (row in rows) {
    r <- diffboot(x, y, paired = row$paired, R = 199)
    expect_identical(unname(c(r$n, r$missing)), as.double(c(row$n, row$missing)))
    expect_output(print(r), sprintf("missing %d, %d", row$missing[1], row$missing[2]))
    expect_identical(r$pairs_dropped, row$dropped)
  }
  long <- data.frame(v = c(1, 2, 3, 4, NA, 6, 7, 8, 9), g = rep(c("a", "b"), c(4, 5)), id = c(1:4, 1:5))
  r <- diffboot(v ~ g, data = long, paired = TRUE, id = "id", R = 199)
  expect_identical(unname(c(r$n, r$missing, r$pairs_dropped)), c(3, 3, 0, 1, 2))  # id 1's b is NA; id 5 has no a
})

test_that("the methods give the estimates and intervals in R's usual forms", {
  r <- diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", measures = "all", R = 199)
  expect_identical(coef(r), setNames(r$measures$estimate, c("AVE_d", "MED_d", "g", "lift")))
  for (type in c("bca", "t", "percentile", "basic")) {
    ci <- confint(r, type = type)
    expect_identical(dimnames(ci), list(c("AVE_d", "MED_d", "g", "lift"), c("2.5 %", "97.5 %")))
    expect_identical(unname(ci[, 1]), r$measures[[paste0(type, "_lower")]])
  }
  expect_identical(rownames(confint(r, "g")), "g")
  expect_output(print(summary(r)), "acceleration")
  expect_s3_class(plot(r), "ggplot")
  path <- withr::local_tempfile(fileext = ".pdf")
  grDevices::pdf(path)
  layout <- diffboot:::figure_layout(r)
  expect_null(diffboot:::paint_base(diffboot:::figure_shapes(layout), layout))  # without ggplot2
  grDevices::dev.off()
})
