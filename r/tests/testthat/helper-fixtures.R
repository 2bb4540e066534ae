# Fixtures of the tests: the example series shipped in inst/extdata with the
# settings of their control files, the batch program's stored reports of
# them, and a white-noise series whose eight p-values all differ.

example_series <- function(stem) {
  path <- system.file("extdata", paste0(stem, ".dat"), package = "quorvel")
  column <- if (stem == "sunspots") 2L else 1L # years, then the numbers
  utils::read.table(path, skip = 2)[[column]] # a title, a header line, then the rows
}

# The settings of white.cnl, bilinear.cnl and sunspots.cnl (the rates are the
# data files'); 5489 is the seed with which the batch program starts.
examples <- list(
  white = list(frequency = 1000, unit = "Hz", bandwidth = 50, ar.order = 0, resamples = 0),
  bilinear = list(frequency = 10, unit = "kHz", bandwidth = 500, ar.order = 5, ar.threshold = 0.05,
                  resamples = 99, seed = 5489),
  sunspots = list(frequency = 1, unit = "years", bandwidth = 25, ar.order = 9, resamples = 199, seed = 5489)
)

run_example <- function(stem) {
  suppressWarnings(do.call(trispectrum.test, c(list(example_series(stem)), examples[[stem]])))
}

stored_report <- function(stem) readLines(test_path("batch", paste0(stem, "_Quorvel.out")))

# From the first p-value line to the fractiles' p-values.
results_block <- function(lines) {
  lines[grep("p-value =", lines)[1]:grep("p-values$", lines)[1]]
}

# The p-values a report prints for each test, by the words of its line.
report_words <- c(nonlinearity = "nonlinearity", reversibility = "time reversibility",
                  gaussianity = "zero trispectrum", aliasing = "aliasing")
reported_p <- function(lines, shuffled) {
  prefix <- if (shuffled) "^  Shuffled p-value" else "^  p-value"
  lines <- grep(prefix, lines, value = TRUE)
  vapply(report_words, function(words) {
    line <- grep(paste0(words, " test"), lines, value = TRUE)
    if (length(line) != 1L) return(NA_real_)
    as.numeric(sub(".*p-value = *([0-9.]+) for.*", "\\1", line))
  }, 0)
}

# White noise with the defaults: every p-value of the eight differs from the
# others, the Shuffled ones included.
white_noise <- local({
  set.seed(1)
  rnorm(1000)
})
white_result <- function() trispectrum.test(white_noise, seed = 11)

# Each test's field as a named vector.
field <- function(r, name) vapply(r$tests, `[[`, 0, name)
