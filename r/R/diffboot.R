# diffboot(): the two samples from vectors or a formula's frame, handed to
# the library with the options as given; the library reads them by its rules
# (levels, ranges, measures, groups, pairs) and this file only checks that
# they are R values of the right kind, then makes the "diffboot" object.

#' @useDynLib diffboot, .registration = TRUE
#' @importFrom Rcpp evalCpp
#' @importFrom stats coef confint
NULL

fail <- function(message) {
  stop(structure(class = c("diffboot_error", "error", "condition"),
                 list(message = message, call = NULL)))
}

#' Bootstrap confidence intervals for the effect in a two-sample experiment
#'
#' Student's t, BCa, percentile and basic bootstrap intervals of the effect
#' measures of a paired or an unpaired experiment, with permutation and
#' t-test p-values on request. The numbers are those of the \code{diffboot}
#' command line's csv and json for the same values and options, bit for bit.
#'
#' @param x,y numeric or integer vectors: the two samples, the effect being
#'   that of \code{x} against \code{y} (differences \code{x - y}). \code{NA}
#'   and \code{NaN} are missing values: left out and counted (paired: the
#'   pair left out).
#' @param paired \code{TRUE} for a paired experiment (\code{x[i]} with
#'   \code{y[i]}), \code{FALSE} for an unpaired one.
#' @param conf.level the intervals' level: any level from 0.5 to 0.999
#'   (such as 0.95 or 0.999), also as a percentage (\code{95}, \code{"99.9\%"}),
#'   as the command line's \code{--level} takes it.
#' @param R the number of bootstrap replications, 99 to 1000000.
#' @param seed a whole number from 1 to 2147483647 seeding the generator;
#'   \code{NULL}, the fixed seed of every run that names none.
#' @param measures the measures to report, by name (unpaired:
#'   \code{"d_AVE"}, \code{"d_MED"}, \code{"d_STD"}, \code{"d_MAD"},
#'   \code{"g"}, \code{"delta"}, \code{"lift"}; paired: \code{"AVE_d"},
#'   \code{"MED_d"}, \code{"g"}, \code{"lift"}), or \code{"all"}; \code{NULL},
#'   the experiment's own four or two.
#' @param permutations 0, or 99 to 1000000 permutations for the permutation
#'   p-values (and the t-test p-values of the mean measures).
#' @param replicates \code{TRUE} keeps every measure's replicates in
#'   \code{$replicates}.
#' @param threads how many threads the run uses; \code{NULL}, every core.
#'   The numbers do not depend on it.
#' @param labels the samples' names in printouts and figures; by default the
#'   expressions given as \code{x} and \code{y}, the groups of the long form
#'   or the columns of the wide form.
#' @param quantiles probabilities strictly between 0 and 1 (at most 9), each
#'   adding a quantile measure after the others: unpaired \code{"d_Q90"}
#'   (for 0.9: the 0.9-quantile of \code{x} less that of \code{y}), paired
#'   \code{"Q90_d"} (of the differences), by the default of
#'   \code{quantile()}; \code{measures} may name them. No permutation
#'   p-value is given for them.
#' @param acceleration the BCa acceleration of the unpaired differences, as
#'   the command line's \code{--acceleration}: \code{"grid"} (the jackknife
#'   over every pair of values left out of the two samples) or
#'   \code{"samples"} (the two-sample formula, one value of one sample left
#'   out at a time).
#' @param proportions \code{TRUE}: the values are 0/1 outcomes (a success 1,
#'   a failure 0; in a frame's columns also \code{TRUE}/\code{FALSE},
#'   \code{"yes"}/\code{"no"}), as the command line's \code{--proportions}.
#'   The measures are \code{"d_PROP"} (the difference of the proportions),
#'   \code{"lift"} and \code{"h"} (Cohen's h); paired \code{"PROP_d"},
#'   \code{"lift"}, \code{"h"}; with permutations the two-proportion
#'   z-test's (paired McNemar's) p-value stands in for the t-test's, named
#'   \code{p_z} (\code{p_mcnemar}) by \code{as.data.frame} and
#'   \code{summary}. Logical samples and columns imply it (\code{NA}
#'   missing). Counts alone: \code{\link{diffboot_counts}}.
#' @param formula \code{value ~ group} (the long form: the rows of two
#'   groups) or \code{Pair(a, b) ~ 1} (the wide form: two columns).
#' @param data a data frame (or a list or an environment) holding the
#'   formula's columns and the \code{id} column.
#' @param subset an optional expression, evaluated in \code{data}, choosing
#'   the rows to use (as for \code{\link[stats]{model.frame}}).
#' @param na.action \code{NULL} (the default): missing values are left out
#'   and counted by the library's rules, as \code{print} shows them; or a
#'   function such as \code{\link[stats]{na.omit}} or \code{na.fail} that
#'   \code{\link[stats]{model.frame}} applies to the formula's columns (and
#'   \code{id}) first: rows it removes are not counted.
#' @param groups the two groups of the long form to compare, the first as
#'   \code{x}; \code{NULL} when the group column has exactly two (a factor's
#'   two levels). With \code{control} or \code{sequential}: the groups
#'   compared with the control, or the sequence in order; \code{NULL}, every
#'   group of the column (a factor's levels present, in order; else sorted),
#'   the control left out.
#' @param control several groups of the long form: the control, each group
#'   being compared with it (\code{x} the group, \code{y} the control:
#'   \code{"horsebean - casein"}), as the command line's \code{--control}.
#' @param sequential several groups of the long form: \code{TRUE} compares
#'   each group with the one before it (a dose series, a time course), as
#'   the command line's \code{--sequential}.
#' @param cluster unpaired long form: the column naming each row's cluster
#'   (a user), as a name (\code{"user"}) or a one-sided formula
#'   (\code{~user}): the cluster bootstrap draws the clusters, not the rows,
#'   as the program's \code{--cluster}; a row whose cluster is \code{NA} is
#'   left out and counted. The result's \code{clusters} then gives each
#'   sample's clusters and rows left out without one.
#' @param id paired long form: the name of the column whose values pair the
#'   rows. An id in one group only pairs with a missing value; a row whose id
#'   is \code{NA} or empty is left out and counted with the pairs left out.
#'   Of several groups (repeated measures), each comparison pairs the ids
#'   present in both of its groups.
#'   Without it the groups' rows are paired in the order they come, when the
#'   groups are of equal size, with a message.
#' @param ... for the formula method, the options of the default method.
#'
#' @return An object of class \code{"diffboot"}, a list with \code{measures}
#'   (a data frame, one row per measure: \code{estimate}, \code{se},
#'   \code{bias}, the bounds \code{t_lower} to \code{basic_upper}, \code{z0},
#'   \code{acceleration}, \code{p_permutation} and \code{p_t}, \code{NaN}
#'   unless asked for), \code{experiment}, \code{conf.level}, \code{alpha},
#'   \code{R}, \code{seed}, \code{permutations}, \code{n} and \code{missing}
#'   (the values analysed and left out, per sample), \code{pairs_dropped}
#'   (paired), \code{labels}, \code{replicates} (with \code{replicates =
#'   TRUE}, an \code{R}-row matrix with a column per measure, in replication
#'   order) and \code{data}. See \code{\link{print.diffboot}} for what can be
#'   done with it.
#'
#'   With \code{control} or \code{sequential}, an object of class
#'   \code{"diffboot_comparisons"}: see \code{\link{print.diffboot_comparisons}}.
#'
#'   Input the analysis cannot take stops with an error of class
#'   \code{"diffboot_error"} whose message is the command line's. Ctrl-C
#'   stops a run within about a second.
#'
#' @examples
#' r <- diffboot(weight ~ feed, data = chickwts, groups = c("horsebean", "linseed"))
#' r
#' diffboot(extra ~ group, data = sleep, paired = TRUE, id = "ID", R = 999)
#' diffboot(weight ~ feed, data = chickwts, subset = weight > 150,
#'          groups = c("casein", "soybean"), labels = c("casein, > 150", "soybean, > 150"))
#' x <- chickwts$weight[chickwts$feed == "casein"]
#' y <- chickwts$weight[chickwts$feed == "soybean"]
#' diffboot(x, y, measures = c("d_AVE", "g", "delta"), permutations = 999, seed = 1)
#' wide <- reshape(sleep, direction = "wide", idvar = "ID", timevar = "group")
#' diffboot(Pair(extra.1, extra.2) ~ 1, data = wide, paired = TRUE)
#' diffboot(weight ~ feed, data = chickwts, control = "casein", groups = c("horsebean", "linseed"), R = 999)
#' @export
diffboot <- function(x, ...) UseMethod("diffboot")

