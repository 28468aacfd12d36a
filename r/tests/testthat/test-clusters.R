# The cluster bootstrap through diffboot(cluster =): the program's --cluster
# json bit for bit, the cluster named as text or as ~column, and what the
# formula method refuses.

sessions <- function() {
  d <- read.csv(file.path(source_dir(), "examples", "sessions.csv"), stringsAsFactors = FALSE)
  d$user[c(4L, 41L)] <- NA  # rows without a cluster, left out and counted
  d$revenue[6L] <- NA
  d
}

test_that("diffboot(cluster =) is the program's --cluster run", {
  dir <- withr::local_tempdir()
  d <- sessions()
  write_frame(d, file.path(dir, "sessions.csv"))
  for (case in list(list(cluster = "user", args = character()),
                    list(cluster = ~user, args = c("--acceleration", "samples"), acceleration = "samples"))) {
    j <- program_json(c("--table", "sessions.csv", "--by", "arm", "--value", "revenue", "--cluster", "user",
                        "--measures", "all", "-B", "999", case$args, "A", "B"), dir)
    r <- diffboot(revenue ~ arm, data = d, groups = c("A", "B"), cluster = case$cluster, measures = "all", R = 999,
                  acceleration = if (is.null(case$acceleration)) "grid" else case$acceleration)
    expect_same_as_json(r, j)
    expect_identical(unname(r$clusters), as.double(c(j$inputs$clusters_x, j$inputs$clusters_y,
                                                    j$inputs$no_cluster_x, j$inputs$no_cluster_y)))
  }
})

test_that("cluster = is refused where the formula method decides it", {
  d <- data.frame(user = c("u1", "u1", "u2", "u3", "v1", "v2", "v3"), arm = c("A", "A", "A", "A", "B", "B", "B"),
                  v = c(1, 2, 3, 4, 2, 3, 5))
  cases <- list(
    list(call = quote(diffboot(v ~ arm, data = d, cluster = "visitor")), message = "the data have no column \"visitor\""),
    list(call = quote(diffboot(v ~ arm, data = d, cluster = c("user", "arm"))), message = "cluster must name one column"),
    list(call = quote(diffboot(v ~ arm, data = d, cluster = "user", control = "A")),
         message = "cluster goes with a run of two groups"))
  for (case in cases) {
    expect_error(eval(case$call), case$message, fixed = TRUE, class = "diffboot_error")
  }
})
