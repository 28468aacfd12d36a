# What R users do with a "diffboot" object: print, summary, as.data.frame,
# coef and confint.

# The result fields in the command line's csv column order.
result_fields <- c("estimate", "se", "bias", "t_lower", "t_upper", "bca_lower", "bca_upper", "percentile_lower",
                   "percentile_upper", "basic_lower", "basic_upper", "z0", "acceleration")

caption <- function(x) {
  c(sprintf("Bootstrap intervals, %s experiment: %s - %s", x$experiment, x$labels[1L], x$labels[2L]),
    sprintf("%s%% intervals, B = %d, seed %d", format(100 * x$conf.level), x$R, x$seed),
    paste0(sprintf("n = %s, %s; missing %s, %s", format(x$n[["x"]]), format(x$n[["y"]]),
                   format(x$missing[["x"]]), format(x$missing[["y"]])),
           if (!is.null(x$pairs_dropped)) sprintf("; pairs left out %s", format(x$pairs_dropped))),
    if (!is.null(x$stopped)) paste("stopped:", x$stopped))
}

# The fields a measure printed in percent (lift) shows times 100: its
# estimate and what is in its units; z0, the acceleration and p-values not.
percent_fields <- c("estimate", "se", "bias", "t_lower", "t_upper", "bca_lower", "bca_upper", "percentile_lower",
                    "percentile_upper", "basic_lower", "basic_upper")

# The table printed for people: the measures by name, lift as "lift%" in
# percent (the library says which), as the command line's text report.
measure_table <- function(x, columns, headings) {
  table <- as.matrix(x$measures[, columns, drop = FALSE])
  names <- x$measures$measure
  percent <- if (is.null(x$percent)) rep(FALSE, length(names)) else x$percent
  scaled <- intersect(columns, percent_fields)
  table[percent, match(scaled, columns)] <- 100 * table[percent, match(scaled, columns)]
  names[percent] <- paste0(names[percent], "%")
  dimnames(table) <- list(names, headings)
  table
}

#' The results of diffboot()
#'
#' \code{print} shows each measure's estimate with its Student's t and BCa
#' intervals (the command line's columns and order), under the level, B,
#' seed, sample sizes and missing counts; \code{summary} adds the standard
#' error, bias, percentile and basic intervals, z0, acceleration and the
#' p-values. Both show lift in percent, as \code{lift\%}. \code{as.data.frame}
#' gives one row per measure with the columns of the command line's csv,
#' \code{coef} the estimates and \code{confint} the intervals of one type:
#' these are data, lift in them a fraction.
#'
#' @param x,object a result of \code{\link{diffboot}} (or of its \code{summary}).
#' @param digits significant digits printed.
#' @param row.names,optional as for \code{\link{as.data.frame}}.
#' @param parm the measures, by name or number; all by default.
#' @param level the intervals' level: by default the run's. Another level
#'   needs the run's replicates (\code{replicates = TRUE}): the intervals are
#'   then formed again from the same replicates (the same data, seed and
#'   B), as a run at that level gives them; without them \code{confint}
#'   says how to get them.
#' @param type which interval: BCa, Student's t, percentile or basic.
#' @param ... passed on to \code{print}, unused elsewhere.
#'
#' @return \code{coef}: a named numeric vector. \code{confint}: a matrix, a row
#'   per measure, its columns the lower and upper bounds labelled with their
#'   percentages. \code{as.data.frame}: a data frame; \code{summary}: an
#'   object of class \code{"summary.diffboot"}.
#'
#' @examples
#' r <- diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", R = 999)
#' r
#' summary(r)
#' coef(r)
#' confint(r)
#' confint(r, "AVE_d", type = "t")
#' k <- diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", R = 999, replicates = TRUE)
#' confint(k, level = 0.9)
#' as.data.frame(r)
#' @method print diffboot
#' @export
print.diffboot <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("", caption(x), "", sep = "\n")
  if (!is.null(x$stopped)) return(invisible(x))
  print(measure_table(x, c("estimate", "t_lower", "t_upper", "bca_lower", "bca_upper"),
                      c("estimate", "t lower", "t upper", "BCa lower", "BCa upper")), digits = digits, ...)
  invisible(x)
}

#' @rdname print.diffboot
#' @method summary diffboot
#' @export
summary.diffboot <- function(object, ...) {
  columns <- c(result_fields, if (object$permutations > 0L) c("p_permutation", "p_t"),
               if (object$permutations > 0L && !is.null(object$measures$p_holm)) "p_holm")
  headings <- replace(columns, columns == "p_t", test_name(object))
  structure(class = "summary.diffboot",
            list(caption = caption(object), permutations = object$permutations, stopped = object$stopped,
                 table = measure_table(object, columns, headings)))
}