#' @rdname diffboot
#' @export
diffboot.default <- function(x, y, paired = FALSE, conf.level = 0.95, R = 1999, seed = NULL, measures = NULL,
                             permutations = 0, replicates = FALSE, threads = NULL, labels = NULL, quantiles = NULL,
                             acceleration = "grid", proportions = FALSE, ...) {
  no_more_arguments(...)
  if (missing(y)) fail("diffboot() compares two samples: give x and y, or a formula")
  if (is.null(labels)) labels <- c(deparse1(substitute(x)), deparse1(substitute(y)))
  if (truth_values(x) || truth_values(y)) proportions <- TRUE  # logical samples are outcomes
  s <- settings(paired, conf.level, R, seed, measures, permutations, replicates, threads, quantiles, acceleration,
                proportions)
  samples <- list(x = sample_values(x, "x", s$proportions), y = sample_values(y, "y", s$proportions))
  run_analysis(samples, s, labels, match.call())
}

#' @rdname diffboot
#' @export
diffboot.formula <- function(formula, data = parent.frame(), subset, na.action = NULL, groups = NULL, id = NULL,
                             paired = FALSE, labels = NULL, control = NULL, sequential = FALSE, cluster = NULL, ...) {
  if (length(formula) != 3L) fail("the formula must be value ~ group, or Pair(x, y) ~ 1")
  flag(paired, "paired")
  flag(sequential, "sequential")
  if (!is.null(control) && (!is.atomic(control) || length(control) != 1L || is.na(control))) {
    fail("control must name one group")
  }
  if (!is.null(control) && sequential) fail("control and sequential = TRUE are two designs: give one")
  several <- !is.null(control) || sequential
  if (!is.null(id)) {
    if (!is.character(id) || length(id) != 1L || is.na(id)) fail("id must name one column of data")
    where <- if (missing(data)) environment(formula) else data
    found <- if (is.environment(where)) exists(id, envir = where) else id %in% names(where)
    if (!found) fail(sprintf("the data have no column \"%s\"", id))
  }
  if (inherits(cluster, "formula")) {
    if (length(cluster) != 2L || !is.name(cluster[[2L]])) fail("cluster must name one column of data, or be ~column")
    cluster <- as.character(cluster[[2L]])
  }
  if (!is.null(cluster)) {
    if (!is.character(cluster) || length(cluster) != 1L || is.na(cluster)) {
      fail("cluster must name one column of data, or be ~column")
    }
    if (several || !is.null(id)) fail("cluster goes with a run of two groups, unpaired, without id")
    where <- if (missing(data)) environment(formula) else data
    found <- if (is.environment(where)) exists(cluster, envir = where) else cluster %in% names(where)
    if (!found) fail(sprintf("the data have no column \"%s\"", cluster))
  }
  # The formula's columns, and the id's, as model.frame() evaluates them
  # in data, with subset; missing values stay for the library to count
  # unless na.action takes them out first.
  frame_call <- match.call(expand.dots = FALSE)
  frame_call <- frame_call[c(1L, match(c("formula", "data", "subset", "na.action"), names(frame_call), 0L))]
  frame_call[[1L]] <- quote(stats::model.frame)
  if (is.null(na.action)) frame_call$na.action <- quote(stats::na.pass)
  if (!is.null(id)) frame_call$pair_id <- as.name(id)
  if (!is.null(cluster)) frame_call$cluster_key <- as.name(cluster)
  frame <- eval(frame_call, parent.frame())
  call <- match.call()
  # The options, proportions implied by logical values.
  run_settings <- settings(paired, ...)
  if (truth_values(frame[[1L]])) run_settings$proportions <- TRUE
  outcomes <- run_settings$proportions
  wide <- identical(formula[[3L]], 1) || identical(formula[[3L]], 1L)
  if (wide) {
    response <- frame[[1L]]
    if (!is.matrix(response) || ncol(response) != 2L) fail("the wide form is Pair(x, y) ~ 1: two columns")
    if (!is.null(groups) || !is.null(id) || several || !is.null(cluster)) {
      fail("groups, id, control, sequential and cluster go with the long form value ~ group")
    }
    names <- vapply(as.list(formula[[2L]])[2:3], deparse1, "")
    samples <- from_library(.frame_columns(names[1L], frame_cells(response[, 1L], names[1L], TRUE, outcomes), names[2L],
                                           frame_cells(response[, 2L], names[2L], TRUE, outcomes), paired, outcomes))
    return(run_analysis(samples, run_settings, if (is.null(labels)) names else labels, call))
  }
  if (ncol(frame) != 2L + (!is.null(id)) + (!is.null(cluster))) {
    fail("the formula must be value ~ group, with one group variable")
  }
  group_name <- names(frame)[2L]
  if (several) {
    if (!is.null(labels)) fail("labels name the two samples of one run; the comparisons are named by their groups")
    return(several_groups(frame, id, c(if (!is.null(control)) control, group_list(frame[[2L]], groups, control)),
                          if (sequential) "sequential" else "control", paired, run_settings, call))
  }
  groups <- two_groups(frame[[2L]], group_name, groups)
  value_name <- names(frame)[1L]
  samples <- from_library(.frame_groups(
    group_name, frame_cells(frame[[2L]], group_name, FALSE), value_name,
    frame_cells(frame[[1L]], value_name, TRUE, outcomes), if (is.null(id)) "" else id,
    if (!is.null(id)) frame_cells(frame[["(pair_id)"]], id, FALSE), groups$keys, paired, outcomes))
  if (!is.null(cluster)) {
    run_settings$clusters <- from_library(.frame_clusters(
      group_name, frame_cells(frame[[2L]], group_name, FALSE), value_name,
      frame_cells(frame[[1L]], value_name, TRUE, outcomes), cluster, frame_cells(frame[["(cluster_key)"]], cluster, FALSE),
      groups$keys, paired))
  }
  if (paired && is.null(id)) {
    message(sprintf("diffboot: the rows of \"%s\" and \"%s\" paired in the order they come (id = names a column of pairs)",
                    groups$labels[1L], groups$labels[2L]))
  }
  run_analysis(samples, run_settings, if (is.null(labels)) groups$labels else labels, call)
}

