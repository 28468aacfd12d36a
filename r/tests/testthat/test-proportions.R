# 0/1 outcomes and their counts through the package against the program's
# json: rows (numbers, logicals, texts) and counts, paired and unpaired, the
# test's p-value under the program's name, and each refusal once.

set.seed(49)
x01 <- as.double(runif(40) < 0.45)
y01 <- as.double(runif(36) < 0.3)
args <- c("--proportions", "--measures", "all", "-B", "299", "-s", "7", "--p-values", "--permutations", "199")

test_that("rows of outcomes give the program's numbers, the z-test named p_z", {
  rows <- list(
    list(what = "numbers", run = function() diffboot(x01, y01, proportions = TRUE, measures = "all", R = 299, seed = 7,
                                                     permutations = 199),
         x = x01, y = y01),
    list(what = "logicals with NA imply it",
         run = function() {
           d <- data.frame(v = c(TRUE, NA, FALSE, TRUE, TRUE, FALSE, FALSE, NA, TRUE), g = rep(c("a", "b"), c(5, 4)))
           suppressWarnings(diffboot(v ~ g, data = d, measures = "all", R = 299, seed = 7, permutations = 199))
         },
         x = c(TRUE, NA, FALSE, TRUE, TRUE), y = c(FALSE, FALSE, NA, TRUE)),
    list(what = "texts",
         run = function() {
           d <- data.frame(v = c("yes", "no", "yes", "yes", "no", "no", "no", "yes", "no", "no"), g = rep(c("a", "b"), each = 5))
           diffboot(v ~ g, data = d, proportions = TRUE, measures = "all", R = 299, seed = 7, permutations = 199)
         },
         x = c("yes", "no", "yes", "yes", "no"), y = c("no", "no", "yes", "no", "no"))
  )
  for (row in rows) {
    dir <- withr::local_tempdir()
    cell <- function(v) if (is.logical(v)) ifelse(is.na(v), "NA", ifelse(v, "TRUE", "FALSE")) else as.character(v)
    writeLines(c("g,v", paste0("a,", cell(row$x)), paste0("b,", cell(row$y))), file.path(dir, "t.csv"))
    j <- program_json(c("-u", args, "--table", "t.csv", "--by", "g", "--value", "v", "a", "b"), dir)
    r <- row$run()
    expect_same_as_json(r, j)
    frame <- as.data.frame(r)
    expect_identical(frame$p_z, as.double(j$measures$p_z), label = row$what)
    expect_null(frame$p_t)
  }
})

test_that("paired logical columns give the program's numbers, McNemar's test named p_mcnemar", {
  a <- x01[1:30] == 1
  b <- y01[1:30] == 1
  dir <- withr::local_tempdir()
  writeLines(c("a,b", paste(ifelse(a, "TRUE", "FALSE"), ifelse(b, "TRUE", "FALSE"), sep = ",")), file.path(dir, "t.csv"))
  j <- program_json(c("-p", args, "--table", "t.csv", "a", "b"), dir)
  r <- diffboot(Pair(a, b) ~ 1, data = data.frame(a = a, b = b), paired = TRUE, measures = "all", R = 299, seed = 7,
                permutations = 199)
  expect_identical(r$measures$measure, c("PROP_d", "lift", "h"))
  expect_same_as_json(r, j)
  expect_identical(as.data.frame(r)$p_mcnemar, as.double(j$measures$p_mcnemar))
})

test_that("counts give the program's numbers", {
  rows <- list(
    list(x = c(412, 10000), y = c(455, 10000), args = c("-u", "412/10000", "455/10000"), test = "p_z"),
    list(x = c(41200000, 1e9), y = c(45500000, 1e9), args = c("41200000/1000000000", "45500000/1000000000"),
         test = "p_z"),
    list(x = c(40, 12, 25, 123), y = NULL, args = c("-p", "40/12/25/123"), test = "p_mcnemar"),
    list(x = c(neither = 123, both = 40, y_only = 25, x_only = 12), y = NULL, args = "40/12/25/123",
         test = "p_mcnemar")
  )
  for (row in rows) {
    j <- program_json(c("--counts", "-B", "299", "-s", "7", "--p-values", row$args), tempdir())
    expect_warning(r <- diffboot_counts(row$x, row$y, R = 299, seed = 7, permutations = 9999),
                   "p_permutation is not given for counts")
    expect_same_as_json(r, j)
    expect_identical(as.data.frame(r)[[row$test]], as.double(j$measures[[row$test]]))
  }
})

test_that("each bad input is refused with the library's message", {
  rows <- list(
    list(run = function() diffboot(c(1, 0, 2, 1), c(0, 1, 1, 0), proportions = TRUE),
         message = "sample 1 holds 2, at position 3, which is not 0 or 1"),
    list(run = function() diffboot(Pair(a, b) ~ 1, data = data.frame(a = c("yes", "maybe", "no"), b = c("no", "no", "yes")),
                                   proportions = TRUE),
         message = "the column \"a\", row 2: \"maybe\""),
    list(run = function() diffboot_counts(c(412.5, 10000), c(455, 10000)),
         message = "sample 1: successes 412.5 is not a whole number"),
    list(run = function() diffboot_counts(c(3, 10), c(-4, 10)), message = "sample 2: successes -4 is not a whole number"),
    list(run = function() diffboot_counts(c(12, 10), c(4, 10)),
         message = "sample 1: 12 successes of 10 trials, more than the trials"),
    list(run = function() diffboot_counts(c(0, 0), c(4, 10)), message = "sample 1: no trials (0 trials)"),
    list(run = function() diffboot_counts(c(0, 0, 0, 0)), message = "the pairs' table holds no pairs"),
    list(run = function() diffboot_counts(c(5, 10), c(5, 10), measures = "d_AVE"),
         message = "d_AVE is not a measure of proportions"),
    list(run = function() diffboot_counts(c(1, 2, 3)), message = "a paired table c(both, x_only, y_only, neither)"),
    list(run = function() diffboot_counts(c(both = 1, x = 2, y = 3, neither = 4)),
         message = "the paired table is named both, x_only, y_only, neither")
  )
  for (row in rows) expect_error(row$run(), row$message, fixed = TRUE, class = "diffboot_error")
})
