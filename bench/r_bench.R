# The R package's own costs: a call at n = 30 (B = 1999, one thread), to
# hold beside the library's BM_analyse_n30, and 10^7 doubles per sample
# (unpaired, B = 99). Run with the installed package (make r, or
# R_LIBS=build/r/library after make test): Rscript bench/r_bench.R
library(diffboot)

best_of <- function(runs, call) {
  best <- Inf
  for (k in seq_len(runs)) best <- min(best, system.time(call())[["elapsed"]])
  best
}

set.seed(42)
x <- rnorm(30, 10, 3)
y <- rnorm(30, 10, 3)
start <- proc.time()[["elapsed"]]
for (k in 1:200) diffboot(x, y, threads = 1)
cat(sprintf("diffboot, n = 30, B = 1999, 1 thread: %.1f us a call (mean of 200)\n",
            (proc.time()[["elapsed"]] - start) / 200 * 1e6))
big_x <- rnorm(1e7, 10, 3)
big_y <- rnorm(1e7, 11, 3)
invisible(gc(reset = TRUE))
big <- best_of(1, function() diffboot(big_x, big_y, R = 99))
cat(sprintf("diffboot, n = 10^7 + 10^7 doubles, B = 99, every core: %.1f s; R's heap grew to %.0f MB at most (the arrays: %.0f MB)\n",
            big, sum(gc()[, 6]), 2 * 8e7 / 2^20))