#' @rdname print.diffboot
#' @method print summary.diffboot
#' @export
print.summary.diffboot <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("", x$caption, sep = "\n")
  if (!is.null(x$stopped)) return(invisible(x))
  if (x$permutations > 0L) cat(sprintf("p-values from %d permutations\n", x$permutations))
  cat("\n")
  print(t(x$table), digits = digits, ...)
  invisible(x)
}

#' @rdname print.diffboot
#' @method as.data.frame diffboot
#' @export
as.data.frame.diffboot <- function(x, row.names = NULL, optional = FALSE, ...) {
  m <- x$measures
  out <- data.frame(measure = m$measure, m[result_fields], alpha = x$alpha, level = x$conf.level, B = x$R,
                    n_x = x$n[["x"]], n_y = x$n[["y"]], experiment = x$experiment, seed = x$seed,
                    missing_x = x$missing[["x"]], missing_y = x$missing[["y"]], stringsAsFactors = FALSE,
                    row.names = row.names)
  if (!is.null(x$pairs_dropped)) out$pairs_dropped <- x$pairs_dropped
  if (x$permutations > 0L) {
    out$p_permutation <- m$p_permutation
    out[[test_name(x)]] <- m$p_t
    out$permutations <- x$permutations
    if (!is.null(m$p_holm)) out$p_holm <- m$p_holm
  }
  out$sample1 <- x$labels[1L]
  out$sample2 <- x$labels[2L]
  if (!is.null(x$comparison)) out <- cbind(comparison = rep(x$comparison, nrow(out)), out, stringsAsFactors = FALSE)
  out
}

# The name the command line's csv gives the test's p-value: p_t, of
# proportions p_z or p_mcnemar (the library says which).
test_name <- function(x) if (is.null(x$test)) "p_t" else x$test

#' @rdname print.diffboot
#' @method coef diffboot
#' @export
coef.diffboot <- function(object, ...) stats::setNames(object$measures$estimate, object$measures$measure)

#' @rdname print.diffboot
#' @method confint diffboot
#' @export
confint.diffboot <- function(object, parm, level = object$conf.level, type = c("bca", "t", "percentile", "basic"),
                             ...) {
  type <- match.arg(type)
  if (!isTRUE(all.equal(level, object$conf.level))) object <- at_level(object, level)
  names <- object$measures$measure
  if (missing(parm)) parm <- names
  if (is.numeric(parm)) parm <- names[parm]
  unknown <- setdiff(parm, names)
  if (length(unknown) > 0L || anyNA(parm)) {
    fail(sprintf("parm names no measure of this result (%s)", paste(names, collapse = ", ")))
  }
  rows <- match(parm, names)
  a <- object$alpha
  out <- cbind(object$measures[[paste0(type, "_lower")]][rows], object$measures[[paste0(type, "_upper")]][rows])
  dimnames(out) <- list(parm, paste(format(100 * c(a, 1 - a), trim = TRUE, scientific = FALSE, digits = 3), "%"))
  out
}

# The result at another level, formed from the same replicates: the run again
# on its data with its seed and B, which draws them again as they were.
at_level <- function(object, level) {
  if (is.null(object$replicates) || is.null(object$settings)) {
    fail(sprintf(paste("the intervals are %s%% ones: for %s%% ones run diffboot() with replicates = TRUE, whose",
                       "confint() gives any level, or again with conf.level = %s"),
                 format(100 * object$conf.level), format(100 * level), format(level)))
  }
  s <- object$settings
  s$level <- if (is.numeric(level) || is.character(level)) level else fail("level must be a level such as 0.9")
  s$replicates <- FALSE
  core <- .analyse(object$data$x, object$data$y, object$counts, s)
  if (!is.null(core$error)) fail(core$error)
  object$measures <- as.data.frame(core$measures, stringsAsFactors = FALSE)
  object$conf.level <- core$level
  object$alpha <- core$alpha
  object
}

