# Trispectrum tests of one series: the library's run on an R vector or time
# series, shaped as four "htest" objects beside the numbers of the run.

trispectrum.test <- function(x, frequency = stats::frequency(x), unit = "Hz", band = NULL,
                             bandwidth = "auto", frame.length = NULL, taper = 0, ar.order = NULL,
                             ar.threshold = 0.05, resamples = 199, quantile = 0.8, seed = NULL,
                             threads = getOption("quorvel.threads", 2L)) {
  call <- sys.call()
  fail <- function(message, kind = "settings") stop(quorvel.condition(message, call, kind, "error"))
  # One line, also when the series comes as a value (do.call).
  data.name <- deparse(substitute(x), width.cutoff = 60L, nlines = 2L)
  data.name <- if (length(data.name) > 1L) paste0(data.name[1], " ...") else data.name
  force(frequency) # taken from x before x becomes a plain vector
  if (!is.numeric(x) || NCOL(x) != 1L) fail("'x' must be a numeric vector or a univariate time series", "data")
  x <- as.double(x)
  if (!length(x)) fail("'x' holds no values", "data")

  number <- function(value, name) {
    if (!is.numeric(value) || length(value) != 1L || !is.finite(value)) {
      fail(sprintf("'%s' must be a single finite number", name))
    }
    as.double(value)
  }
  whole <- function(value, name, lowest = -.Machine$integer.max, highest = .Machine$integer.max) {
    value <- number(value, name)
    if (value != round(value) || value < lowest || value > highest) {
      fail(sprintf("'%s' must be a whole number from %.0f to %.0f", name, lowest, highest))
    }
    value
  }

  if (!is.character(unit) || length(unit) != 1L || is.na(unit) || !nzchar(unit)) {
    fail("'unit' must be a text such as \"Hz\", \"kHz\" or \"years\"")
  }
  time.unit <- is.time.unit(unit, fail)
  frequency <- number(frequency, "frequency")
  if (frequency <= 0) fail("'frequency' must be positive")
  if (is.null(band)) band <- c(0, 0)
  if (!is.numeric(band) || length(band) != 2L || !all(is.finite(band))) {
    fail("'band' must be NULL or two finite numbers")
  }
  if (identical(bandwidth, "auto")) {
    bandwidth <- 0 # the library then chooses the frame length
  } else {
    bandwidth <- number(bandwidth, "bandwidth")
  }
  resamples <- as.integer(whole(resamples, "resamples"))
  if (!is.null(seed)) {
    seed <- whole(seed, "seed", 0, 2^32 - 1)
  } else if (resamples > 0) {
    # From R's own generator, so that set.seed() reproduces the shuffles.
    seed <- floor(stats::runif(1L) * 2^32)
  }
  frame.length <- if (is.null(frame.length)) 0L else as.integer(whole(frame.length, "frame.length", 10))
  threads <- as.integer(whole(threads, "threads", 1))

  settings <- list(
    unit = unit,
    # For a time unit the library takes the sampling interval.
    rate = if (time.unit) 1 / frequency else frequency,
    frame_length = frame.length, threads = threads,
    band_low = as.double(band[1]), band_high = as.double(band[2]),
    taper = number(taper, "taper"), bandwidth = bandwidth,
    ar_order = if (is.null(ar.order)) NULL else as.integer(whole(ar.order, "ar.order")),
    ar_threshold = number(ar.threshold, "ar.threshold"),
    resamples = resamples, quantile = number(quantile, "quantile"),
    seed = seed, title = substr(data.name, 1L, 80L)
  )
  res <- .Call(quorvel_analyse, x, settings)
  if (isTRUE(res$interrupted)) interrupted()
  if (!is.null(res$error)) fail(r.words(res$error), res$kind)
  result <- new.quorvel(res, settings, time.unit, data.name, match.call())
  for (i in seq_along(res$warnings$text)) {
    warning(quorvel.condition(res$warnings$text[i], call, "warning", "warning", code = res$warnings$code[i]))
  }
  result
}

# The library's message in the names of this function's arguments.
r.words <- function(message) {
  words <- c(ar_order = "ar.order", ar_threshold = "ar.threshold", frame_length = "frame.length",
             band_low = "band[1]", band_high = "band[2]")
  for (name in names(words)) message <- gsub(name, words[[name]], message, fixed = TRUE)
  message
}

# A condition of the package: class quorvel_<kind> (quorvel_settings_error,
# quorvel_data_error, quorvel_error, quorvel_warning) before R's own.
quorvel.condition <- function(message, call, kind, type, ...) {
  classes <- switch(kind,
    settings = c("quorvel_settings_error", "quorvel_error"),
    data = c("quorvel_data_error", "quorvel_error"),
    error = "quorvel_error",
    warning = "quorvel_warning")
  structure(class = c(classes, type, "condition"), list(message = message, call = call, ...))
}

