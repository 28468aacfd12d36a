# One vocabulary in every door: the doc's table of option names against
# formals(), the printout's columns and lift in percent, the measures named
# being those reported, na.action and subset, the acceleration, and confint()
# at another level from the kept replicates.

door_table <- function(page) {
  lines <- readLines(file.path(source_dir(), "doc", page))
  first <- grep("^\\| option \\| program \\|", lines)
  rows <- lines[seq(first + 2L, length(lines))]
  rows <- rows[seq_len(match(FALSE, startsWith(rows, "|"), nomatch = length(rows) + 1L) - 1L)]
  cells <- lapply(strsplit(sub("^\\|", "", rows), "\\|"), trimws)
  names <- function(cell) regmatches(cell, gregexpr("`[^`]+`", cell))[[1]]
  lapply(stats::setNames(cells, vapply(cells, `[`, "", 1L)),
         function(c) list(program = names(c[2L]), r = gsub("`| =", "", names(c[4L]))))
}

test_that("the doc's table of options is diffboot()'s formals", {
  rows <- door_table("r.md")
  expect_gte(length(rows), 12L)
  named <- unlist(lapply(rows, `[[`, "r"), use.names = FALSE)
  own <- setdiff(names(formals(diffboot:::diffboot.default)), c("x", "y", "..."))
  designs <- c("control", "sequential", "cluster")  # several groups and clusters: the formula method's own
  expect_setequal(named, c(own, designs))
  # The formula method hands them on: each is taken there too.
  formula_own <- names(formals(diffboot:::diffboot.formula))
  expect_true(all(c("subset", "na.action", "groups", "id", "paired", "labels", designs) %in% formula_own))
})

test_that("print shows the program's columns in its order, lift in percent; data keep the fraction", {
  dir <- withr::local_tempdir()
  set.seed(47)
  x <- rnorm(20, 11, 2)
  y <- rnorm(18, 10, 2)
  write_values(x, file.path(dir, "x.txt"))
  write_values(y, file.path(dir, "y.txt"))
  r <- diffboot(x, y, measures = c("d_AVE", "lift"), R = 199)
  expect_same_as_json(r, program_json(c("-u", "-B", "199", "--measures", "d_AVE,lift", "x.txt", "y.txt"), dir))
  lift <- r$measures[r$measures$measure == "lift", ]
  expect_lt(abs(lift$estimate), 1)
  expect_identical(confint(r, "lift")[1, 1], lift$bca_lower)
  out <- capture.output(print(r, digits = 6))
  head <- out[grep("estimate", out)]
  expect_match(head, "estimate +t lower +t upper +BCa lower +BCa upper")
  row <- strsplit(trimws(out[grep("^lift%", out)]), " +")[[1]]
  expect_equal(as.double(row[-1]), 100 * c(lift$estimate, lift$t_lower, lift$t_upper, lift$bca_lower, lift$bca_upper),
               tolerance = 1e-5)
  s <- capture.output(print(summary(r), digits = 6))
  expect_true(any(grepl("lift%", s)))
  expect_equal(summary(r)$table["lift%", "se"], 100 * lift$se)
  expect_equal(summary(r)$table["lift%", "z0"], lift$z0)
})

test_that("the measures named, the acceleration and na.action as the program takes them", {
  dir <- withr::local_tempdir()
  set.seed(48)
  x <- rnorm(22, 5, 2)
  y <- rnorm(19, 6, 2)
  write_values(x, file.path(dir, "x.txt"))
  write_values(y, file.path(dir, "y.txt"))
  cases <- list(
    list(options = list(quantiles = c(0.1, 0.9), measures = "d_Q90"),
         args = c("--quantiles", "0.1,0.9", "--measures", "d_Q90"), names = "d_Q90"),
    list(options = list(acceleration = "samples", measures = "all"), args = c("--acceleration", "samples", "--measures", "all"),
         names = c("d_AVE", "d_MED", "d_STD", "d_MAD", "g", "delta", "lift"))
  )
  for (case in cases) {
    r <- do.call(diffboot, c(list(x, y, R = 199), case$options))
    expect_identical(r$measures$measure, case$names)
    expect_same_as_json(r, program_json(c("-u", "-B", "199", case$args, "x.txt", "y.txt"), dir))
  }
  expect_error(diffboot(x, y, acceleration = "jack"), "acceleration \"jack\" is not grid or samples",
               class = "diffboot_error")
  d <- data.frame(v = c(x[1:10], y[1:10]), g = rep(c("a", "b"), each = 10))
  d$v[c(2, 15)] <- NA
  kept <- diffboot(v ~ g, data = d, R = 199)
  omitted <- diffboot(v ~ g, data = d, R = 199, na.action = na.omit)
  expect_identical(unname(kept$missing), c(1, 1))
  expect_identical(unname(omitted$missing), c(0, 0))
  expect_identical(omitted$measures, kept$measures)
  expect_error(diffboot(v ~ g, data = d, na.action = na.fail), "missing values")
  sprays <- diffboot(count ~ spray, data = InsectSprays, subset = spray != "C", groups = c("A", "B"), R = 199)
  expect_identical(unname(sprays$n), c(12, 12))
})

test_that("confint at another level comes from the kept replicates, as a run at that level", {
  set.seed(49)
  x <- rnorm(15, 1)
  y <- rnorm(15)
  kept <- diffboot(x, y, paired = TRUE, R = 499, seed = 3, measures = "all", replicates = TRUE)
  at90 <- diffboot(x, y, paired = TRUE, R = 499, seed = 3, measures = "all", conf.level = 0.9)
  for (type in c("bca", "t", "percentile", "basic")) {
    expect_identical(unname(confint(kept, level = 0.9, type = type)), unname(confint(at90, type = type)), label = type)
  }
  expect_identical(colnames(confint(kept, "g", level = 0.9)), c("5 %", "95 %"))
  frame <- diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", R = 499, replicates = TRUE)
  expect_identical(confint(frame, level = "90%"),
                   confint(diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", R = 499, conf.level = 0.9)))
  expect_error(confint(diffboot(x, y, R = 199), "g", level = 0.9),
               "the intervals are 95% ones: for 90% ones run diffboot\\(\\) with replicates = TRUE", class = "diffboot_error")
})