no_more_arguments <- function(...) {
  if (...length() > 0L) {
    fail(sprintf("unused argument%s: %s", if (...length() > 1L) "s" else "", paste(names(list(...)), collapse = ", ")))
  }
}

flag <- function(value, name) {
  if (!is.logical(value) || length(value) != 1L || is.na(value)) fail(sprintf("%s must be TRUE or FALSE", name))
  value
}

# One number; the library says whether it is a whole number in its range.
one_number <- function(value, name) {
  if (!is.numeric(value) || length(value) != 1L || is.na(value)) {
    fail(sprintf("%s must be one number, not %s", name, deparse1(value, width.cutoff = 40L)))
  }
  as.double(value)
}

# The options of a run as R values of the kinds the library takes; it reads
# the level, the ranges and the measures.
settings <- function(paired, conf.level = 0.95, R = 1999, seed = NULL, measures = NULL, permutations = 0,
                     replicates = FALSE, threads = NULL, quantiles = NULL, acceleration = "grid", proportions = FALSE,
                     ...) {
  no_more_arguments(...)
  if (!is.character(acceleration) || length(acceleration) != 1L || is.na(acceleration)) {
    fail("acceleration must be \"grid\" or \"samples\"")
  }
  if (!(is.numeric(conf.level) || is.character(conf.level)) || length(conf.level) != 1L || is.na(conf.level)) {
    fail(sprintf("conf.level must be a level such as 0.95 or \"95%%\", not %s", deparse1(conf.level, width.cutoff = 40L)))
  }
  if (!is.null(measures) && (!is.character(measures) || anyNA(measures) || length(measures) == 0L)) {
    fail("measures must be names such as \"d_AVE\", or \"all\"")
  }
  if (!is.null(quantiles) && (!is.numeric(quantiles) || anyNA(quantiles) || !is.null(dim(quantiles)))) {
    fail("quantiles must be probabilities such as 0.9 or c(0.1, 0.9)")
  }
  list(paired = flag(paired, "paired"), level = if (is.numeric(conf.level)) as.double(conf.level) else conf.level,
       R = one_number(R, "R"), seed = if (!is.null(seed)) one_number(seed, "seed"),
       measures = as.character(measures), permutations = one_number(permutations, "permutations"),
       replicates = flag(replicates, "replicates"), threads = if (!is.null(threads)) one_number(threads, "threads"),
       quantiles = as.double(quantiles), acceleration = acceleration, proportions = flag(proportions, "proportions"))
}

