# Printing leads with the p-value to read and never rounds one across a
# level; the plots draw without warnings, with the mask, ticks and scale
# they promise.

test_that("a p-value prints with the digits its verdict needs", {
  cases <- list(
    list(p = 0, digits = 4, shuffled = TRUE, resamples = 199, text = "< 0.005"),
    list(p = 0, digits = 1, shuffled = TRUE, resamples = 99, text = "< 0.01"),
    list(p = 0.04999, digits = 1, shuffled = FALSE, resamples = 0, text = "= 0.04999"),
    list(p = 0.0503, digits = 1, shuffled = TRUE, resamples = 199, text = "= 0.05"),
    list(p = 0.0951, digits = 1, shuffled = FALSE, resamples = 0, text = "= 0.095"),
    list(p = 0.2513, digits = 1, shuffled = TRUE, resamples = 199, text = "= 0.3"),
    list(p = 0.009996, digits = 2, shuffled = FALSE, resamples = 0, text = "= 0.009996"),
    list(p = 0.001496, digits = 4, shuffled = FALSE, resamples = 0, text = "= 0.001496"),
    list(p = 1e-20, digits = 4, shuffled = FALSE, resamples = 0, text = "< 2.2e-16")
  )
  for (case in cases) {
    expect_identical(quorvel:::p.text(case$p, case$digits, case$shuffled, case$resamples), case$text,
                     label = deparse(case))
  }
})

test_that("print leads each test with the p-value to read and labels the other", {
  r <- white_result()
  for (digits in c(7, 3)) {
    out <- capture.output(print(r, digits = digits))
    expect_length(grep("^data:  white_noise$", out), 4)
    for (test in r$tests) {
      lead <- paste("Shuffled p-value", quorvel:::p.text(test$p.value, max(1, digits - 3), TRUE, 199))
      other <- paste("asymptotic p-value", quorvel:::p.text(test$asymptotic.p.value, max(1, digits - 3)))
      expect_true(any(grepl(lead, out, fixed = TRUE)), label = lead)
      expect_true(any(grepl(other, out, fixed = TRUE)), label = other)
    }
  }
  # Without the bootstrap the asymptotic p-value leads, and no Shuffled line.
  out <- capture.output(print(run_example("white")))
  expect_length(grep("asymptotic p-value = ", out), 4)
  expect_length(grep("Shuffled p-value [=<]", out), 0)
  # A Shuffled 0 is below 1/(B + 1).
  bilinear <- run_example("bilinear")
  expect_identical(bilinear$tests$nonlinearity$shuffled.p.value, 0)
  expect_output(print(bilinear), "Shuffled p-value < 0.01")
  summary_text <- capture.output(print(summary(bilinear)))
  expect_match(summary_text[2], "nonlinearity +< 0.01 +shuffled")
  expect_false(any(grepl("e+00", summary_text, fixed = TRUE)))
})

test_that("the plots draw on a 7-inch device without warnings", {
  pdf(NULL, width = 7, height = 7)
  on.exit(dev.off())
  results <- c(lapply(names(examples), run_example), list(suppressWarnings(trispectrum.test(sunspot.year))))
  for (r in results) {
    expect_silent(plot(r))
    expect_silent(plot(r, which = 2))
  }
  expect_invisible(plot(results[[1]]))
})

test_that("a plane's pairs without a probability stay blank and ticks carry three digits", {
  m <- matrix(c(0.5, 0.99, 0, 0,
                0, 0.999, 0.9, 0,
                0, 0, 0, 0,
                0, 0, 0, 0.96), 4, 4)
  m[1, 3] <- 0.7 # above the diagonal: no pair there
  z <- quorvel:::plane.scores(m, 4)
  expect_identical(is.na(z), col(m) > row(m) | m == 0)
  expect_equal(z[2, 1], 2)
  expect_identical(quorvel:::tick.labels(c(1 / 3, 12.3456, 1 / 3000, 0.0625, 250)),
                   c("0.333", "12.3", "0.000333", "0.0625", "250"))
})
