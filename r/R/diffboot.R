# diffboot(): the two samples from vectors or a formula, the options checked
# and put in the library's terms, the run, and the "diffboot" object.

fail <- function(message) {
  stop(structure(class = c("diffboot_error", "error", "condition"),
                 list(message = message, call = NULL)))
}

diffboot <- function(x, ...) UseMethod("diffboot")

# A whole number from low to high, in the library's words when it is not.
whole_number <- function(value, name, low, high) {
  if (!is.numeric(value) || length(value) != 1L || is.na(value) || value != trunc(value)) {
    fail(sprintf("%s must be one whole number, not %s", name, deparse1(value, width.cutoff = 40L)))
  }
  if (value < low || value > high) {
    fail(sprintf("%s %s is not a whole number from %d to %d", name, format(value, scientific = FALSE), low, high))
  }
  as.integer(value)
}

# The alpha and interval level of a level as the command line's --level
# takes it: 0.99, 99 or "99.9%", from 0.5 to 0.999; both rounded to 15
# significant digits, as the program rounds them.
level_of <- function(conf.level, limits) {
  percent <- is.character(conf.level) && length(conf.level) == 1L && grepl("%[[:space:]]*$", conf.level)
  text <- if (is.character(conf.level) && length(conf.level) == 1L) sub("%[[:space:]]*$", "", trimws(conf.level))
  value <- if (!is.null(text)) suppressWarnings(as.numeric(text)) else if (is.numeric(conf.level)) conf.level
  if (length(value) != 1L || is.na(value)) {
    fail(sprintf("conf.level must be a level such as 0.95 or \"95%%\", not %s", deparse1(conf.level, width.cutoff = 40L)))
  }
  decimal15 <- function(v) as.numeric(sprintf("%.15g", v))
  if (percent || value > 1) value <- decimal15(value / 100)
  if (!(value >= 0.5 && value <= 0.999)) {
    fail(sprintf("conf.level %s is not a level from 0.5 to 0.999 (or 50 to 99.9, %s%%)", format(conf.level),
                 limits$percent[limits$default_level]))
  }
  list(alpha = decimal15((1 - value) / 2), level = value)
}

# The values of a sample as doubles; NA and NaN stay, as missing values.
sample_values <- function(v, name) {
  if (is.factor(v) || !(is.numeric(v) || (is.logical(v) && all(is.na(v)))) || !is.null(dim(v)) && length(dim(v)) > 1L) {
    fail(sprintf("%s must be a numeric vector, not %s", name, class(v)[1L]))
  }
  as.double(v)
}

measure_names <- function(measures, paired, limits) {
  if (is.null(measures)) return(character())
  if (!is.character(measures) || anyNA(measures) || length(measures) == 0L) {
    fail("measures must be names such as \"d_AVE\", or \"all\"")
  }
  if (identical(measures, "all")) return(if (paired) limits$paired else limits$unpaired)
  measures
}

quantile_values <- function(quantiles) {
  if (is.null(quantiles)) return(double())
  if (!is.numeric(quantiles) || anyNA(quantiles) || !is.null(dim(quantiles))) {
    fail("quantiles must be probabilities such as 0.9 or c(0.1, 0.9)")
  }
  as.double(quantiles)
}

diffboot.default <- function(x, y, paired = FALSE, conf.level = 0.95, R = 1999, seed = NULL, measures = NULL,
                             permutations = 0, replicates = FALSE, threads = NULL, labels = NULL, quantiles = NULL,
                             ...) {
  if (...length() > 0L) {
    fail(sprintf("unused argument%s: %s", if (...length() > 1L) "s" else "",
                 paste(names(list(...)), collapse = ", ")))
  }
  if (missing(y)) fail("diffboot() compares two samples: give x and y, or a formula")
  if (is.null(labels)) labels <- c(deparse1(substitute(x)), deparse1(substitute(y)))
  run_analysis(sample_values(x, "x"), sample_values(y, "y"), paired = paired, conf.level = conf.level, R = R,
               seed = seed, measures = measures, permutations = permutations, replicates = replicates,
               threads = threads, labels = labels, call = match.call(), quantiles = quantiles)
}