# Whether v holds truth values (some not NA), which are outcomes.
truth_values <- function(v) is.logical(v) && !all(is.na(v))

# The values of a sample as doubles; NA and NaN stay, as missing values.
# `outcomes`: truth values are taken, as 1 and 0.
sample_values <- function(v, name, outcomes = FALSE) {
  if (is.factor(v) || !(is.numeric(v) || (is.logical(v) && (outcomes || all(is.na(v))))) ||
      !is.null(dim(v)) && length(dim(v)) > 1L) {
    fail(sprintf("%s must be a numeric vector, not %s", name, class(v)[1L]))
  }
  as.double(v)
}

# A frame's column as the library takes it: numbers (NA and NaN missing) or
# texts (NA missing), factors and other columns by their texts, which the
# library reads as it reads a table's cells. `values`: the column holds a
# sample's values, which dates are not, nor truth values but of outcomes.
frame_cells <- function(v, name, values, outcomes = FALSE) {
  if (!is.null(dim(v)) && length(dim(v)) > 1L) fail(sprintf("the column \"%s\" is not one column", name))
  if (is.numeric(v) || is.logical(v) && (all(is.na(v)) || values && outcomes)) return(as.double(v))
  if (values && !is.character(v) && !is.factor(v)) {
    fail(sprintf("the column \"%s\" holds %s, not numbers", name, if (is.logical(v)) "truth values" else class(v)[1L]))
  }
  as.character(v)
}

