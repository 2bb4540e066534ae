# The R package against the batch program and against its own report: the
# same settings give the same results block; each test carries its own
# p-values; the R conventions (seed, window, conditions) hold.

test_that("the example series give the batch program's results block and p-values", {
  for (stem in names(examples)) {
    r <- run_example(stem)
    report <- stored_report(stem)
    expect_identical(results_block(strsplit(r$report, "\n")[[1]]), results_block(report), label = stem)
    # The report prints them to 5 decimals, the Shuffled ones to 4.
    expect_equal(field(r, "asymptotic.p.value"), reported_p(report, FALSE), tolerance = 5.1e-6, scale = 1,
                 label = stem)
    if (r$resamples > 0) {
      expect_equal(field(r, "shuffled.p.value"), reported_p(report, TRUE), tolerance = 5.1e-5, scale = 1,
                   label = stem)
      expect_identical(field(r, "p.value"), field(r, "shuffled.p.value"))
    } else {
      expect_true(all(is.na(field(r, "shuffled.p.value"))))
      expect_identical(field(r, "p.value"), field(r, "asymptotic.p.value"))
    }
    for (test in r$tests) expect_s3_class(test, "htest")
  }
})

test_that("the stored reports are what the batch program writes today", {
  batch <- Sys.getenv("QUORVEL_BINARY")
  skip_if(!nzchar(batch), "needs the batch program (QUORVEL_BINARY)")
  for (stem in names(examples)) {
    dir <- tempfile("batch")
    dir.create(dir)
    file.copy(system.file("extdata", paste0(stem, c(".cnl", ".dat")), package = "quorvel"), dir)
    writeLines(c("Number of runs = 1 *", paste0(stem, ".cnl*")), file.path(dir, "Runquorvel.cnl"))
    old <- setwd(dir)
    status <- system2(batch, stdout = FALSE, stderr = FALSE)
    report <- readLines(paste0(stem, "_Quorvel.out"))
    setwd(old)
    unlink(dir, recursive = TRUE)
    expect_equal(status, 0)
    expect_identical(results_block(report), results_block(stored_report(stem)), label = stem)
  }
})

test_that("each test, summary row, data frame column and tidy row holds that test's own p-values", {
  r <- white_result()
  expected <- list(p.value = field(r, "shuffled.p.value"), asymptotic.p.value = reported_p(strsplit(r$report, "\n")[[1]], FALSE),
                   shuffled.p.value = reported_p(strsplit(r$report, "\n")[[1]], TRUE))
  # The fixture tells every field from every other.
  expect_length(unique(signif(unlist(expected[-1]), 3)), 8)
  expect_equal(field(r, "asymptotic.p.value"), expected$asymptotic.p.value, tolerance = 5.1e-6, scale = 1)
  expect_equal(field(r, "shuffled.p.value"), expected$shuffled.p.value, tolerance = 5.1e-5, scale = 1)
  s <- summary(r)
  row <- as.data.frame(r)
  for (column in names(expected)) {
    expect_equal(setNames(s[[column]], rownames(s)), field(r, column), label = column)
  }
  expect_equal(unlist(row[paste0("p.", names(r$tests))], use.names = FALSE), unname(field(r, "p.value")))
  expect_equal(unlist(row[paste0("asymptotic.", names(r$tests))], use.names = FALSE),
               unname(field(r, "asymptotic.p.value")))
  expect_equal(unlist(row[paste0("shuffled.", names(r$tests))], use.names = FALSE),
               unname(field(r, "shuffled.p.value")))
  expect_identical(s$p.type, rep("shuffled", 4))
  skip_if_not_installed("generics")
  tidied <- generics::tidy(r)
  expect_identical(tidied$test, names(r$tests))
  for (column in names(expected)) expect_equal(tidied[[column]], unname(field(r, column)), label = column)
  one <- generics::tidy(r$tests$aliasing)
  expect_equal(c(one$p.value, one$shuffled.p.value), rep(r$tests$aliasing$shuffled.p.value, 2))
  expect_equal(generics::glance(r)[c("N", "M", "seed")], data.frame(N = r$N, M = r$M, seed = 11))
})

