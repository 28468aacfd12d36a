# A frame's groups and columns are read by the library's rules: the same
# pairing, counts and messages as the program's --table for the same file.

long <- function(v, g, id = NULL) {
  d <- data.frame(v = v, g = g, stringsAsFactors = FALSE)
  if (!is.null(id)) d$id <- id
  d
}

test_that("a long frame is paired and counted as the program pairs and counts its table", {
  rows <- list(
    list(what = "NA id: the row left out and counted",
         d = long(c(1.1, 2.2, 3.3, 4.4, 5.5, 2, 3, 4, 5, 6), rep(c("a", "b"), each = 5), c(1, 2, NA, 4, 5, 1:5))),
    list(what = "NA and empty text ids, an id in one group only, a third group",
         d = long(c(1.1, 2.2, 3.3, 4.4, 2, 3, 4, 5, 9), c(rep("a", 4), rep("b", 4), "c"),
                  c("x", "", "z", "w", "x", "y", NA, "w", "q"))),
    list(what = "missing values beside ids",
         d = long(c(1.5, NA, 3.5, 4.5, 0.5, 2, 3, NA, 5, 1), rep(c("a", "b"), each = 5), c(5:1, 1:5))),
    list(what = "groups of equal size without an id, in row order",
         d = long(c(1.5, 2.5, NA, 4.5, 2, 3, 4, 5.5), rep(c("a", "b"), 4)))
  )
  for (row in rows) {
    dir <- withr::local_tempdir()
    write_frame(row$d, file.path(dir, "t.csv"))
    by_id <- !is.null(row$d$id)
    r <- suppressMessages(diffboot(v ~ g, data = row$d, groups = c("a", "b"), paired = TRUE,
                                   id = if (by_id) "id", R = 199))
    j <- program_json(c("-p", "-B", "199", "--table", "t.csv", "--by", "g", "--value", "v",
                        if (by_id) c("--id", "id"), "a", "b"), dir)
    expect_same_as_json(r, j)
    expect_identical(r$pairs_dropped, as.double(j$inputs$pairs_dropped), label = row$what)
  }
})

test_that("paired groups of unequal size without an id are refused, as the program refuses them", {
  d <- long(1:7, rep(c("a", "b"), c(4, 3)))
  dir <- withr::local_tempdir()
  write_frame(d, file.path(dir, "t.csv"))
  theirs <- program_refusal(c("-p", "--table", "t.csv", "--by", "g", "--value", "v", "a", "b"), dir)
  expect_identical(theirs, "the groups \"a\" and \"b\" have 4 and 3 rows: pair them by id (--id COLUMN)")
  ours <- tryCatch(diffboot(v ~ g, data = d, paired = TRUE), diffboot_error = conditionMessage)
  expect_identical(ours, sub("--id COLUMN", "id =", theirs, fixed = TRUE))
})

test_that("labels, subset and data as an environment go with both formula forms", {
  wide <- reshape(sleep, direction = "wide", idvar = "ID", timevar = "group")
  shown <- c("drug 1", "drug 2")
  by_id <- diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", R = 199, labels = shown)
  by_columns <- diffboot(Pair(extra.1, extra.2) ~ 1, data = wide, paired = TRUE, R = 199, labels = shown,
                         conf.level = 0.9)
  expect_identical(by_id$labels, shown)
  expect_identical(by_columns$labels, shown)
  expect_identical(by_columns$conf.level, 0.9)
  expect_identical(by_id$measures, diffboot(wide$extra.1, wide$extra.2, paired = TRUE, R = 199)$measures)

  heavy <- chickwts$weight > 200
  subset_run <- diffboot(weight ~ feed, data = chickwts, subset = weight > 200, groups = c("casein", "soybean"),
                         R = 199)
  expect_identical(subset_run$measures,
                   diffboot(chickwts$weight[heavy & chickwts$feed == "casein"],
                            chickwts$weight[heavy & chickwts$feed == "soybean"], R = 199)$measures)
  expect_identical(subset_run$labels, c("casein", "soybean"))
  ids <- sleep$ID != "3"
  paired_subset <- diffboot(extra ~ group, data = sleep, subset = ID != "3", paired = TRUE, id = "ID", R = 199)
  expect_identical(paired_subset$n, c(x = 9, y = 9))
  expect_identical(paired_subset$measures,
                   diffboot(sleep$extra[ids & sleep$group == 1], sleep$extra[ids & sleep$group == 2], paired = TRUE,
                            R = 199)$measures)
  limit <- 200
  expect_identical(diffboot(weight ~ feed, data = chickwts, subset = weight > limit, groups = c("casein", "soybean"),
                            R = 199)$measures, subset_run$measures)

  in_environment <- diffboot(extra ~ group, data = list2env(as.list(sleep)), paired = TRUE, id = "ID", R = 199)
  expect_identical(in_environment$measures, by_id$measures)
  extra <- sleep$extra
  group <- sleep$group
  ID <- sleep$ID
  expect_identical(diffboot(extra ~ group, paired = TRUE, id = "ID", R = 199)$measures, by_id$measures)
})

test_that("a frame's columns of every R kind are read as the program reads their texts", {
  values <- c(1.5, 2.25, 3, 4.75, 2, 3.5, 4, 6)
  g <- rep(c("a", "b"), each = 4)
  expected <- diffboot(values[1:4], values[5:8], R = 199)$measures
  rows <- list(
    list(what = "character values", d = data.frame(v = as.character(values), g = g)),
    list(what = "factor values", d = data.frame(v = factor(values), g = g)),
    list(what = "integer-valued groups", d = data.frame(v = values, g = rep(1:2, each = 4)), groups = c(1, 2)),
    list(what = "groups named by numbers of a text column", d = data.frame(v = values, g = rep(c("1.0", "2"), each = 4)),
         groups = c(1, 2)),
    list(what = "logical groups", d = data.frame(v = values, g = rep(c(TRUE, FALSE), each = 4)), groups = c(TRUE, FALSE)),
    list(what = "a factor with NA groups", d = data.frame(v = c(values, 99), g = factor(c(g, NA))))
  )
  for (row in rows) {
    r <- diffboot(v ~ g, data = row$d, groups = if (is.null(row$groups)) c("a", "b") else row$groups, R = 199)
    expect_identical(r$measures, expected, label = row$what)
  }
  factor_ids <- diffboot(v ~ g, data = data.frame(v = values, g = g, id = factor(c(1:4, 4:1))), paired = TRUE,
                         id = "id", R = 199)
  expect_identical(factor_ids$measures, diffboot(values[1:4], values[8:5], paired = TRUE, R = 199)$measures)
})
