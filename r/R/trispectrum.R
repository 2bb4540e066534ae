# Trispectrum tests of one series: the library's run on an R vector or time
# series, shaped as four "htest" objects beside the numbers of the run.

trispectrum.test <- function(x, frequency = stats::frequency(x), unit = "Hz", band = NULL,
                             bandwidth = "auto", frame.length = NULL, taper = 0, ar.order = NULL,
                             ar.threshold = 0.05, resamples = 199, quantile = 0.8, seed = NULL, start = 1,
                             end = 0, threads = getOption("quorvel.threads", 2L)) {
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
  if (!is.null(seed)) seed <- whole(seed, "seed", 0, 2^32 - 1)
  frame.length <- if (is.null(frame.length)) 0L else as.integer(whole(frame.length, "frame.length", 10))
  threads <- as.integer(whole(threads, "threads", 1))

  settings <- list(
    unit = unit,
    # For a time unit the library takes the sampling interval.
    rate = if (is.time.unit(unit)) 1 / frequency else frequency,
    frame_length = frame.length, threads = threads,
    band_low = as.double(band[1]), band_high = as.double(band[2]),
    taper = number(taper, "taper"), bandwidth = bandwidth,
    ar_order = if (is.null(ar.order)) NULL else as.integer(whole(ar.order, "ar.order")),
    ar_threshold = number(ar.threshold, "ar.threshold"),
    start = as.integer(whole(start, "start")), end = as.integer(whole(end, "end")),
    resamples = as.integer(whole(resamples, "resamples")), quantile = number(quantile, "quantile"),
    seed = seed, title = substr(data.name, 1L, 80L)
  )
  res <- .Call(quorvel_analyse, x, settings)
  if (isTRUE(res$interrupted)) interrupted()
  if (!is.null(res$error)) fail(r.words(res$error), res$kind)
  result <- new.quorvel(res, settings, data.name, match.call())
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

# kHz and Hz are frequency units; any other unit text names a time unit.
is.time.unit <- function(unit) !grepl("kHz|khz|Hz|hz", unit)

new.quorvel <- function(res, settings, data.name, call) {
  htest <- function(name, method, statistic, parameter) {
    test <- list(statistic = statistic, parameter = parameter, p.value = unname(res$p[name]),
                 method = method, data.name = data.name)
    shuffled <- unname(res$shuffled[name])
    if (!is.na(shuffled)) test$shuffled.p.value <- shuffled
    structure(test, class = "htest")
  }
  chisq <- function(name, method) {
    htest(name, method, c("X-squared" = unname(res$statistic[name])), c(df = unname(res$df[name])))
  }
  stationary <- sum(res$counts[c("positive", "negative")])
  tests <- list(
    nonlinearity = htest("nonlinearity",
                         sprintf("Quantile trispectrum-based nonlinearity test (%s quantile)", settings$quantile),
                         c(z = unname(res$statistic["nonlinearity"])), c(n = stationary)),
    reversibility = chisq("reversibility", "Trispectrum time reversibility test"),
    gaussianity = chisq("gaussianity", "Zero trispectrum (Gaussianity) test"),
    aliasing = chisq("aliasing", "Trispectrum aliasing test")
  )

  time.unit <- is.time.unit(settings$unit)
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
    taper = res$taper, resamples = res$resamples, valid = res$valid,
    warnings = as.character(res$warnings$text),
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

# Each warning once, with its count when a pass of the bootstrap repeated it.
counted <- function(warnings) {
  kinds <- unique(warnings)
  times <- tabulate(match(warnings, kinds), length(kinds))
  paste0(kinds, ifelse(times > 1, sprintf(" (%d times)", times), ""))
}

shuffled.p.value <- function(test) if (is.null(test$shuffled.p.value)) NA_real_ else test$shuffled.p.value

print.quorvel <- function(x, digits = getOption("digits"), ...) {
  cat("\nTrispectrum tests of ", x$data.name, ": N = ", x$N, ", M = ", x$M, ", e = ",
      format(x$e, digits = 4), ", mean noncentrality = ", format(x$lambda, digits = 4), "\n", sep = "")
  for (test in x$tests) {
    lines <- utils::capture.output(print(test, digits = digits, ...))
    while (length(lines) && !nzchar(lines[length(lines)])) lines <- lines[-length(lines)]
    cat(lines, sep = "\n")
    if (!is.null(test$shuffled.p.value)) {
      cat("shuffled p-value = ", format(test$shuffled.p.value, digits = max(1L, digits - 3L)),
          " (", x$resamples, " resamples)\n", sep = "")
    }
  }
  if (length(x$warnings)) cat("\nWarnings:\n", paste0("  ", counted(x$warnings), "\n"), sep = "")
  cat("\n")
  invisible(x)
}

summary.quorvel <- function(object, ...) {
  data.frame(p.value = vapply(object$tests, `[[`, 0, "p.value"),
             shuffled.p.value = vapply(object$tests, shuffled.p.value, 0))
}

as.data.frame.quorvel <- function(x, row.names = NULL, optional = FALSE, ...) {
  row <- data.frame(series = x$data.name, N = x$N, M = x$M, e = x$e, lambda = x$lambda)
  row[paste0("p.", names(x$tests))] <- lapply(x$tests, `[[`, "p.value")
  row[paste0("shuffled.", names(x$tests))] <- lapply(x$tests, shuffled.p.value)
  row$warnings <- paste(counted(x$warnings), collapse = "; ")
  if (!is.null(row.names)) rownames(row) <- row.names
  row
}

# The planes on a -log10 p scale (a p-value of a pair is one minus its
# chi-square probability), with the 5 % and 1 % contours; then the histogram
# of the trispectral probabilities against the uniform law of a linear series.
plot.quorvel <- function(x, which = 1:3, ...) {
  if (!is.numeric(which) || !length(which) || !all(which %in% 1:3)) {
    stop("'which' must hold numbers from 1 to 3 (positive plane, negative plane, histogram)")
  }
  # One panel keeps the caller's layout (par(mfrow) set by the caller).
  old <- if (length(which) > 1L) par(mfrow = c(1L, length(which)), mar = c(5, 5.5, 4, 1)) else par(mar = c(5, 5.5, 4, 1))
  on.exit(par(old))
  for (w in which) {
    if (w == 3) {
      draw_probabilities(x)
    } else {
      draw_plane(x, c("positive", "negative")[w])
    }
  }
  invisible(x)
}

draw_plane <- function(x, which) {
  m <- x$planes[[which]]
  n <- nrow(m)
  title <- sprintf("%s: k3 %s 0", x$data.name, if (which == "positive") ">" else "<")
  if (n == 0L) {
    graphics::plot.new()
    graphics::title(main = title)
    return(invisible())
  }
  # One scale for every run: from p = 1 to p = 1e-4 and below.
  zmax <- 4
  z <- pmin(-log10(1 - m), zmax)
  # Only pairs with the second frequency at most the first carry a
  # probability; a pair without any trifrequency holds 0.
  z[col(m) > row(m) | m == 0] <- NA
  colours <- hcl.colors(64, "viridis")
  at <- seq_len(n)
  image(at, at, z, zlim = c(0, zmax), col = colours, axes = FALSE, main = title,
        xlab = names(dimnames(m))[1], ylab = "")
  graphics::title(ylab = names(dimnames(m))[2], line = 4)
  ticks <- unique(round(seq(1, n, length.out = min(n, 6L))))
  labels <- format(x$axis[ticks], digits = 4)
  axis(1, at = ticks, labels = labels)
  axis(2, at = ticks, labels = labels, las = 1)
  box()
  if (n >= 2L && sum(is.finite(z)) > 1L) {
    contour(at, at, z, levels = -log10(c(0.05, 0.01)), lty = c(2, 1), col = "white", add = TRUE,
            drawlabels = FALSE)
  }
  key <- c(0.5, 0.05, 0.01, 0.001, 1e-4)
  shade <- colours[pmin(length(colours), 1L + floor(-log10(key) / zmax * length(colours)))]
  legend("topleft", fill = c(shade, NA, NA), border = c(rep("black", 5), NA, NA),
         lty = c(rep(NA, 5), 2, 1), col = "grey40",
         legend = c(format(key[-5]), "1e-4 and below", "5 % contour", "1 % contour"),
         title = "p of the pair", bty = "n", cex = 0.8)
}

draw_probabilities <- function(x) {
  p <- pmin(pmax(x$values$probability, 0), 1)
  hist(p, breaks = seq(0, 1, by = 0.05), freq = FALSE, col = "grey85", xlab = "trispectral probability",
       main = sprintf("%s: trispectral probabilities", x$data.name))
  abline(h = 1, lty = 2)
  legend("top", lty = 2, legend = "uniform (linear series)", bty = "n")
}
