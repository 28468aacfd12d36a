library(testthat)
library(diffboot)

test_check("diffboot")
