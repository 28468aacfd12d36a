# Every number equals the command line's json for the same values: both
# experiments, numeric and integer values, missing values, every option.

cases <- list(
  list(paired = FALSE, sizes = c(23, 17), integer = FALSE, missing = 0, options = list(), args = character()),
  list(paired = TRUE, sizes = c(30, 30), integer = TRUE, missing = 0,
       options = list(conf.level = "90%", R = 499, seed = 7, measures = "all", permutations = 199, threads = 2),
       args = c("--level", "90%", "-B", "499", "-s", "7", "--measures", "all", "--p-values", "--permutations", "199")),
  list(paired = FALSE, sizes = c(40, 40), integer = FALSE, missing = 3,
       options = list(conf.level = 98, R = 299, seed = 123, measures = c("d_MED", "g", "delta"), permutations = 99,
                      threads = 1),
       args = c("--level", "98", "-B", "299", "-s", "123", "--measures", "d_MED,g,delta", "--p-values",
                "--permutations", "99")),
  list(paired = TRUE, sizes = c(12, 12), integer = FALSE, missing = 2, options = list(conf.level = 0.8, measures = "MED_d"),
       args = c("--level", "0.8", "--measures", "MED_d")),
  list(paired = FALSE, sizes = c(9, 14), integer = TRUE, missing = 0, options = list(seed = 2147483647),
       args = c("-s", "2147483647")),
  list(paired = TRUE, sizes = c(20, 20), integer = FALSE, missing = 0,
       options = list(quantiles = c(0.1, 0.999), measures = "all"),
       args = c("--quantiles", "0.1,0.999", "--measures", "all"))
)

test_that("every number equals the program's json", {
  set.seed(20240611)
  for (case in cases) {
    dir <- withr::local_tempdir()
    values <- lapply(case$sizes, function(n) {
      v <- exp(rnorm(n, 1, 0.8)) - 2
      if (case$integer) as.integer(round(v * 10)) else v
    })
    x <- values[[1]]
    y <- values[[2]]
    if (case$missing > 0) {
      x[sample(length(x), case$missing)] <- NA
      y[2] <- NaN
      write_table(x, y, file.path(dir, "t.csv"))
      samples <- c("--table", "t.csv", "a", "b")
    } else {
      write_values(x, file.path(dir, "x.txt"))
      write_values(y, file.path(dir, "y.txt"))
      samples <- c("x.txt", "y.txt")
    }
    r <- do.call(diffboot, c(list(x, y, paired = case$paired), case$options))
    expect_same_as_json(r, program_json(c(if (case$paired) "-p" else "-u", case$args, samples), dir))
  }
})

test_that("the replicates are the program's, a column per measure in replication order", {
  dir <- withr::local_tempdir()
  x <- c(0.4, 1.9, 2.2, 3.1, 0.7, 5.5, 2.6)
  y <- c(1.5, 2.5, 0.1, 4.2, 3.3, 2.8)
  write_values(x, file.path(dir, "x.txt"))
  write_values(y, file.path(dir, "y.txt"))
  r <- diffboot(x, y, R = 199, measures = c("d_AVE", "delta"), replicates = TRUE)
  out <- withr::with_dir(dir, system2(program(), c("--no-files", "-u", "-B", "199", "--measures", "d_AVE,delta",
                                                   "--replicates", "r.csv", "x.txt", "y.txt"), stdout = FALSE))
  written <- utils::read.csv(file.path(dir, "r.csv"))
  expect_identical(colnames(r$replicates), names(written))
  expect_identical(unname(r$replicates), unname(as.matrix(written)))
  expect_null(diffboot(x, y, R = 199)$replicates)
})

test_that("as.data.frame has the csv's columns and values", {
  dir <- withr::local_tempdir()
  x <- c(5.1, 4.9, 6.3, 5.8, 7.1, 6.6)
  y <- c(4.4, 5.0, 5.9, 4.8, 6.2, 6.0)
  write_values(x, file.path(dir, "x.txt"))
  write_values(y, file.path(dir, "y.txt"))
  for (permutations in c(0, 99)) {
    r <- diffboot(x, y, paired = TRUE, permutations = permutations, labels = c("x.txt", "y.txt"))
    args <- c("--no-files", "-p", "-f", "csv", if (permutations > 0) c("--p-values", "--permutations", "99"),
              "x.txt", "y.txt")
    csv <- withr::with_dir(dir, utils::read.csv(text = system2(program(), c(args), stdout = TRUE),
                                                stringsAsFactors = FALSE))
    doubles <- function(d) { d[] <- lapply(d, function(v) if (is.integer(v)) as.double(v) else v); d }
    expect_identical(doubles(as.data.frame(r)), doubles(csv))
  }
})
