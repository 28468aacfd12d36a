# Every input the package refuses: an R error with the library's or the
# package's message, never a crash.

test_that("bad input stops with the message", {
  ok <- c(1.5, 2.5, 3.5, 4.5)
  rows <- list(
    list(quote(diffboot(c(1, 2), ok)), "Too few values for an unpaired experiment"),
    list(quote(diffboot(c(1, NA, NA, 2), ok)), "Too few values for an unpaired experiment"),
    list(quote(diffboot(numeric(0), ok)), "sample 1 has no values"),
    list(quote(diffboot(c(NA, NA, NA), ok[1:3], paired = TRUE)), "sample 1 has no values"),
    list(quote(diffboot(ok, c(1, 2, 3), paired = TRUE)), "paired"),
    list(quote(diffboot(c(1, Inf, 3, 4), ok)), "sample 1 holds a value that is not a finite number, at position 2"),
    list(quote(diffboot(c("a", "b", "c"), ok)), "x must be a numeric vector, not character"),
    list(quote(diffboot(factor(1:3), ok)), "x must be a numeric vector, not factor"),
    list(quote(diffboot(ok)), "give x and y"),
    list(quote(diffboot(ok, ok, R = 50)), "R 50 is not a whole number from 99 to 1000000"),
    list(quote(diffboot(ok, ok, R = 199.5)), "R 199.5 is not a whole number from 99 to 1000000"),
    list(quote(diffboot(ok, ok, seed = 0)), "seed 0 is not a whole number from 1 to 2147483647"),
    list(quote(diffboot(ok, ok, permutations = 10)), "permutations 10 is not a whole number from 99 to 1000000"),
    list(quote(diffboot(ok, ok, conf.level = 0.9995)), "level 0.9995 is not a level from 0.5 to 0.999"),
    list(quote(diffboot(ok, ok, conf.level = "95 percent")), "level \"95 percent\" is not a level from 0.5 to 0.999"),
    list(quote(diffboot(ok, ok, paired = NA)), "paired must be TRUE or FALSE"),
    list(quote(diffboot(ok, ok, measures = "cohen")), "\"cohen\" is not a measure; the measures of an unpaired experiment are"),
    list(quote(diffboot(ok, ok, paired = TRUE, measures = "delta")), "delta is not a measure of a paired experiment"),
    list(quote(diffboot(ok, ok, bogus = 1)), "unused argument: bogus"),
    list(quote(diffboot(weight ~ feed, data = chickwts)), "feed has 6 groups"),
    list(quote(diffboot(weight ~ feed, data = chickwts, groups = c("casein", "tofu"))), "the data have no group \"tofu\" in column \"feed\""),
    list(quote(diffboot(weight ~ feed, data = chickwts, groups = c("casein", "casein"))), "\"casein\" and \"casein\" name the same group"),
    list(quote(diffboot(extra ~ group, data = sleep, id = "ID")),
         "the ids pair rows: they go with a paired experiment"),
    list(quote(diffboot(weight ~ feed, data = chickwts, groups = c("casein", "soybean"), paired = TRUE)),
         "the groups \"casein\" and \"soybean\" have 12 and 14 rows: pair them by id \\(id =\\)"),
    list(quote(diffboot(extra ~ group, data = sleep, paired = TRUE, id = "patient")), "no column \"patient\""),
    list(quote(diffboot(extra ~ group, data = rbind(sleep, sleep[1, ]), paired = TRUE, id = "ID")),
         "the data have the id \"1\" twice in the group \"1\" \\(rows 1 and 21\\)"),
    list(quote(diffboot(~ group, data = sleep)), "the formula must be"),
    list(quote(diffboot(ok, ok, R = "199")), "R must be one number, not \"199\""),
    list(quote(diffboot(ok, ok, conf.level = c(0.9, 0.95))), "conf.level must be a level such as 0.95"),
    list(quote(diffboot(v ~ g, data = data.frame(v = c("1", "x", "3", "4"), g = c("a", "a", "b", "b")))),
         "the column \"v\", row 2: \"x\" is not a number"),
    list(quote(diffboot(v ~ g, data = data.frame(v = c(TRUE, FALSE, TRUE, TRUE, NA, FALSE), g = rep(c("a", "b"), 3)),
                        measures = "d_AVE")),
         "d_AVE is not a measure of proportions"),
    list(quote(diffboot(weight ~ feed, data = chickwts, subset = weight > 340, groups = c("casein", "soybean"))),
         "the data have no group \"soybean\" in column \"feed\""),
    list(quote(diffboot(extra ~ group, data = list2env(as.list(sleep)), paired = TRUE, id = "patient")),
         "no column \"patient\""),
    list(quote(diffboot(Pair(extra.1, extra.2) ~ 1, data = reshape(sleep, direction = "wide", idvar = "ID", timevar = "group"),
                        labels = "a", bogus = 2)), "unused argument: bogus"),
    list(quote(confint(diffboot(ok, ok), level = 0.9)), "the intervals are 95% ones: for 90% ones run diffboot"),
    list(quote(confint(diffboot(ok, ok), "g")), "parm names no measure")
  )
  for (row in rows) {
    expect_error(eval(row[[1]]), row[[2]], class = "diffboot_error", label = deparse1(row[[1]]))
  }
})

test_that("Ctrl-C stops a long run and leaves R working", {
  skip_if_not_installed("processx")
  script <- withr::local_tempfile(fileext = ".R")
  writeLines(c(
    "library(diffboot)",
    "x <- rnorm(2e5); y <- rnorm(2e5)",
    "cat('started\\n')",
    "r <- tryCatch(diffboot(x, y, R = 1e6, threads = 1), interrupt = function(e) 'interrupted')",
    "cat(r, '\\n')",
    "cat(sum(1:10), '\\n')"
  ), script)
  lib <- paste(.libPaths(), collapse = .Platform$path.sep)
  p <- processx::process$new(file.path(R.home("bin"), "Rscript"), script, stdout = "|", stderr = "|",
                             env = c("current", R_LIBS = lib))
  out <- ""
  while (!grepl("started", out) && p$is_alive()) {
    p$poll_io(10000)
    out <- paste0(out, p$read_output())
  }
  Sys.sleep(0.5)
  p$interrupt()
  p$wait(120000)
  out <- paste0(out, p$read_all_output())
  expect_false(p$is_alive())
  expect_match(out, "interrupted \n55")
  expect_identical(p$get_exit_status(), 0L)
})