# The run of the library over two double vectors, and its object.
run_analysis <- function(x, y, paired, conf.level, R, seed, measures, permutations, replicates, threads, labels,
                         call, absent = c(0, 0, 0), quantiles = NULL) {
  limits <- .limits()
  if (!is.logical(paired) || length(paired) != 1L || is.na(paired)) fail("paired must be TRUE or FALSE")
  if (!is.logical(replicates) || length(replicates) != 1L || is.na(replicates)) {
    fail("replicates must be TRUE or FALSE")
  }
  level <- level_of(conf.level, limits)
  R <- whole_number(R, "R", limits$replications[1L], limits$replications[2L])
  seed <- if (is.null(seed)) limits$fixed_seed else whole_number(seed, "seed", 1L, limits$largest_seed)
  permutations <- if (isTRUE(permutations == 0)) 0L else {
    whole_number(permutations, "permutations", limits$permutations[1L], limits$permutations[2L])
  }
  threads <- if (is.null(threads)) 0L else whole_number(threads, "threads", 1L, .Machine$integer.max)
  names <- measure_names(measures, paired, limits)
  quantiles <- quantile_values(quantiles)
  # The library's all, which names the quantile measures too.
  if (length(quantiles) > 0L && identical(measures, "all")) names <- "all"
  core <- .analyse(x, y, paired, level$alpha, R, seed, names, permutations, replicates, threads, quantiles)
  if (!is.null(core$error)) fail(core$error)
  measures <- as.data.frame(core$measures, stringsAsFactors = FALSE)
  structure(class = "diffboot", list(
    measures = measures,
    experiment = if (paired) "paired" else "unpaired",
    conf.level = level$level,
    alpha = level$alpha,
    R = R,
    seed = seed,
    permutations = permutations,
    n = c(x = core$n_x, y = core$n_y),
    # Halves of pairs that the data's rows never had are not missing values.
    missing = c(x = core$missing_x - absent[1L], y = core$missing_y - absent[2L]),
    pairs_dropped = if (paired) core$pairs_dropped + absent[3L] else NULL,
    labels = as.character(labels),
    replicates = core$replicates,
    data = list(x = x, y = y),
    call = call
  ))
}

diffboot.formula <- function(formula, data = parent.frame(), groups = NULL, id = NULL, paired = FALSE, ...) {
  if (length(formula) != 3L) fail("the formula must be value ~ group, or Pair(x, y) ~ 1")
  frame <- stats::model.frame(formula, data = data, na.action = stats::na.pass)
  response <- frame[[1L]]
  wide <- identical(formula[[3L]], 1) || identical(formula[[3L]], 1L)
  if (wide) {
    if (!is.matrix(response) || ncol(response) != 2L) fail("the wide form is Pair(x, y) ~ 1: two columns")
    if (!is.null(groups) || !is.null(id)) fail("groups and id go with the long form value ~ group")
    labels <- vapply(as.list(formula[[2L]])[2:3], deparse1, "")
    return(run_with(sample_values(response[, 1L], labels[1L]), sample_values(response[, 2L], labels[2L]),
                    paired, labels, match.call(), ...))
  }
  if (ncol(frame) != 2L) fail("the formula must be value ~ group, with one group variable")
  values <- sample_values(response, names(frame)[1L])
  samples <- long_form(values, frame[[2L]], names(frame)[2L], groups, id, paired, data)
  run_with(samples$x, samples$y, paired, samples$labels, match.call(),
           absent = if (is.null(samples$absent)) c(0, 0, 0) else samples$absent, ...)
}