test_that("each test's p-value follows from its statistic", {
  r <- run_example("white")
  t <- r$tests
  expect_equal(t$gaussianity$parameter[["df"]], 2 * r$valid)
  expect_equal(t$reversibility$parameter[["df"]], r$valid)
  # The run's probabilities are single precision.
  expect_equal(t$nonlinearity$p.value, pnorm(t$nonlinearity$statistic[[1]], lower.tail = FALSE), tolerance = 1e-5)
  for (test in t[c("reversibility", "gaussianity", "aliasing")]) {
    expect_equal(test$p.value, pchisq(test$statistic[[1]], test$parameter[["df"]], lower.tail = FALSE),
                 tolerance = 1e-5)
  }
})

test_that("the seed comes from R's generator, is kept, and reproduces the shuffles", {
  shuffled <- function(r) field(r, "shuffled.p.value")
  set.seed(42)
  first <- trispectrum.test(white_noise)
  set.seed(42)
  again <- trispectrum.test(white_noise)
  set.seed(43)
  other <- trispectrum.test(white_noise)
  expect_identical(shuffled(again), shuffled(first))
  expect_false(identical(shuffled(other), shuffled(first)))
  expect_true(first$seed >= 0 && first$seed < 2^32 && first$seed == round(first$seed))
  expect_identical(shuffled(trispectrum.test(white_noise, seed = first$seed)), shuffled(first))
  expect_identical(trispectrum.test(white_noise, seed = 11)$seed, 11)
})

test_that("the series is taken as given: a window of a ts keeps its rate, a time unit its interval", {
  x <- ts(white_noise, frequency = 12, start = c(1900, 1))
  part <- trispectrum.test(window(x, start = c(1920, 1)))
  expect_equal(part$N, length(window(x, start = c(1920, 1))))
  expect_equal(part$rate, 12)
  expect_error(trispectrum.test(x, start = 100), "unused argument")
  years <- trispectrum.test(x, unit = "years")
  expect_equal(years$rate, 1 / 12, tolerance = 1e-7) # the interval as a 32-bit real
  expect_match(names(dimnames(years$planes$negative))[1], "period \\(years\\)")
  expect_match(part$report, "Sampling rate = +12.0000 Hz")
})

test_that("the result keeps the name of the series, the band in order and the planes' orientation", {
  series_a <- white_noise
  r <- suppressWarnings(trispectrum.test(series_a, frequency = 1000, band = c(100, 400), frame.length = 32))
  expect_identical(r$data.name, "series_a")
  expect_identical(unique(vapply(r$tests, `[[`, "", "data.name")), "series_a")
  expect_output(print(r), "data:  series_a", fixed = TRUE)
  expect_equal(r$band, c(93.75, 406.25)) # the band's ends on the frequency grid of M = 32
  expect_equal(r$band.index, c(3L, 13L))
  expect_equal(range(r$axis), r$band)
  # A row per first, a column per second frequency: only pairs with the
  # second frequency at most the first carry a probability.
  for (m in r$planes) {
    expect_true(all(m[upper.tri(m)] == 0))
    expect_true(any(m[lower.tri(m)] != 0))
    expect_equal(dim(m), rep(length(r$axis), 2))
  }
})

test_that("ar.threshold and ar.order reach the AR fit", {
  set.seed(2)
  e <- rnorm(2000)
  x <- numeric(2000)
  for (t in 4:2000) x[t] <- 0.5 * x[t - 1] + 0.06 * x[t - 3] + e[t]
  loose <- suppressWarnings(trispectrum.test(x, ar.order = 9, ar.threshold = 0.5, resamples = 0))
  strict <- suppressWarnings(trispectrum.test(x, ar.order = 9, ar.threshold = 0.05, resamples = 0))
  expect_gt(length(loose$ar$lags), length(strict$ar$lags))
  expect_identical(c(loose$ar$threshold, loose$ar$order), c(0.5, 9))
})

