# The R package against the batch program: the same settings give the same
# results block; errors are R errors; beside tseries on a bilinear series.
library(quorvel)

source_dir <- Sys.getenv("QUORVEL_SOURCE_DIR")
batch_binary <- Sys.getenv("QUORVEL_BINARY")

example_series <- function(stem) {
  path <- file.path(source_dir, "examples", "batch", paste0(stem, ".dat"))
  scan(path, skip = 2, quiet = TRUE) # a title, a header line, then one value a row
}

# The report of a one-run batch of the example's control file.
batch_report <- function(stem) {
  dir <- tempfile("batch")
  dir.create(dir)
  on.exit(unlink(dir, recursive = TRUE))
  file.copy(file.path(source_dir, "examples", "batch", paste0(stem, c(".cnl", ".dat"))), dir)
  writeLines(c("Number of runs = 1 *", paste0(stem, ".cnl*")), file.path(dir, "Runquorvel.cnl"))
  old <- setwd(dir)
  on.exit(setwd(old), add = TRUE, after = FALSE)
  status <- system2(batch_binary, stdout = FALSE, stderr = FALSE)
  expect_equal(status, 0)
  readLines(paste0(stem, "_Quorvel.out"))
}

# From the first p-value line to the fractiles' p-values.
results_block <- function(lines) {
  lines[grep("p-value =", lines)[1]:grep("p-values$", lines)[1]]
}

reported_p <- function(lines, pattern) {
  as.numeric(sub(".*p-value = *([0-9.]+) for.*", "\\1", grep(pattern, lines, value = TRUE)))
}

# The settings of white.cnl and bilinear.cnl (the rates are the data files').
examples <- list(
  white = list(frequency = 1000, unit = "Hz", bandwidth = 50, ar.order = 0, resamples = 0),
  bilinear = list(frequency = 10, unit = "kHz", bandwidth = 500, ar.order = 5, ar.threshold = 0.05,
                  resamples = 99)
)

test_that("the example series give the batch program's p-values", {
  skip_if(!nzchar(source_dir) || !nzchar(batch_binary), "QUORVEL_SOURCE_DIR and QUORVEL_BINARY not set")
  for (stem in names(examples)) {
    r <- do.call(trispectrum.test, c(list(example_series(stem)), examples[[stem]]))
    batch <- batch_report(stem)
    expect_identical(results_block(strsplit(r$report, "\n")[[1]]), results_block(batch), label = stem)
    p <- reported_p(batch, "^  p-value")
    # The report prints them to 5 decimals, the shuffled ones to 4.
    expect_lte(max(abs(summary(r)$p.value - p)), 5.1e-6)
    if (r$resamples > 0) {
      shuffled <- reported_p(batch, "Shuffled p-value")
      # The report orders them nonlinearity, reversibility, zero trispectrum, aliasing.
      expect_lte(max(abs(summary(r)$shuffled.p.value - shuffled)), 5.1e-5)
    } else {
      expect_true(all(is.na(summary(r)$shuffled.p.value)))
    }
    for (test in r$tests) expect_s3_class(test, "htest")
  }
})

test_that("each test's p-value follows from its statistic", {
  skip_if(!nzchar(source_dir), "QUORVEL_SOURCE_DIR not set")
  r <- do.call(trispectrum.test, c(list(example_series("white")), examples$white))
  skip_if(r$valid == 0, "the library leaves the statistics at 0")
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

test_that("a ts gives its rate, a time unit its interval, and the methods their shapes", {
  set.seed(3)
  x <- ts(rnorm(3000), frequency = 12)
  r <- trispectrum.test(x)
  expect_equal(r$rate, 12)
  expect_equal(r$N, 3000L)
  expect_match(r$report, "Sampling rate = +12.0000 Hz")
  years <- trispectrum.test(x, unit = "years")
  expect_equal(years$rate, 1 / 12, tolerance = 1e-5) # the interval to six decimals
  expect_identical(rownames(summary(r)), c("nonlinearity", "reversibility", "gaussianity", "aliasing"))
  expect_equal(nrow(as.data.frame(r)), 1L)
  expect_equal(dim(r$planes$positive), rep(length(r$axis), 2))
  expect_match(names(dimnames(years$planes$negative))[1], "period \\(years\\)")
  expect_output(print(r), "Quantile trispectrum-based nonlinearity test")
  # White noise keeps no AR lag.
  prewhitened <- trispectrum.test(x, ar.order = 2)
  expect_length(prewhitened$ar$coefficients, 0)
  expect_identical(rownames(prewhitened$descriptive), "data")
  pdf(NULL)
  on.exit(dev.off())
  expect_invisible(plot(r))
})

test_that("bad settings and data are R errors with the program's message", {
  x <- rnorm(3000)
  bad <- list(
    list(taper = 30),
    list(quantile = 1.5),
    list(ar.order = -1),
    list(start = 2900, end = 100),
    list(bandwidth = "fast"),
    list(seed = -1),
    list(frequency = 0)
  )
  for (settings in bad) {
    expect_error(do.call(trispectrum.test, c(list(x), settings)), label = deparse(settings))
  }
  expect_error(trispectrum.test(c(x, NA)))
  expect_error(trispectrum.test(letters))
  # The session goes on and the next call works.
  expect_s3_class(trispectrum.test(x), "quorvel")
})

test_that("errors and notices are classed conditions that name the R argument", {
  x <- rnorm(3000)
  expect_error(trispectrum.test(x, taper = 30), "taper must be from 0 to 25", class = "quorvel_settings_error")
  expect_error(trispectrum.test(x, unit = "MHz"), "is not Hz, kHz", class = "quorvel_settings_error")
  expect_error(trispectrum.test(x, ar.order = 2000), "^ar.order must be at most half", class = "quorvel_settings_error")
  expect_error(trispectrum.test(x, band = c(0.4, 0.2)), "band[1] (0.4) is above band[2] (0.2)", fixed = TRUE,
               class = "quorvel_settings_error")
  expect_error(trispectrum.test(c(x[1:99], NaN, x)), "values\\[99\\] is NaN", class = "quorvel_data_error")
  caught <- tryCatch(trispectrum.test(x, ar.order = 2), quorvel_warning = function(w) w)
  expect_s3_class(caught, "warning")
  expect_identical(caught$code, "no_ar_lag")
  r <- suppressWarnings(trispectrum.test(x, ar.order = 2))
  expect_match(r$warnings, "no AR lag was kept")
})

test_that("Ctrl-C stops a long call at once", {
  skip_on_os("windows")
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
  skip_if(!nzchar(source_dir), "QUORVEL_SOURCE_DIR not set")
  skip_if_not_installed("tseries")
  x <- ts(example_series("bilinear"), frequency = 10)
  quorvel <- do.call(trispectrum.test, c(list(x), examples$bilinear))
  terasvirta <- tseries::terasvirta.test(x)
  expect_lt(quorvel$tests$nonlinearity$p.value, 0.01)
  expect_lt(quorvel$tests$nonlinearity$shuffled.p.value, 0.05)
  expect_lt(terasvirta$p.value, 0.01)
})
