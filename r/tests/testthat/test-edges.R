# Every door the same: data sets at the edges of what the program reads
# through the program's json and through the package, bit for bit.

set.seed(2026)
edge_cases <- list(
  list("ties", c(1, 1, 1, 2, 2, 3, 3, 3), c(1, 2, 2, 2, 3, 3, 3, 4, 4)),
  list("negative zeros", c(-0, 0, 1, -1, 2, -0), c(0, -0, 3, 4, 0.5)),
  list("missing values", c(1, NA, 3, 4, 5, NaN), c(2, 3, NA, 5, 6)),
  list("near the largest doubles", rnorm(12, 3) * 1e155, rnorm(10, 2) * 1e155),
  list("near the smallest doubles", rnorm(12, 3) * 1e-155, rnorm(10, 2) * 1e-155),
  list("tiny samples", c(1.5, 2.5, 9), c(0.5, 1, 1.25)),
  list("skewed", rlnorm(40, 0, 1.5), rlnorm(35, 0.3, 1.2)),
  list("negative mean of y", c(1, 2, 3, 4), c(-5, -6, -7, -4))
)

edge_args <- c("--measures", "all", "--quantiles", "0.1,0.5,0.9", "-B", "299", "-s", "17")

test_that("unpaired data sets at the edges equal the program's json", {
  dir <- withr::local_tempdir()
  for (case in edge_cases) {
    d <- data.frame(g = rep(c("x", "y"), c(length(case[[2]]), length(case[[3]]))), v = c(case[[2]], case[[3]]))
    write_frame(d, file.path(dir, "t.csv"))
    j <- program_json(c("-u", edge_args, "--table", "t.csv", "--by", "g", "--value", "v", "x", "y"), dir)
    r <- diffboot(v ~ g, data = d, groups = c("x", "y"), measures = "all", quantiles = c(0.1, 0.5, 0.9), R = 299,
                  seed = 17)
    expect_same_as_json(r, j)
  }
})

test_that("paired data sets with missing halves equal the program's json", {
  dir <- withr::local_tempdir()
  pairs <- list(list(c(1, NA, 3, 4, 5, 6, NA), c(2, 3, NA, 5, 6.5, 8, NA)),
                list(c(-0, 1, 2, 0, 3), c(0, 1, -0, 0.5, 2)),
                list(rnorm(9, 2) * 1e-160, rnorm(9, 1) * 1e-160))
  for (p in pairs) {
    d <- data.frame(a = p[[1]], b = p[[2]])
    write_frame(d, file.path(dir, "t.csv"))
    j <- program_json(c("-p", edge_args, "--table", "t.csv", "a", "b"), dir)
    r <- diffboot(Pair(a, b) ~ 1, data = d, paired = TRUE, measures = "all", quantiles = c(0.1, 0.5, 0.9),
                  R = 299, seed = 17)
    expect_same_as_json(r, j)
  }
})

test_that("the notes the program says beside its numbers are warnings", {
  dir <- withr::local_tempdir()
  write_values(c(1, 2, 3, 4), file.path(dir, "x.txt"))
  write_values(c(-5, -6, -7, -4), file.path(dir, "y.txt"))
  said <- withr::with_dir(dir, suppressWarnings(system2(program(), c("--no-files", "-u", "--measures", "lift", "x.txt",
                                                                        "y.txt"), stdout = FALSE, stderr = TRUE)))
  said <- trimws(said[grepl("reads reversed", said)])
  expect_length(said, 1L)
  expect_warning(diffboot(c(1, 2, 3, 4), c(-5, -6, -7, -4), measures = "lift"), said, fixed = TRUE,
                 class = "diffboot_warning")
})