# The user pressed Ctrl-C while the library computed: it stopped at its next
# safe point, and R now does what an interrupt does (an `interrupt` handler
# sees it; otherwise back to the top level).
interrupted <- function() {
  signalCondition(structure(class = c("interrupt", "condition"), list(message = "", call = NULL)))
  invokeRestart("abort")
}

# The library's rule: Hz and kHz in any letter case are frequency units,
# another frequency unit is refused, any other word names a time unit.
is.time.unit <- function(unit, fail) {
  answer <- .Call(quorvel_is_time_unit, unit)
  if (is.list(answer)) fail(answer$error, answer$kind)
  answer
}

test.names <- c("nonlinearity", "reversibility", "gaussianity", "aliasing")

new.quorvel <- function(res, settings, time.unit, data.name, call) {
  t <- res$tests
  stationary <- sum(res$counts[c("positive", "negative")])
  methods <- c(nonlinearity = sprintf("Quantile trispectrum-based nonlinearity test (%s quantile)", settings$quantile),
               reversibility = "Trispectrum time reversibility test",
               gaussianity = "Zero trispectrum (Gaussianity) test",
               aliasing = "Trispectrum aliasing test")
  htest <- function(name) {
    i <- match(name, t$name)
    statistic <- if (name == "nonlinearity") c(z = t$statistic[i]) else c("X-squared" = t$statistic[i])
    parameter <- if (name == "nonlinearity") c(n = stationary) else c(df = t$df[i])
    structure(class = c("quorvel_test", "htest"), list(
      statistic = statistic, parameter = parameter,
      # The p-value to read: the Shuffled one when the bootstrap ran.
      p.value = t$p[i], p.type = if (t$shuffled[i]) "shuffled" else "asymptotic",
      asymptotic.p.value = t$p_asymptotic[i],
      shuffled.p.value = if (is.nan(t$p_shuffled[i])) NA_real_ else t$p_shuffled[i],
      resamples = res$resamples, method = methods[[name]], data.name = data.name))
  }
  tests <- stats::setNames(lapply(test.names, htest), test.names)

  axis.name <- sprintf("%s (%s)", if (time.unit) "period" else "frequency", settings$unit)
  plane <- function(p) {
    m <- matrix(p$values, nrow = p$size, ncol = p$size)
    labels <- as.character(signif(p$axis, 6))
    dimnames(m) <- stats::setNames(list(labels, labels), paste(c("first", "second"), axis.name))
    m
  }
  ar <- NULL
  if (!is.null(res$ar)) {
    roots <- data.frame(amplitude = res$ar$root_amplitudes, value = res$ar$root_values)
    names(roots)[2] <- if (time.unit) "period" else "frequency"
    ar <- list(order = settings$ar_order, threshold = settings$ar_threshold, lags = res$ar$lags,
               coefficients = stats::setNames(res$ar$coefficients, sprintf("lag%d", res$ar$lags)),
               t.values = stats::setNames(res$ar$t_values, sprintf("lag%d", res$ar$lags)),
               adj.r.squared = res$ar$adjusted_r2, residual.sd = res$ar$residual_sd,
               white.noise.p.value = res$ar$white_noise_p, roots = roots)
  }

  structure(list(
    tests = tests,
    lambda = res$lambda, e = res$e, M = res$M, K = res$K, N = res$n,
    rate = res$rate, unit = settings$unit, bandwidth = res$bandwidth,
    band = res$band, band.index = res$band_index, counts = res$counts,
    taper = res$taper, resamples = res$resamples, seed = settings$seed, valid = res$valid,
    warnings = stats::setNames(as.character(res$warnings$text), res$warnings$code),
    ar = ar,
    descriptive = as.data.frame(rbind(data = res$data, residuals = res$residuals)),
    fractiles = data.frame(level = res$fractile_levels, fractile = res$fractiles,
                           p.value = res$fractile_p_values),
    planes = list(positive = plane(res$positive), negative = plane(res$negative)),
    axis = res$positive$axis,
    values = as.data.frame(res$values),
    report = res$report,
    data.name = data.name, call = call
  ), class = "quorvel")
}

# A p-value as text: "= 0.0452", "< 0.005" for a Shuffled 0 (no resample as
# extreme: below 1/(B+1)), "< 2.2e-16" below the machine's resolution. The
# digits grow until the rounded value lies on the same side of 0.1, 0.05,
# 0.01 and 0.001 as the p-value itself, so rounding never changes a verdict.
p.text <- function(p, digits, shuffled = FALSE, resamples = 0) {
  if (is.na(p)) return("= NA")
  if (shuffled && p == 0) return(paste("<", format(1 / (resamples + 1), digits = max(1L, digits))))
  if (p < .Machine$double.eps) return(format.pval(p, digits = max(1L, digits))) # "< 2.2e-16", as htest
  levels <- c(0.1, 0.05, 0.01, 0.001)
  for (d in max(1L, digits):15L) {
    text <- format(signif(p, d), digits = d)
    if (all((as.numeric(text) < levels) == (p < levels))) break
  }
  paste("=", text)
}