# The two groups of the long form: those named, or the group column's two
# (a factor's two levels); `keys` as the library matches them (numbers by
# a text that reads back as the same number), `labels` as R prints them.
two_groups <- function(group, group_name, groups) {
  if (is.null(groups)) {
    present <- if (is.factor(group)) levels(group) else sort(unique(group[!is.na(group)]))
    if (length(present) != 2L) {
      fail(sprintf("%s has %d groups (%s): name two with groups =", group_name, length(present),
                   paste(utils::head(present, 8L), collapse = ", ")))
    }
    groups <- present
  }
  if (length(groups) != 2L || anyNA(groups) || !is.atomic(groups)) {
    fail(sprintf("groups must name two groups of %s", group_name))
  }
  list(keys = group_keys(groups), labels = as.character(groups))
}

# Groups as the library matches them: numbers by the shortest text of 15 or
# 17 digits that reads back as the same number (the comparisons are named
# by them: "1 - 0.5").
group_keys <- function(groups) {
  if (!is.numeric(groups)) return(as.character(groups))
  vapply(as.double(groups), function(v) {
    text <- format(v, digits = 15L)
    if (identical(as.double(text), v)) text else trimws(formatC(v, digits = 17L, format = "g"))
  }, "")
}

# The groups compared with the control, or the sequence: those named, or
# every group of the column (a factor's levels present, in order; else
# sorted), the control left out.
group_list <- function(group, groups, control) {
  if (is.null(groups)) {
    groups <- if (is.factor(group)) levels(droplevels(group)) else sort(unique(group[!is.na(group)]))
    if (!is.null(control)) groups <- groups[as.character(groups) != as.character(control)]
  }
  if (!is.atomic(groups) || anyNA(groups)) fail("groups must name groups of the group column")
  if (is.factor(groups)) as.character(groups) else groups
}

