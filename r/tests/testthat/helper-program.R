# The command line the package is compared with (DIFFBOOT_PROGRAM; the
# comparisons are skipped without it), and its json as R values.

fields <- c("estimate", "se", "bias", "t_lower", "t_upper", "bca_lower", "bca_upper", "percentile_lower",
            "percentile_upper", "basic_lower", "basic_upper", "z0", "acceleration")

program <- function() {
  path <- Sys.getenv("DIFFBOOT_PROGRAM")
  if (!nzchar(path)) skip("DIFFBOOT_PROGRAM names no program to compare with")
  path
}

# Values one a line, each read back as the same double.
write_values <- function(values, path) writeLines(sprintf("%.17g", values), path)

# A table of the columns a and b, a missing value an empty cell.
write_table <- function(a, b, path) {
  cell <- function(v) ifelse(is.na(v), "", sprintf("%.17g", v))
  writeLines(c("a,b", paste(cell(a), cell(b), sep = ",")), path)
}

program_json <- function(args, dir) {
  out <- withr::with_dir(dir, system2(program(), c("--no-files", "-f", "json", args), stdout = TRUE, stderr = FALSE))
  expect_null(attr(out, "status"))
  jsonlite::fromJSON(paste(out, collapse = "\n"))
}

# Every number of r equals the program's json bit for bit (json's null: a
# value that is not finite).
expect_same_as_json <- function(r, j) {
  inputs <- j$inputs
  expect_identical(unname(c(r$n, r$missing)), as.double(c(inputs$n_x, inputs$n_y, inputs$missing_x, inputs$missing_y)))
  expect_identical(c(r$experiment, r$R, r$seed), c(inputs$experiment, inputs$B, inputs$seed))
  expect_identical(c(r$alpha, r$conf.level), c(inputs$alpha, inputs$level))
  expect_identical(r$measures$measure, j$measures$measure)
  for (f in c(fields, if (r$permutations > 0L) c("p_permutation", "p_t"))) {
    ours <- r$measures[[f]]
    theirs <- as.double(j$measures[[if (f == "p_t" && !is.null(r$test)) r$test else f]])  # p_z, p_mcnemar
    ours[!is.finite(ours)] <- NA_real_
    expect_identical(ours, theirs, label = f)
  }
}

# A data frame as the program's table: a header, cells written as R prints
# them, NA as "NA" and numbers to 17 digits.
write_frame <- function(d, path) {
  cells <- lapply(d, function(v) {
    text <- if (is.double(v)) sprintf("%.17g", v) else as.character(v)
    ifelse(is.na(v), "NA", text)
  })
  writeLines(c(paste(names(d), collapse = ","), do.call(paste, c(cells, sep = ","))), path)
}

# The program's message when it refuses `args` (its "diffboot: " prefix left off).
program_refusal <- function(args, dir) {
  out <- withr::with_dir(dir, suppressWarnings(system2(program(), c("--no-files", args), stdout = TRUE, stderr = TRUE)))
  expect_false(is.null(attr(out, "status")))
  sub("^diffboot: ", "", out[grepl("^diffboot: ", out)][1L])
}

# The source tree: DIFFBOOT_SOURCE, else the tree the test directory is in.
source_dir <- function() {
  dir <- Sys.getenv("DIFFBOOT_SOURCE")
  if (nzchar(dir)) return(dir)
  up <- normalizePath(file.path(testthat::test_path(), "..", "..", ".."), mustWork = FALSE)
  if (!file.exists(file.path(up, "doc", "r.md"))) skip("no source tree with doc/r.md")
  up
}