p.digits <- function(digits) max(1L, digits - 3L) # as print.htest

print.quorvel_test <- function(x, digits = getOption("digits"), ...) {
  cat("\n")
  cat(strwrap(x$method, prefix = "\t"), sep = "\n")
  cat("\n")
  cat("data:  ", x$data.name, "\n", sep = "")
  shuffled <- identical(x$p.type, "shuffled")
  out <- c(paste(names(x$statistic), "=", format(x$statistic, digits = max(1L, digits - 2L))),
           paste(names(x$parameter), "=", format(x$parameter, digits = max(1L, digits - 2L))),
           paste(if (shuffled) "Shuffled p-value" else "asymptotic p-value",
                 p.text(x$p.value, p.digits(digits), shuffled, x$resamples)))
  cat(strwrap(paste(out, collapse = ", ")), sep = "\n")
  if (shuffled) {
    cat("(", x$resamples, " resamples; asymptotic p-value ", p.text(x$asymptotic.p.value, p.digits(digits)),
        ")\n", sep = "")
  }
  cat("\n")
  invisible(x)
}

print.quorvel <- function(x, digits = getOption("digits"), ...) {
  cat("\nTrispectrum tests of ", x$data.name, ": N = ", x$N, ", M = ", x$M, ", e = ",
      format(x$e, digits = 4), ", mean noncentrality = ", format(x$lambda, digits = 4), "\n", sep = "")
  for (test in x$tests) {
    lines <- utils::capture.output(print(test, digits = digits, ...))
    while (length(lines) && !nzchar(lines[length(lines)])) lines <- lines[-length(lines)]
    cat(lines, sep = "\n")
  }
  if (length(x$warnings)) cat("\nWarnings:\n", paste0("  ", x$warnings, "\n"), sep = "")
  cat("\n")
  invisible(x)
}

# A row per test: the p-value to read and what it is, then both p-values.
test.table <- function(tests) {
  column <- function(field) unname(vapply(tests, function(t) t[[field]], 0))
  data.frame(test = names(tests),
             statistic = column("statistic"), parameter = column("parameter"),
             p.value = column("p.value"),
             p.type = unname(vapply(tests, `[[`, "", "p.type")),
             asymptotic.p.value = column("asymptotic.p.value"),
             shuffled.p.value = column("shuffled.p.value"),
             method = unname(vapply(tests, `[[`, "", "method")),
             stringsAsFactors = FALSE)
}

summary.quorvel <- function(object, ...) {
  table <- test.table(object$tests)
  rownames(table) <- table$test
  table <- table[c("p.value", "p.type", "asymptotic.p.value", "shuffled.p.value")]
  structure(table, class = c("summary.quorvel", "data.frame"), resamples = object$resamples)
}

print.summary.quorvel <- function(x, digits = getOption("digits"), ...) {
  shown <- data.frame(row.names = rownames(x), check.names = FALSE,
    p.value = mapply(function(p, type) sub("^= ", "", p.text(p, p.digits(digits), type == "shuffled",
                                                             attr(x, "resamples"))),
                     x$p.value, x$p.type),
    read = x$p.type,
    asymptotic = vapply(x$asymptotic.p.value, function(p) sub("^= ", "", p.text(p, p.digits(digits))), ""),
    shuffled = vapply(x$shuffled.p.value, function(p) {
      sub("^= ", "", p.text(p, p.digits(digits), TRUE, attr(x, "resamples")))
    }, ""))
  print(shown, right = TRUE)
  invisible(x)
}

as.data.frame.quorvel <- function(x, row.names = NULL, optional = FALSE, ...) {
  row <- data.frame(series = x$data.name, N = x$N, M = x$M, e = x$e, lambda = x$lambda,
                    resamples = x$resamples)
  row[paste0("p.", names(x$tests))] <- lapply(x$tests, `[[`, "p.value")
  row[paste0("asymptotic.", names(x$tests))] <- lapply(x$tests, `[[`, "asymptotic.p.value")
  row[paste0("shuffled.", names(x$tests))] <- lapply(x$tests, `[[`, "shuffled.p.value")
  row$warnings <- paste(x$warnings, collapse = "; ")
  if (!is.null(row.names)) rownames(row) <- row.names
  row
}

# Methods for broom's tidy() and glance(), registered on generics when it is
# there (NAMESPACE), so the package does not depend on it.
tidy.quorvel <- function(x, ...) {
  table <- test.table(x$tests)
  table$resamples <- x$resamples
  table
}

tidy.quorvel_test <- function(x, ...) {
  table <- test.table(list(test = x))
  table$test <- NULL
  table$resamples <- x$resamples
  table
}

glance.quorvel <- function(x, ...) {
  data.frame(series = x$data.name, N = x$N, M = x$M, K = x$K, e = x$e, lambda = x$lambda,
             valid = x$valid, resamples = x$resamples,
             seed = if (is.null(x$seed)) NA_real_ else x$seed, warnings = length(x$warnings))
}