run_with <- function(x, y, paired, labels, call, conf.level = 0.95, R = 1999, seed = NULL, measures = NULL,
                     permutations = 0, replicates = FALSE, threads = NULL, absent = c(0, 0, 0), quantiles = NULL, ...) {
  if (...length() > 0L) fail(sprintf("unused arguments: %s", paste(names(list(...)), collapse = ", ")))
  run_analysis(x, y, paired = paired, conf.level = conf.level, R = R, seed = seed, measures = measures,
               permutations = permutations, replicates = replicates, threads = threads, labels = labels, call = call,
               absent = absent, quantiles = quantiles)
}

# The two groups of a long frame: unpaired, the values of each; paired, the
# pairs by id in the order the frame first names them (an id in one group
# only pairs with a missing value), or without id the rows in order.
long_form <- function(values, group, group_name, groups, id, paired, data) {
  if (!isTRUE(paired) && !is.null(id)) fail("id pairs rows: it goes with paired = TRUE")
  if (is.null(groups)) {
    present <- if (is.factor(group)) levels(group) else sort(unique(as.character(group[!is.na(group)])))
    if (length(present) != 2L) {
      fail(sprintf("%s has %d groups (%s): name two with groups =", group_name, length(present),
                   paste(utils::head(present, 8L), collapse = ", ")))
    }
    groups <- present
  }
  groups <- as.character(groups)
  if (length(groups) != 2L || anyNA(groups) || groups[1L] == groups[2L]) {
    fail(sprintf("groups must name two different groups of %s", group_name))
  }
  key <- as.character(group)
  for (g in groups) {
    if (!any(key == g, na.rm = TRUE)) {
      fail(sprintf("%s has no group \"%s\" (its groups: %s)", group_name, g,
                   paste(utils::head(sort(unique(key[!is.na(key)])), 8L), collapse = ", ")))
    }
  }
  first <- !is.na(key) & key == groups[1L]
  second <- !is.na(key) & key == groups[2L]
  out <- list(labels = groups)
  if (!isTRUE(paired) || is.null(id)) {
    out$x <- values[first]
    out$y <- values[second]
    if (isTRUE(paired)) {
      if (length(out$x) != length(out$y)) {
        fail(sprintf("the groups \"%s\" and \"%s\" have %d and %d rows: name the pairs' column with id =",
                     groups[1L], groups[2L], length(out$x), length(out$y)))
      }
      message(sprintf("diffboot: the rows of \"%s\" and \"%s\" paired in the order they come (id = names a column of pairs)",
                      groups[1L], groups[2L]))
    }
    return(out)
  }
  if (!is.character(id) || length(id) != 1L || is.na(id)) fail("id must name one column of data")
  if (!is.data.frame(data) && !is.list(data) || is.null(data[[id]])) {
    fail(sprintf("the data have no column \"%s\"", id))
  }
  ids <- data[[id]]
  if (length(ids) != length(key)) fail(sprintf("the column \"%s\" is not as long as the formula's columns", id))
  rows <- which(first | second)
  row_ids <- as.character(ids[rows])
  if (anyNA(row_ids)) fail(sprintf("the column \"%s\" has a missing id at row %d", id, rows[is.na(row_ids)][1L]))
  order <- unique(row_ids)
  slot <- match(row_ids, order)
  out$x <- out$y <- rep(NA_real_, length(order))
  for (k in 1:2) {
    in_group <- if (k == 1L) first[rows] else second[rows]
    twice <- duplicated(slot[in_group])
    if (any(twice)) {
      at <- rows[in_group][twice][1L]
      earlier <- rows[in_group][slot[in_group] == slot[rows == at]][1L]
      fail(sprintf("the id \"%s\" is twice in the group \"%s\" (rows %d and %d)", row_ids[rows == at], groups[k],
                   earlier, at))
    }
    if (k == 1L) out$x[slot[in_group]] <- values[rows[in_group]] else out$y[slot[in_group]] <- values[rows[in_group]]
  }
  # The halves an id's rows never had, apart from its missing values.
  out$absent <- c(length(order) - sum(first[rows]), length(order) - sum(second[rows]), 0)
  out
}