# Several groups of the long form, compared by the library's design: a
# "diffboot" object a comparison, each with its two samples (for confint at
# another level and its figure), and the frame's columns as analysed.
several_groups <- function(frame, id, named, design, paired, settings, call) {
  group_name <- names(frame)[2L]
  value_name <- names(frame)[1L]
  by <- frame_cells(frame[[2L]], group_name, FALSE)
  value <- frame_cells(frame[[1L]], value_name, TRUE, settings$proportions)
  id_name <- if (is.null(id)) "" else id
  ids <- if (!is.null(id)) frame_cells(frame[["(pair_id)"]], id, FALSE)
  keys <- group_keys(named)
  out <- .analyse_groups(group_name, by, value_name, value, id_name, ids, keys, design, settings)
  if (!is.null(out$error)) fail(out$error)
  if (paired && is.null(id)) {
    message("diffboot: the rows of each two groups paired in the order they come (id = names a column of pairs)")
  }
  labels <- keys
  comparisons <- lapply(out$comparisons, function(c) {
    pair <- c(c$x, c$y)
    samples <- from_library(.frame_groups(group_name, by, value_name, value, id_name, ids, keys[pair], paired,
                                          settings$proportions))
    r <- result_object(c$results, samples, settings, labels[pair], call, comparison = c$name, stopped = c$stopped)
    r$groups_compared <- pair  # the groups' places: the figure's columns
    r
  })
  names(comparisons) <- vapply(out$comparisons, `[[`, "", "name")
  data <- frame[c(2L, 1L)]
  if (!is.null(id)) data[[id]] <- frame[["(pair_id)"]]
  structure(class = "diffboot_comparisons", list(
    comparisons = comparisons,
    design = design,
    groups = labels,
    keys = keys,
    data = data,
    columns = c(by = group_name, value = value_name, id = if (is.null(id)) NA_character_ else id),
    settings = settings,
    call = call
  ))
}

# The samples a frame gave, or the library's refusal.
from_library <- function(samples) {
  if (!is.null(samples$error)) fail(samples$error)
  samples
}

# The run of the library over two samples (a frame's carry the counts of
# what it left out), and its object.
run_analysis <- function(samples, settings, labels, call) {
  core <- .analyse(samples$x, samples$y, samples$counts, settings)
  if (!is.null(core$error)) fail(core$error)
  result_object(core, samples, settings, labels, call)
}

say <- function(message) {
  warning(structure(class = c("diffboot_warning", "warning", "condition"), list(message = message, call = NULL)))
}

# The "diffboot" object of a run's results; of several groups, with the
# comparison's name and, when its samples were too few, why it stopped.
result_object <- function(core, samples, settings, labels, call, comparison = NULL, stopped = "") {
  # What the program says on standard error beside its numbers, each line
  # of a comparison after its name.
  said <- if (is.null(comparison)) "" else paste0(comparison, ": ")
  if (nzchar(stopped)) say(paste0(said, stopped))
  for (note in core$notes) say(paste0(said, note))
  paired <- settings$paired
  structure(class = "diffboot", list(
    measures = as.data.frame(core$measures, stringsAsFactors = FALSE),
    experiment = if (paired) "paired" else "unpaired",
    conf.level = core$level,
    alpha = core$alpha,
    R = as.integer(core$R),
    seed = as.integer(core$seed),
    permutations = as.integer(core$permutations),
    n = c(x = core$n_x, y = core$n_y),
    missing = c(x = core$missing_x, y = core$missing_y),
    pairs_dropped = if (paired) core$pairs_dropped else NULL,
    clusters = if (!is.null(settings$clusters)) {
      c(x = core$clusters[[1L]], y = core$clusters[[2L]], no_cluster_x = core$clusters[[3L]],
        no_cluster_y = core$clusters[[4L]])
    },
    labels = as.character(labels),
    replicates = core$replicates,
    data = list(x = samples$x, y = samples$y),
    call = call,
    percent = core$percent,
    settings = settings,
    counts = samples$counts,
    proportions = settings$proportions,
    test = core$test,
    comparison = comparison,
    stopped = if (nzchar(stopped)) stopped
  ))
}

