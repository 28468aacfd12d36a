# Several groups: diffboot(control = , sequential = TRUE) gives the program's
# json for --control and --sequential, comparison by comparison (p_holm too);
# a comparison of too few pairs stops alone with a warning; each bad input
# is refused once.

growth <- function() {
  path <- testthat::test_path("..", "..", "..", "examples", "chick_growth.csv")
  if (!file.exists(path)) skip("no source tree with examples/chick_growth.csv")
  utils::read.csv(path)
}

# Ids missing from some times; day21 shares a single id with day10.
too_few_pairs <- function() {
  set.seed(48)
  d <- expand.grid(id = 1:8, time = c("day0", "day10"), stringsAsFactors = FALSE)
  d$weight <- rnorm(nrow(d), 40 + 10 * (d$time == "day10"), 3)
  rbind(d, data.frame(id = c(1, 20, 21), time = "day21", weight = c(70, 71.5, 69)))
}

expect_comparisons_as_json <- function(r, j) {
  expect_identical(c(r$design, r$groups), c(j$design, j$groups))
  expect_identical(names(r$comparisons), j$comparisons$comparison)
  for (k in seq_along(r$comparisons)) {
    c <- r$comparisons[[k]]
    expect_identical(c$comparison, j$comparisons$comparison[k])
    expect_null(c$stopped)
    inputs <- lapply(j$comparisons$inputs, `[`, k)
    measures <- j$comparisons$measures[[k]]
    expect_same_as_json(c, list(inputs = inputs, measures = measures))
    if (!is.null(measures$p_holm)) expect_identical(c$measures$p_holm, as.double(measures$p_holm))
  }
}

test_that("each comparison is the program's", {
  chick_args <- c("--table", "t.csv", "--by", "feed", "--value", "weight")
  cases <- list(
    list(what = "against a control, with Holm", data = chickwts,
         run = function(d) diffboot(weight ~ feed, data = d, control = "casein", groups = c("horsebean", "linseed"),
                                    permutations = 199, R = 299, seed = 11),
         args = c("-u", "--p-values", "--permutations", "199", chick_args, "--control", "casein", "horsebean",
                  "linseed")),
    list(what = "every other level of the factor, in order", data = chickwts,
         run = function(d) diffboot(weight ~ feed, data = d, control = "linseed", measures = "all", R = 299, seed = 11),
         args = c("-u", "--measures", "all", chick_args, "--control", "linseed", "casein", "horsebean", "meatmeal",
                  "soybean", "sunflower")),
    list(what = "groups that are numbers", data = ToothGrowth,
         run = function(d) diffboot(len ~ dose, data = d, sequential = TRUE, R = 299, seed = 11),
         args = c("-u", "--table", "t.csv", "--by", "dose", "--value", "len", "--sequential", "0.5", "1", "2")),
    list(what = "in sequence, paired by id", data = growth(),
         run = function(d) diffboot(value ~ time, data = d, id = "id", paired = TRUE, sequential = TRUE,
                                    groups = c("day0", "day10", "day21"), permutations = 199, R = 299, seed = 11),
         args = c("-p", "--p-values", "--permutations", "199", "--table", "t.csv", "--by", "time", "--value", "value",
                  "--id", "id", "--sequential", "day0", "day10", "day21"))
  )
  for (case in cases) {
    dir <- withr::local_tempdir()
    write_frame(case$data, file.path(dir, "t.csv"))
    r <- suppressWarnings(case$run(case$data))
    j <- program_json(c("-B", "299", "-s", "11", case$args), dir)
    expect_comparisons_as_json(r, j)
  }
})

