library(testthat)
library(quorvel)
test_check("quorvel")