#' Bootstrap confidence intervals of proportions given by their counts
#'
#' The command line's \code{--counts}: two samples of 0/1 outcomes, each
#' given as \code{c(successes, trials)} (unpaired), or a paired experiment's
#' 2 x 2 table \code{c(both, x_only, y_only, neither)}: the pairs whose two
#' outcomes are 1, whose first alone is, whose second alone is, and whose two
#' are 0 (named in any order, or unnamed in this one). The form decides the
#' experiment. A replicate draws each count (Binomial(n, k/n); paired, a
#' multinomial draw of the table's four cells), which is the distribution of
#' the ones in a resample of the rows: the numbers agree with those of
#' \code{diffboot(..., proportions = TRUE)} of the 0/1 values written out
#' within Monte Carlo error, at a cost that does not grow with the trials.
#'
#' @param x \code{c(successes, trials)} of sample 1, or the paired table.
#' @param y \code{c(successes, trials)} of sample 2; \code{NULL} with a table.
#' @param conf.level,R,seed,replicates,threads,labels as for
#'   \code{\link{diffboot}}.
#' @param measures among \code{"d_PROP"}, \code{"lift"}, \code{"h"} (paired
#'   \code{"PROP_d"}, \code{"lift"}, \code{"h"}), or \code{"all"}.
#' @param permutations 0, or 99 to 1000000: only the z-test's (paired
#'   McNemar's) p-value is given, \code{p_z} (\code{p_mcnemar}); the
#'   permutation p-value needs the rows (\code{NaN}, with a warning).
#'
#' @return An object of class \code{"diffboot"}, as \code{\link{diffboot}}
#'   gives, without the data. Counts that are not whole numbers from 0 to
#'   2^53, successes above the trials and no trials stop with the command
#'   line's message, naming the sample.
#'
#' @examples
#' diffboot_counts(c(412, 10000), c(455, 10000))
#' diffboot_counts(c(both = 40, x_only = 12, y_only = 25, neither = 123), R = 999)
#' @export
diffboot_counts <- function(x, y = NULL, conf.level = 0.95, R = 1999, seed = NULL, measures = NULL, permutations = 0,
                            replicates = FALSE, threads = NULL, labels = c("x", "y")) {
  paired <- is.null(y)
  table <- c("both", "x_only", "y_only", "neither")
  counts <- function(v, size, what) {
    if (!is.numeric(v) || length(v) != size || anyNA(v)) fail(sprintf("%s must be %s", deparse1(substitute(v)), what))
    as.double(v)
  }
  if (paired) {
    if (!is.null(names(x))) {
      if (!setequal(names(x), table) || length(x) != 4L) fail(paste("the paired table is named", paste(table, collapse = ", ")))
      x <- x[table]
    }
    x <- counts(x, 4L, "a paired table c(both, x_only, y_only, neither), or y given")
  } else {
    x <- counts(x, 2L, "c(successes, trials)")
    y <- counts(y, 2L, "c(successes, trials)")
  }
  s <- settings(paired, conf.level, R, seed, measures, permutations, replicates, threads, NULL, "grid", TRUE)
  core <- .analyse_counts(x, y, s)
  if (!is.null(core$error)) fail(core$error)
  result_object(core, list(x = NULL, y = NULL), s, labels, match.call())
}