test_that("bad settings and data are classed R errors that name the R argument", {
  x <- white_noise
  bad <- list(
    list(taper = 30, "taper must be from 0 to 25", "quorvel_settings_error"),
    list(quantile = 1.5, "quantile", "quorvel_settings_error"),
    list(ar.order = -1, "ar.order", "quorvel_settings_error"),
    list(ar.order = 2000, "^ar.order must be at most half", "quorvel_settings_error"),
    list(bandwidth = "fast", "'bandwidth' must be a single finite number", "quorvel_settings_error"),
    list(seed = -1, "'seed' must be a whole number", "quorvel_settings_error"),
    list(frequency = 0, "'frequency' must be positive", "quorvel_settings_error"),
    list(unit = "MHz", "is not Hz, kHz", "quorvel_settings_error"),
    list(band = c(0.4, 0.2), "band\\[1\\] \\(0.4\\) is above band\\[2\\] \\(0.2\\)", "quorvel_settings_error"),
    list(x = c(x[1:99], NaN, x), "values\\[99\\] is NaN", "quorvel_data_error"),
    list(x = cbind(x, x), "univariate", "quorvel_data_error"),
    list(x = data.frame(x), "univariate", "quorvel_data_error"),
    list(x = letters, "numeric", "quorvel_data_error")
  )
  for (case in bad) {
    n <- length(case)
    arguments <- case[-c(n - 1, n)]
    if (is.null(arguments$x)) arguments <- c(list(x), arguments)
    expect_error(do.call(trispectrum.test, arguments), case[[n - 1]], class = case[[n]], label = deparse(case))
  }
  # The session goes on and the next call works.
  expect_s3_class(trispectrum.test(x), "quorvel")
})

test_that("the run's notices are classed R warnings and stay in the result", {
  caught <- tryCatch(trispectrum.test(white_noise, ar.order = 2), quorvel_warning = function(w) w)
  expect_s3_class(caught, "warning")
  expect_identical(caught$code, "no_ar_lag")
  expect_warning(r <- trispectrum.test(white_noise, ar.order = 2), "no AR lag was kept", class = "quorvel_warning")
  expect_match(r$warnings[["no_ar_lag"]], "no AR lag was kept")
})

test_that("Ctrl-C stops a long call at once", {
  skip_on_os("windows")
  skip_on_cran()
  dir <- tempfile("interrupt")
  dir.create(dir)
  on.exit(unlink(dir, recursive = TRUE))
  script <- file.path(dir, "long.R")
  writeLines(c(
    sprintf(".libPaths(%s)", paste(deparse(.libPaths()), collapse = "")),
    "library(quorvel); x <- rnorm(4e5)",
    sprintf("writeLines(as.character(Sys.getpid()), '%s')", file.path(dir, "pid")),
    "r <- tryCatch(trispectrum.test(x, frame.length = 128, ar.order = 2, resamples = 5000, threads = 1),",
    sprintf("  interrupt = function(e) writeLines(format(as.numeric(Sys.time()), digits = 15), '%s'))",
            file.path(dir, "stopped"))), script)
  system2(file.path(R.home("bin"), "Rscript"), script, wait = FALSE, stdout = FALSE, stderr = FALSE)
  wait_for <- function(file, seconds) {
    for (i in seq_len(seconds * 20)) {
      if (file.exists(file) && length(readLines(file))) return(readLines(file))
      Sys.sleep(0.05)
    }
    character()
  }
  pid <- as.integer(wait_for(file.path(dir, "pid"), 30))
  expect_length(pid, 1)
  Sys.sleep(1)
  sent <- as.numeric(Sys.time())
  tools::pskill(pid, tools::SIGINT)
  stopped <- as.numeric(wait_for(file.path(dir, "stopped"), 30))
  expect_length(stopped, 1)
  expect_lt(stopped - sent, 0.5)
})

test_that("beside tseries' Terasvirta test, both reject on the example's bilinear series", {
  skip_if_not_installed("tseries")
  x <- ts(example_series("bilinear"), frequency = 10)
  quorvel <- run_example("bilinear")
  expect_lt(quorvel$tests$nonlinearity$asymptotic.p.value, 0.01)
  expect_lt(quorvel$tests$nonlinearity$p.value, 0.05)
  expect_lt(tseries::terasvirta.test(x)$p.value, 0.01)
})