test_that("as.data.frame is the program's csv; confint and coef name the comparisons", {
  dir <- withr::local_tempdir()
  write_frame(chickwts, file.path(dir, "t.csv"))
  r <- diffboot(weight ~ feed, data = chickwts, control = "casein", groups = c("horsebean", "soybean"),
                permutations = 99, R = 199, replicates = TRUE)
  out <- withr::with_dir(dir, system2(program(), c("--no-files", "-f", "csv", "-u", "-B", "199", "--p-values",
                                                   "--permutations", "99", "--table", "t.csv", "--by", "feed",
                                                   "--value", "weight", "--control", "casein", "horsebean",
                                                   "soybean"), stdout = TRUE, stderr = FALSE))
  theirs <- utils::read.csv(text = out, stringsAsFactors = FALSE)
  ours <- as.data.frame(r)
  expect_identical(names(ours), names(theirs))
  expect_identical(ours$comparison, theirs$comparison)
  expect_equal(ours$p_holm, theirs$p_holm)
  bounds <- confint(r, "d_AVE", type = "t")
  expect_identical(rownames(bounds), c("horsebean - casein: d_AVE", "soybean - casein: d_AVE"))
  expect_identical(unname(bounds[2L, ]), unname(confint(r$comparisons[["soybean - casein"]], "d_AVE", type = "t")[1L, ]))
  expect_identical(coef(r)[["soybean - casein: d_MED"]], r$comparisons[[2L]]$measures$estimate[2L])
  # at another level from each comparison's replicates, as a run of its two groups at that level
  at90 <- diffboot(weight ~ feed, data = chickwts, groups = c("soybean", "casein"), R = 199, conf.level = 0.9)
  expect_identical(unname(confint(r, level = 0.9)[5:8, ]), unname(confint(at90)))
})

test_that("a repeated-measures comparison of too few pairs stops alone, with a warning", {
  d <- too_few_pairs()
  dir <- withr::local_tempdir()
  write_frame(d, file.path(dir, "t.csv"))
  expect_warning(r <- diffboot(weight ~ time, data = d, id = "id", paired = TRUE, sequential = TRUE, R = 299),
                 "^day21 - day10: Too few values for a paired experiment", class = "diffboot_warning")
  out <- withr::with_dir(dir, suppressWarnings(system2(
    program(), c("--no-files", "-f", "json", "-p", "-B", "299", "--table", "t.csv", "--by", "time", "--value",
                 "weight", "--id", "id", "--sequential", "day0", "day10", "day21"), stdout = TRUE, stderr = FALSE)))
  expect_identical(attr(out, "status"), 1L)
  j <- jsonlite::fromJSON(paste(out, collapse = "\n"), simplifyVector = FALSE)
  expect_identical(r$comparisons[[2L]]$stopped, j$comparisons[[2L]]$stopped)
  expect_identical(nrow(r$comparisons[[2L]]$measures), 0L)
  expect_identical(unique(as.data.frame(r)$comparison), "day10 - day0")
  expect_identical(r$comparisons[[1L]]$measures$estimate,
                   vapply(j$comparisons[[1L]]$measures, function(m) m$estimate, 0))
  expect_true(any(grepl("^stopped: Too few values", capture.output(print(r)))))
})

test_that("bad groups are refused", {
  rows <- list(
    list(quote(diffboot(weight ~ feed, data = chickwts, control = "casein", groups = c("horsebean", "tofu"))),
         "no group \"tofu\" in column \"feed\" \\(its groups: casein, horsebean, linseed"),
    list(quote(diffboot(weight ~ feed, data = chickwts, control = "casein", groups = c("soybean", "soybean"))),
         "the group \"soybean\" is named twice"),
    list(quote(diffboot(weight ~ feed, data = chickwts, control = "casein", groups = character(0))),
         "1 group named \\(\"casein\"\\), but a comparison needs two"),
    list(quote(diffboot(weight ~ feed, data = chickwts, control = "casein", groups = c("soybean", "casein"))),
         "the control \"casein\" is among the groups compared with it"),
    list(quote(diffboot(weight ~ feed, data = chickwts, control = "casein", sequential = TRUE)),
         "two designs: give one"),
    list(quote(diffboot(weight ~ feed, data = chickwts, control = "casein", labels = c("a", "b"))),
         "labels name the two samples of one run")
  )
  for (row in rows) expect_error(eval(row[[1L]]), row[[2L]], class = "diffboot_error")
})