#' The results of diffboot() of several groups
#'
#' \code{diffboot(value ~ group, data, control = )} and \code{sequential =
#' TRUE} give an object of class \code{"diffboot_comparisons"}: in
#' \code{$comparisons} a \code{"diffboot"} object a comparison, named by it
#' (\code{"horsebean - casein"}), each the run of its two groups alone, with
#' \code{$comparison}, and \code{$stopped} saying why when its samples were
#' too few (it then has no measures). \code{print} and \code{summary} show
#' each comparison as \code{\link{print.diffboot}} does; with permutations
#' each measure's \code{p_holm} is its permutation p-value adjusted across
#' the comparisons by Holm's method (the intervals are each comparison's
#' own). \code{as.data.frame} gives the command line's csv: a first column
#' \code{comparison}, then the columns of \code{as.data.frame.diffboot}.
#' \code{coef} and \code{confint} give each comparison's, their rows named
#' \code{"comparison: measure"}.
#'
#' The object also keeps \code{design} (\code{"control"} or
#' \code{"sequential"}), \code{groups} (in the order compared, the control
#' first), \code{data} (the frame's group, value and id columns as
#' analysed), \code{columns} (their names: \code{by}, \code{value},
#' \code{id}) and \code{settings} (the options).
#'
#' @param x,object a result of \code{\link{diffboot}} of several groups (or
#'   of its \code{summary}).
#' @param digits significant digits printed.
#' @param row.names,optional as for \code{\link{as.data.frame}}.
#' @param parm the measures, by name or number; all by default.
#' @param level the intervals' level, as for \code{\link{confint.diffboot}};
#'   \code{NULL}, the run's.
#' @param type which interval: BCa, Student's t, percentile or basic.
#' @param ... passed on to \code{print}, unused elsewhere.
#'
#' @return \code{as.data.frame}: a data frame, a row per comparison and
#'   measure (none for a comparison that stopped); \code{coef}: a named
#'   vector; \code{confint}: a matrix, a row per comparison and measure.
#'
#' @examples
#' r <- diffboot(weight ~ feed, data = chickwts, control = "casein", groups = c("horsebean", "linseed"),
#'               permutations = 999, R = 999)
#' r
#' summary(r)
#' as.data.frame(r)
#' confint(r, "d_AVE")
#' r$comparisons[["linseed - casein"]]
#' @method print diffboot_comparisons
#' @export
print.diffboot_comparisons <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat(comparisons_head(x), "\n", sep = "")
  for (name in names(x$comparisons)) {
    cat("\n== ", name, " ==\n", sep = "")
    print(x$comparisons[[name]], digits = digits, ...)
  }
  invisible(x)
}

comparisons_head <- function(x) {
  sprintf("%d comparisons of %d groups, %s", length(x$comparisons), length(x$groups),
          if (x$design == "control") paste("against the control", x$groups[1L]) else "each against the one before it")
}

# The comparisons that did not stop.
given <- function(x) Filter(function(c) is.null(c$stopped), x$comparisons)

#' @rdname print.diffboot_comparisons
#' @method summary diffboot_comparisons
#' @export
summary.diffboot_comparisons <- function(object, ...) {
  structure(class = "summary.diffboot_comparisons",
            list(head = comparisons_head(object), summaries = lapply(object$comparisons, summary)))
}

#' @rdname print.diffboot_comparisons
#' @method print summary.diffboot_comparisons
#' @export
print.summary.diffboot_comparisons <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat(x$head, "\n", sep = "")
  for (name in names(x$summaries)) {
    cat("\n== ", name, " ==\n", sep = "")
    print(x$summaries[[name]], digits = digits, ...)
  }
  invisible(x)
}

#' @rdname print.diffboot_comparisons
#' @method as.data.frame diffboot_comparisons
#' @export
as.data.frame.diffboot_comparisons <- function(x, row.names = NULL, optional = FALSE, ...) {
  out <- do.call(rbind, lapply(unname(given(x)), as.data.frame))
  if (is.null(out)) return(data.frame(comparison = character(0), measure = character(0)))
  rownames(out) <- row.names
  out
}

#' @rdname print.diffboot_comparisons
#' @method coef diffboot_comparisons
#' @export
coef.diffboot_comparisons <- function(object, ...) {
  by_comparison(given(object), function(c) {
    v <- coef(c)
    matrix(v, dimnames = list(names(v), NULL))
  })[, 1L]
}

#' @rdname print.diffboot_comparisons
#' @method confint diffboot_comparisons
#' @export
confint.diffboot_comparisons <- function(object, parm, level = NULL, type = c("bca", "t", "percentile", "basic"),
                                         ...) {
  type <- match.arg(type)
  every <- missing(parm)
  by_comparison(given(object), function(c) {
    at <- if (is.null(level)) c$conf.level else level
    if (every) confint(c, level = at, type = type) else confint(c, parm, level = at, type = type)
  })
}

# The matrices `f` gives of each comparison, one under the other, their rows
# named "comparison: measure".
by_comparison <- function(comparisons, f) {
  parts <- lapply(names(comparisons), function(name) {
    m <- f(comparisons[[name]])
    rownames(m) <- paste0(name, ": ", rownames(m))
    m
  })
  do.call(rbind, parts)
}
